#include "server/Schema.h"

#include <stdexcept>
#include <string>
#include <vector>

#include "server/Storage.h"

namespace krv::server {

namespace {

// Codes hold letters and digits only: "_" separates keys in key lists, and anything
// else would not survive the screens' masks.
#define KRV_CODE(column, size)                                                                         \
    column " TEXT NOT NULL CHECK (length(" column ") BETWEEN 1 AND " #size " AND " column " NOT GLOB " \
                                                                                          "'*[^0-9A-Za-z]*')"
#define KRV_NAME(column, size) column " TEXT NOT NULL CHECK (length(" column ") BETWEEN 1 AND " #size ")"
#define KRV_DATE(column) column " TEXT NOT NULL CHECK (" column " = date(" column "))"
#define KRV_TIMESTAMP(column) column " TEXT NOT NULL CHECK (" column " = datetime(" column "))"

// Version 1: the whole domain of requisitions and orders.
const char* const kMigration1 = R"sql(
CREATE TABLE branch (
    )sql" KRV_CODE("cdfilial", 4) R"sql( PRIMARY KEY,
    )sql" KRV_NAME("nmfilial", 30) R"sql(,
    ol TEXT NOT NULL DEFAULT 'N' CHECK (ol IN ('S', 'N')),
    cdfiliopelog TEXT REFERENCES branch (cdfilial),
    )sql" KRV_DATE("dtproc") R"sql(
) WITHOUT ROWID;

CREATE TABLE service (
    cdfilial TEXT NOT NULL REFERENCES branch (cdfilial),
    )sql" KRV_CODE("cdservfili", 5) R"sql(,
    )sql" KRV_NAME("nmservico", 40) R"sql(,
    PRIMARY KEY (cdfilial, cdservfili)
) WITHOUT ROWID;

CREATE TABLE shift (
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    )sql" KRV_CODE("cdturno", 1) R"sql(,
    )sql" KRV_NAME("nmturno", 10) R"sql(,
    PRIMARY KEY (cdfilial, cdservfili, cdturno),
    FOREIGN KEY (cdfilial, cdservfili) REFERENCES service (cdfilial, cdservfili)
) WITHOUT ROWID;

CREATE TABLE product_group (
    )sql" KRV_CODE("cdgrupprod", 10) R"sql( PRIMARY KEY,
    )sql" KRV_NAME("nmgrupprod", 40) R"sql(
) WITHOUT ROWID;

CREATE TABLE product_grouping (
    cdgrupprod TEXT NOT NULL REFERENCES product_group (cdgrupprod),
    )sql" KRV_CODE("cdsubgrprod", 10) R"sql(,
    )sql" KRV_NAME("nmsubgrprod", 40) R"sql(,
    PRIMARY KEY (cdgrupprod, cdsubgrprod)
) WITHOUT ROWID;

-- The product code is kept as its 10 digits; the dots of the code picture are display only.
CREATE TABLE product (
    cdproduto TEXT NOT NULL PRIMARY KEY
        CHECK (length(cdproduto) = 10 AND cdproduto NOT GLOB '*[^0-9]*'),
    )sql" KRV_NAME("nmproduto", 60) R"sql(,
    )sql" KRV_NAME("sgunidade", 4) R"sql(,
    cdgrupprod TEXT NOT NULL,
    cdsubgrprod TEXT NOT NULL,
    qtembalagem REAL NOT NULL CHECK (qtembalagem > 0),
    FOREIGN KEY (cdgrupprod, cdsubgrprod) REFERENCES product_grouping (cdgrupprod, cdsubgrprod)
) WITHOUT ROWID;
CREATE INDEX product_by_grouping ON product (cdgrupprod, cdsubgrprod);

CREATE TABLE dish_type (
    )sql" KRV_CODE("cdtipoprato", 4) R"sql( PRIMARY KEY,
    )sql" KRV_NAME("nmtipoprato", 40) R"sql(
) WITHOUT ROWID;

CREATE TABLE dish (
    )sql" KRV_CODE("cdprato", 4) R"sql( PRIMARY KEY,
    )sql" KRV_NAME("nmprato", 60) R"sql(,
    cdtipoprato TEXT NOT NULL REFERENCES dish_type (cdtipoprato)
) WITHOUT ROWID;

CREATE TABLE recipe (
    cdprato TEXT NOT NULL REFERENCES dish (cdprato),
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    qtpercapita REAL NOT NULL CHECK (qtpercapita > 0),
    PRIMARY KEY (cdprato, cdproduto)
) WITHOUT ROWID;

CREATE TABLE menu (
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdturno TEXT NOT NULL,
    )sql" KRV_DATE("dtcardapio") R"sql(,
    cdprato TEXT NOT NULL REFERENCES dish (cdprato),
    PRIMARY KEY (cdfilial, cdservfili, cdturno, dtcardapio, cdprato),
    FOREIGN KEY (cdfilial, cdservfili, cdturno) REFERENCES shift (cdfilial, cdservfili, cdturno)
) WITHOUT ROWID;

CREATE TABLE diners_forecast (
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdturno TEXT NOT NULL,
    )sql" KRV_DATE("dtprevisao") R"sql(,
    nrcomensais INTEGER NOT NULL CHECK (nrcomensais >= 0),
    PRIMARY KEY (cdfilial, cdservfili, cdturno, dtprevisao),
    FOREIGN KEY (cdfilial, cdservfili, cdturno) REFERENCES shift (cdfilial, cdservfili, cdturno)
) WITHOUT ROWID;

CREATE TABLE fixed_consumption (
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    qtdiaria REAL NOT NULL CHECK (qtdiaria > 0),
    PRIMARY KEY (cdfilial, cdservfili, cdproduto),
    FOREIGN KEY (cdfilial, cdservfili) REFERENCES service (cdfilial, cdservfili)
) WITHOUT ROWID;

CREATE TABLE percapita_consumption (
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    qtpercapita REAL NOT NULL CHECK (qtpercapita > 0),
    PRIMARY KEY (cdfilial, cdservfili, cdproduto),
    FOREIGN KEY (cdfilial, cdservfili) REFERENCES service (cdfilial, cdservfili)
) WITHOUT ROWID;

-- One row. Fixed and per-capita consumption are booked under a default dish of a default
-- dish type; empty columns mean "not set up yet" and the calculation says which is missing.
CREATE TABLE parameters (
    id INTEGER NOT NULL PRIMARY KEY CHECK (id = 1),
    cdtipopratoconsfixo TEXT REFERENCES dish_type (cdtipoprato),
    cdpratoconsfixo TEXT REFERENCES dish (cdprato),
    cdtipopratoconsper TEXT REFERENCES dish_type (cdtipoprato),
    cdpratoconsper TEXT REFERENCES dish (cdprato)
);
INSERT INTO parameters (id) VALUES (1);

CREATE TABLE code_picture (
    tppicture INTEGER NOT NULL PRIMARY KEY CHECK (tppicture >= 0),
    )sql" KRV_NAME("dspicture", 40) R"sql(
);
INSERT INTO code_picture (tppicture, dspicture) VALUES (0, '9.99.999.9999');

CREATE TABLE purchase_order (
    nrpedexol INTEGER NOT NULL PRIMARY KEY CHECK (nrpedexol BETWEEN 1 AND 9999999999),
    cdfiliopelog TEXT NOT NULL REFERENCES branch (cdfilial),
    cdfilial TEXT NOT NULL REFERENCES branch (cdfilial),
    cdservfili TEXT NOT NULL,
    cdturno TEXT,
    )sql" KRV_DATE("dtpedido") R"sql(,
    cdoperador TEXT NOT NULL,
    )sql" KRV_TIMESTAMP("dtlancamento") R"sql(
);

CREATE TABLE purchase_order_item (
    nrpedexol INTEGER NOT NULL REFERENCES purchase_order (nrpedexol) ON DELETE CASCADE,
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    qtpedido REAL NOT NULL CHECK (qtpedido >= 0),
    PRIMARY KEY (nrpedexol, cdproduto)
) WITHOUT ROWID;

CREATE TABLE requisition (
    nrrequipedido INTEGER NOT NULL PRIMARY KEY,
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdturno TEXT NOT NULL,
    )sql" KRV_DATE("dtrequipedido") R"sql(,
    cdgrupprod TEXT NOT NULL,
    cdsubgrprod TEXT NOT NULL,
    cdfiliopelog TEXT NOT NULL REFERENCES branch (cdfilial),
    nrseqrequipedido TEXT NOT NULL CHECK (length(nrseqrequipedido) BETWEEN 1 AND 10),
    nrpedexol INTEGER REFERENCES purchase_order (nrpedexol),
    cdfildest TEXT NOT NULL REFERENCES branch (cdfilial),
    cdfillanc TEXT NOT NULL REFERENCES branch (cdfilial),
    cdoperador TEXT NOT NULL,
    )sql" KRV_TIMESTAMP("dtlancamento") R"sql(,
    UNIQUE (cdfilial, cdservfili, cdturno, dtrequipedido, cdgrupprod, cdsubgrprod),
    FOREIGN KEY (cdfilial, cdservfili, cdturno) REFERENCES shift (cdfilial, cdservfili, cdturno),
    FOREIGN KEY (cdgrupprod, cdsubgrprod) REFERENCES product_grouping (cdgrupprod, cdsubgrprod)
);
CREATE INDEX requisition_by_day ON requisition (cdfilial, dtrequipedido);
CREATE INDEX requisition_by_order ON requisition (nrpedexol);

CREATE TABLE requisition_item (
    nrrequipedido INTEGER NOT NULL REFERENCES requisition (nrrequipedido) ON DELETE CASCADE,
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    idtipoconsumo TEXT NOT NULL CHECK (idtipoconsumo IN ('C', 'F', 'P')),
    qtrequisitada REAL NOT NULL CHECK (qtrequisitada >= 0),
    PRIMARY KEY (nrrequipedido, cdproduto, idtipoconsumo)
) WITHOUT ROWID;

CREATE TABLE consumption_forecast (
    cdfiliopelog TEXT NOT NULL REFERENCES branch (cdfilial),
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    )sql" KRV_DATE("dtprevisao") R"sql(,
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    qtprevista REAL NOT NULL CHECK (qtprevista >= 0),
    PRIMARY KEY (cdfiliopelog, cdfilial, cdservfili, dtprevisao, cdproduto),
    FOREIGN KEY (cdfilial, cdservfili) REFERENCES service (cdfilial, cdservfili)
) WITHOUT ROWID;

-- Selections and results handed to a client as a list number. Kept here rather than in
-- memory so that any server process sharing the file can answer for them.
CREATE TABLE server_list (
    nrlista INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,
    tplista TEXT NOT NULL CHECK (tplista IN ('services', 'shifts', 'calculation', 'requisitions')),
    rows BLOB NOT NULL,
    cdoperador TEXT NOT NULL DEFAULT '',
    )sql" KRV_TIMESTAMP("dtcriacao") R"sql(
);
CREATE INDEX server_list_by_age ON server_list (dtcriacao);
)sql";

#undef KRV_CODE
#undef KRV_NAME
#undef KRV_DATE
#undef KRV_TIMESTAMP

const std::vector<const char*> kMigrations = {kMigration1};

void ensureVersionTable(Connection& connection) {
    connection.database().exec(
        "CREATE TABLE IF NOT EXISTS schema_version ("
        " version INTEGER NOT NULL PRIMARY KEY,"
        " applied_at TEXT NOT NULL DEFAULT (datetime('now')))");
}

}  // namespace

int latestSchemaVersion() { return int(kMigrations.size()); }

int schemaVersion(Connection& connection) {
    auto query =
        connection.statement("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'");
    query->executeStep();
    if (query->getColumn(0).getInt() == 0) return 0;
    auto version = connection.statement("SELECT coalesce(max(version), 0) FROM schema_version");
    version->executeStep();
    return version->getColumn(0).getInt();
}

void migrate(Connection& connection) {
    for (int next = 1; next <= latestSchemaVersion(); ++next) {
        // Re-read inside each transaction: another process may be migrating the same file.
        connection.write([&](Connection& c) {
            ensureVersionTable(c);
            const int current = schemaVersion(c);
            if (current > latestSchemaVersion())
                throw std::runtime_error("O banco de dados tem a versão de esquema " + std::to_string(current) +
                                         ", mais nova que a deste servidor (" + std::to_string(latestSchemaVersion()) +
                                         ").");
            if (current >= next) return;
            c.database().exec(kMigrations[size_t(next - 1)]);
            auto record = c.statement("INSERT INTO schema_version (version) VALUES (?)");
            record->bind(1, next);
            record->exec();
        });
    }
}

}  // namespace krv::server
