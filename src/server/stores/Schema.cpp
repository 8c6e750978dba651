#include "server/stores/Schema.h"

#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/storage/Database.h"
#include "server/stores/ListStore.h"

namespace krv::server {

namespace {

// Version 1: the whole domain of requisitions and orders. Written once for both engines:
// each "{...}" is a column type or check in the engine's own words (see expand()).
const char* const kMigration1 = R"sql(
CREATE TABLE branch (
    {code cdfilial 4} PRIMARY KEY,
    {name nmfilial 30},
    ol TEXT NOT NULL DEFAULT 'N' CHECK (ol IN ('S', 'N')),
    cdfiliopelog TEXT REFERENCES branch (cdfilial),
    {date dtproc}
){keyed};

CREATE TABLE service (
    cdfilial TEXT NOT NULL REFERENCES branch (cdfilial),
    {code cdservfili 5},
    {name nmservico 40},
    PRIMARY KEY (cdfilial, cdservfili)
){keyed};

CREATE TABLE shift (
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    {code cdturno 1},
    {name nmturno 10},
    PRIMARY KEY (cdfilial, cdservfili, cdturno),
    FOREIGN KEY (cdfilial, cdservfili) REFERENCES service (cdfilial, cdservfili)
){keyed};

CREATE TABLE product_group (
    {code cdgrupprod 10} PRIMARY KEY,
    {name nmgrupprod 40}
){keyed};

CREATE TABLE product_grouping (
    cdgrupprod TEXT NOT NULL REFERENCES product_group (cdgrupprod),
    {code cdsubgrprod 10},
    {name nmsubgrprod 40},
    PRIMARY KEY (cdgrupprod, cdsubgrprod)
){keyed};

-- The product code is kept as its 10 digits; the dots of the code picture are display only.
CREATE TABLE product (
    cdproduto TEXT NOT NULL PRIMARY KEY CHECK (length(cdproduto) = 10 AND {digitsonly cdproduto}),
    {name nmproduto 60},
    {name sgunidade 4},
    cdgrupprod TEXT NOT NULL,
    cdsubgrprod TEXT NOT NULL,
    qtembalagem {real} NOT NULL CHECK (qtembalagem > 0),
    FOREIGN KEY (cdgrupprod, cdsubgrprod) REFERENCES product_grouping (cdgrupprod, cdsubgrprod)
){keyed};
CREATE INDEX product_by_grouping ON product (cdgrupprod, cdsubgrprod);

CREATE TABLE dish_type (
    {code cdtipoprato 4} PRIMARY KEY,
    {name nmtipoprato 40}
){keyed};

CREATE TABLE dish (
    {code cdprato 4} PRIMARY KEY,
    {name nmprato 60},
    cdtipoprato TEXT NOT NULL REFERENCES dish_type (cdtipoprato)
){keyed};

CREATE TABLE recipe (
    cdprato TEXT NOT NULL REFERENCES dish (cdprato),
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    qtpercapita {real} NOT NULL CHECK (qtpercapita > 0),
    PRIMARY KEY (cdprato, cdproduto)
){keyed};

CREATE TABLE menu (
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdturno TEXT NOT NULL,
    {date dtcardapio},
    cdprato TEXT NOT NULL REFERENCES dish (cdprato),
    PRIMARY KEY (cdfilial, cdservfili, cdturno, dtcardapio, cdprato),
    FOREIGN KEY (cdfilial, cdservfili, cdturno) REFERENCES shift (cdfilial, cdservfili, cdturno)
){keyed};

CREATE TABLE diners_forecast (
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdturno TEXT NOT NULL,
    {date dtprevisao},
    nrcomensais INTEGER NOT NULL CHECK (nrcomensais >= 0),
    PRIMARY KEY (cdfilial, cdservfili, cdturno, dtprevisao),
    FOREIGN KEY (cdfilial, cdservfili, cdturno) REFERENCES shift (cdfilial, cdservfili, cdturno)
){keyed};

CREATE TABLE fixed_consumption (
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    qtdiaria {real} NOT NULL CHECK (qtdiaria > 0),
    PRIMARY KEY (cdfilial, cdservfili, cdproduto),
    FOREIGN KEY (cdfilial, cdservfili) REFERENCES service (cdfilial, cdservfili)
){keyed};

CREATE TABLE percapita_consumption (
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    qtpercapita {real} NOT NULL CHECK (qtpercapita > 0),
    PRIMARY KEY (cdfilial, cdservfili, cdproduto),
    FOREIGN KEY (cdfilial, cdservfili) REFERENCES service (cdfilial, cdservfili)
){keyed};

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
    {name dspicture 40}
);
INSERT INTO code_picture (tppicture, dspicture) VALUES (0, '9.99.999.9999');

CREATE TABLE purchase_order (
    nrpedexol {bigint} NOT NULL PRIMARY KEY CHECK (nrpedexol BETWEEN 1 AND 9999999999),
    cdfiliopelog TEXT NOT NULL REFERENCES branch (cdfilial),
    cdfilial TEXT NOT NULL REFERENCES branch (cdfilial),
    cdservfili TEXT NOT NULL,
    cdturno TEXT,
    {date dtpedido},
    cdoperador TEXT NOT NULL,
    {timestamp dtlancamento}
);

CREATE TABLE purchase_order_item (
    nrpedexol {bigint} NOT NULL REFERENCES purchase_order (nrpedexol) ON DELETE CASCADE,
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    qtpedido {real} NOT NULL CHECK (qtpedido >= 0),
    PRIMARY KEY (nrpedexol, cdproduto)
){keyed};

CREATE TABLE requisition (
    nrrequipedido {identity},
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdturno TEXT NOT NULL,
    {date dtrequipedido},
    cdgrupprod TEXT NOT NULL,
    cdsubgrprod TEXT NOT NULL,
    cdfiliopelog TEXT NOT NULL REFERENCES branch (cdfilial),
    nrseqrequipedido TEXT NOT NULL CHECK (length(nrseqrequipedido) BETWEEN 1 AND 10),
    nrpedexol {bigint} REFERENCES purchase_order (nrpedexol),
    cdfildest TEXT NOT NULL REFERENCES branch (cdfilial),
    cdfillanc TEXT NOT NULL REFERENCES branch (cdfilial),
    cdoperador TEXT NOT NULL,
    {timestamp dtlancamento},
    UNIQUE (cdfilial, cdservfili, cdturno, dtrequipedido, cdgrupprod, cdsubgrprod),
    FOREIGN KEY (cdfilial, cdservfili, cdturno) REFERENCES shift (cdfilial, cdservfili, cdturno),
    FOREIGN KEY (cdgrupprod, cdsubgrprod) REFERENCES product_grouping (cdgrupprod, cdsubgrprod)
);
CREATE INDEX requisition_by_day ON requisition (cdfilial, dtrequipedido);
CREATE INDEX requisition_by_order ON requisition (nrpedexol);

CREATE TABLE requisition_item (
    nrrequipedido {bigint} NOT NULL REFERENCES requisition (nrrequipedido) ON DELETE CASCADE,
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    idtipoconsumo TEXT NOT NULL CHECK (idtipoconsumo IN ('C', 'F', 'P')),
    qtrequisitada {real} NOT NULL CHECK (qtrequisitada >= 0),
    PRIMARY KEY (nrrequipedido, cdproduto, idtipoconsumo)
){keyed};

CREATE TABLE consumption_forecast (
    cdfiliopelog TEXT NOT NULL REFERENCES branch (cdfilial),
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    {date dtprevisao},
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    qtprevista {real} NOT NULL CHECK (qtprevista >= 0),
    PRIMARY KEY (cdfiliopelog, cdfilial, cdservfili, dtprevisao, cdproduto),
    FOREIGN KEY (cdfilial, cdservfili) REFERENCES service (cdfilial, cdservfili)
){keyed};

-- Selections and results handed to a client as a list number. Kept here rather than in
-- memory so that any server process sharing the file can answer for them.
CREATE TABLE server_list (
    nrlista {identity},
    tplista TEXT NOT NULL CHECK (tplista IN ('services', 'shifts', 'calculation', 'requisitions')),
    rows {blob} NOT NULL,
    cdoperador TEXT NOT NULL DEFAULT '',
    {timestamp dtcriacao}
);
CREATE INDEX server_list_by_age ON server_list (dtcriacao);
)sql";

// Version 2: order generation. The rows of a requisition list as a table, so that one
// generation over thousands of requisitions is a handful of set-based statements; the
// branch an order was generated from; and one counter row that every generation updates
// before anything else, so that concurrent generations queue up behind each other instead
// of handing out the same order numbers.
const char* const kMigration2 = R"sql(
CREATE TABLE requisition_list_item (
    nrlista {bigint} NOT NULL REFERENCES server_list (nrlista) ON DELETE CASCADE,
    nrrequipedido {bigint} NOT NULL,
    PRIMARY KEY (nrlista, nrrequipedido)
){keyed};

ALTER TABLE purchase_order ADD COLUMN cdfilproc TEXT REFERENCES branch (cdfilial);

CREATE TABLE order_counter (
    id INTEGER NOT NULL PRIMARY KEY CHECK (id = 1),
    nrpedexol {bigint} NOT NULL CHECK (nrpedexol BETWEEN 0 AND 9999999999)
);
INSERT INTO order_counter (id, nrpedexol) SELECT 1, coalesce(max(nrpedexol), 0) FROM purchase_order;
)sql";

// Version 3: a forecast says who calculated it and when. SQLite adds a NOT NULL column
// only with a constant default; no forecast was written before this version, so the
// defaults never describe a real row.
const char* const kMigration3 = R"sql(
ALTER TABLE consumption_forecast ADD COLUMN cdoperador TEXT NOT NULL DEFAULT '';
ALTER TABLE consumption_forecast ADD COLUMN {timestamp dtlancamento} DEFAULT '2000-01-01 00:00:00';
CREATE INDEX consumption_forecast_by_day ON consumption_forecast (cdfiliopelog, dtprevisao);
)sql";

// Version 4: a list lives as long as a screen keeps using it, so each use is dated and the
// purge goes by that date rather than by the list's age; and a shift list remembers that it
// was made from "Todos", which must narrow nothing on the order screen, whatever branch it
// lists. Lists made before keep narrowing by their shifts, as they did.
const char* const kMigration4 = R"sql(
ALTER TABLE server_list ADD COLUMN {timestamp dtuso} DEFAULT '2000-01-01 00:00:00';
UPDATE server_list SET dtuso = dtcriacao;
ALTER TABLE server_list ADD COLUMN idtodos TEXT NOT NULL DEFAULT 'N' CHECK (idtodos IN ('S', 'N'));
CREATE INDEX server_list_by_use ON server_list (dtuso);
)sql";

// Version 5: an item keeps the increase and the package size its calculation used, so that
// its quantity can be explained later. Items written before hold neither (NULL).
const char* const kMigration5 = R"sql(
ALTER TABLE requisition_item ADD COLUMN pcacrescimo {real};
ALTER TABLE requisition_item ADD COLUMN qtembalagem {real};
)sql";

// Version 6: orders that can be previewed, cancelled and rounded to whole packages. A
// cancelled order stays, with who cancelled it and when, in a table of its own so that an
// order needs no column that is empty while it is active. An order line keeps what its
// requisitions needed beside what was ordered, which differ once lines are rounded to
// packages; lines written before are taken as ordered exactly as needed. A preview
// remembers, per requisition list, what it was asked and the state of each open listed
// requisition, so that the generation that follows can tell that they changed meanwhile.
const char* const kMigration6 = R"sql(
CREATE TABLE purchase_order_cancellation (
    nrpedexol {bigint} NOT NULL PRIMARY KEY REFERENCES purchase_order (nrpedexol),
    cdoperador TEXT NOT NULL CHECK (length(cdoperador) >= 1),
    {timestamp dtcancelamento}
){keyed};

ALTER TABLE purchase_order_item ADD COLUMN qtnecessaria {real} CHECK (qtnecessaria >= 0);
UPDATE purchase_order_item SET qtnecessaria = qtpedido;

CREATE TABLE order_preview (
    nrlista {bigint} NOT NULL PRIMARY KEY REFERENCES server_list (nrlista) ON DELETE CASCADE,
    dsargumentos TEXT NOT NULL
){keyed};

CREATE TABLE order_preview_item (
    nrlista {bigint} NOT NULL REFERENCES order_preview (nrlista) ON DELETE CASCADE,
    nrrequipedido {bigint} NOT NULL,
    dsitens TEXT NOT NULL,
    PRIMARY KEY (nrlista, nrrequipedido)
){keyed};
)sql";

// Version 7: service, shift and calculation lists as rows, like requisition lists, so the
// stores join them instead of decoding packets. The lists stored before are converted after this script
// (listPacketsToRows). server_list.rows is no longer written and stays, empty: dropping a
// column would rebuild the table on SQLite.
const char* const kMigration7 = R"sql(
CREATE TABLE service_list_item (
    nrlista {bigint} NOT NULL REFERENCES server_list (nrlista) ON DELETE CASCADE,
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    PRIMARY KEY (nrlista, cdfilial, cdservfili)
){keyed};

CREATE TABLE shift_list_item (
    nrlista {bigint} NOT NULL REFERENCES server_list (nrlista) ON DELETE CASCADE,
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdturno TEXT NOT NULL,
    PRIMARY KEY (nrlista, cdfilial, cdservfili, cdturno)
){keyed};

CREATE TABLE calculation_list_item (
    nrlista {bigint} NOT NULL REFERENCES server_list (nrlista) ON DELETE CASCADE,
    nrrequipedido {bigint} NOT NULL,
    PRIMARY KEY (nrlista, nrrequipedido)
){keyed};
)sql";

// Version 8: operators who log in, and lists that belong to the operator who made them
// (server_list.cdoperador, there since version 1 and never written until now). A password
// is kept only as its Argon2id hash, salt and costs inside it; whether it is the demo
// password is noted when it is set, so the check before listening off loopback hashes
// nothing. Lists made before keep the empty owner: no operator sees them, and they go with
// the purge of idle lists.
const char* const kMigration8 = R"sql(
CREATE TABLE operator (
    {code cdoperador 30} PRIMARY KEY,
    dssenha TEXT NOT NULL CHECK (length(dssenha) >= 1),
    idsenhademo TEXT NOT NULL CHECK (idsenhademo IN ('S', 'N')),
    {timestamp dtalteracao}
){keyed};
CREATE INDEX server_list_by_owner ON server_list (cdoperador, nrlista);
)sql";

// Version 9: an order handed on to its logistic operator, with who marked it sent and
// when, in a table of its own like its cancellation; a sent order is never cancelled.
const char* const kMigration9 = R"sql(
CREATE TABLE purchase_order_shipment (
    nrpedexol {bigint} NOT NULL PRIMARY KEY REFERENCES purchase_order (nrpedexol),
    cdoperador TEXT NOT NULL CHECK (length(cdoperador) >= 1),
    {timestamp dtenvio}
){keyed};
CREATE INDEX purchase_order_by_day ON purchase_order (dtpedido, cdfilial);
)sql";

// Version 10: who may act for which kitchen. An operator has a role and answers for the
// branches of operator_branch, or for every branch (idtodasfiliais); a deactivated one keeps
// its history but cannot log in. The operators there were before could do everything, so
// they become administrators of every branch and nothing that worked stops working.
const char* const kMigration10 = R"sql(
ALTER TABLE operator ADD COLUMN dspapel TEXT NOT NULL DEFAULT 'administrador'
    CHECK (dspapel IN ('cozinha', 'compras', 'operador logístico', 'administrador'));
ALTER TABLE operator ADD COLUMN idtodasfiliais TEXT NOT NULL DEFAULT 'S' CHECK (idtodasfiliais IN ('S', 'N'));
ALTER TABLE operator ADD COLUMN idativo TEXT NOT NULL DEFAULT 'S' CHECK (idativo IN ('S', 'N'));
ALTER TABLE operator ADD COLUMN {optionaltimestamp dtultimologin};

CREATE TABLE operator_branch (
    cdoperador TEXT NOT NULL REFERENCES operator (cdoperador) ON DELETE CASCADE,
    cdfilial TEXT NOT NULL REFERENCES branch (cdfilial),
    PRIMARY KEY (cdoperador, cdfilial)
){keyed};
)sql";

// Version 11: a random name for this database. Clients that connect again compare it, and do
// not go on with a server that came back on another database (another company, another
// schema, a test base) under the same address.
const char* const kMigration11 = R"sql(
CREATE TABLE database_identity (
    idbanco TEXT NOT NULL PRIMARY KEY CHECK (length(idbanco) = 32)
){keyed};
)sql";

// Version 12: a list's items go with it because ListStore deletes them, no longer by a
// foreign key. PostgreSQL checks such a key row by row, and for a month's list of 70 kitchens
// (68 748 rows) the checks cost three times the insert itself. Every list is written and
// removed by ListStore alone, its header and items in one transaction, so nothing else needs
// the key. A rebuilt table is how SQLite drops a constraint, and it works alike on both.
const char* const kMigration12 = R"sql(
CREATE TABLE requisition_list_item_v12 (
    nrlista {bigint} NOT NULL,
    nrrequipedido {bigint} NOT NULL,
    PRIMARY KEY (nrlista, nrrequipedido)
){keyed};
INSERT INTO requisition_list_item_v12 SELECT nrlista, nrrequipedido FROM requisition_list_item;
DROP TABLE requisition_list_item;
ALTER TABLE requisition_list_item_v12 RENAME TO requisition_list_item;

CREATE TABLE calculation_list_item_v12 (
    nrlista {bigint} NOT NULL,
    nrrequipedido {bigint} NOT NULL,
    PRIMARY KEY (nrlista, nrrequipedido)
){keyed};
INSERT INTO calculation_list_item_v12 SELECT nrlista, nrrequipedido FROM calculation_list_item;
DROP TABLE calculation_list_item;
ALTER TABLE calculation_list_item_v12 RENAME TO calculation_list_item;

CREATE TABLE service_list_item_v12 (
    nrlista {bigint} NOT NULL,
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    PRIMARY KEY (nrlista, cdfilial, cdservfili)
){keyed};
INSERT INTO service_list_item_v12 SELECT nrlista, cdfilial, cdservfili FROM service_list_item;
DROP TABLE service_list_item;
ALTER TABLE service_list_item_v12 RENAME TO service_list_item;

CREATE TABLE shift_list_item_v12 (
    nrlista {bigint} NOT NULL,
    cdfilial TEXT NOT NULL,
    cdservfili TEXT NOT NULL,
    cdturno TEXT NOT NULL,
    PRIMARY KEY (nrlista, cdfilial, cdservfili, cdturno)
){keyed};
INSERT INTO shift_list_item_v12 SELECT nrlista, cdfilial, cdservfili, cdturno FROM shift_list_item;
DROP TABLE shift_list_item;
ALTER TABLE shift_list_item_v12 RENAME TO shift_list_item;
)sql";

// Version 13: what a kitchen holds. A product says for how many days a received package may
// be used (0: only the day it arrives; existing products keep 0, so their orders stay as
// they were until the company says otherwise). A kitchen counts what it has; an order is
// received, whole or line by line (counts imported from a file are recorded as krv-dados's,
// at the time they were written); and an order line keeps, beside its need and what is
// bought, what came from stock, and which stock that was, so that its quantity can be
// explained later.
const char* const kMigration13 = R"sql(
ALTER TABLE product ADD COLUMN nrdiasvalidade INTEGER NOT NULL DEFAULT 0 CHECK (nrdiasvalidade BETWEEN 0 AND 3650);

CREATE TABLE stock_count (
    cdfilial TEXT NOT NULL REFERENCES branch (cdfilial),
    cdproduto TEXT NOT NULL REFERENCES product (cdproduto),
    {date dtcontagem},
    qtestoque {real} NOT NULL CHECK (qtestoque >= 0),
    cdoperador TEXT NOT NULL DEFAULT 'krv-dados' CHECK (length(cdoperador) >= 1),
    {timestamp dtlancamento} DEFAULT {now},
    PRIMARY KEY (cdfilial, cdproduto, dtcontagem)
){keyed};

CREATE TABLE purchase_order_receipt (
    nrpedexol {bigint} NOT NULL PRIMARY KEY REFERENCES purchase_order (nrpedexol),
    {date dtrecebimento},
    cdoperador TEXT NOT NULL CHECK (length(cdoperador) >= 1),
    {timestamp dtlancamento}
){keyed};

ALTER TABLE purchase_order_item ADD COLUMN qtsaldo {real} NOT NULL DEFAULT 0 CHECK (qtsaldo >= 0);
ALTER TABLE purchase_order_item ADD COLUMN qtrecebida {real} CHECK (qtrecebida >= 0);

CREATE TABLE purchase_order_item_source (
    nrpedexol {bigint} NOT NULL,
    cdproduto TEXT NOT NULL,
    nrseq INTEGER NOT NULL,
    tporigem TEXT NOT NULL CHECK (tporigem IN ('C', 'R', 'P', 'S', 'V')),
    {date dtorigem},
    nrpedorigem {bigint},
    qtorigem {real} NOT NULL CHECK (qtorigem >= 0),
    PRIMARY KEY (nrpedexol, cdproduto, nrseq)
){keyed};

CREATE INDEX purchase_order_by_kitchen ON purchase_order (cdfilial, dtpedido);
)sql";

void nameDatabase(db::Connection& c) {
    std::random_device entropy;
    std::string name;
    for (int i = 0; i < 4; ++i) {
        char word[9];
        std::snprintf(word, sizeof word, "%08x", unsigned(entropy()));
        name += word;
    }
    c.execute("INSERT INTO database_identity (idbanco) VALUES (?)", {name});
}

// A version's script, then, when the script alone cannot say it, C++ in the same transaction.
struct Migration {
    const char* script;
    void (*then)(db::Connection&) = nullptr;
};

const std::vector<Migration> kMigrations = {{kMigration1},
                                            {kMigration2},
                                            {kMigration3},
                                            {kMigration4},
                                            {kMigration5},
                                            {kMigration6},
                                            {kMigration7, listPacketsToRows},
                                            {kMigration8},
                                            {kMigration9},
                                            {kMigration10},
                                            {kMigration11, nameDatabase},
                                            {kMigration12},
                                            {kMigration13}};

std::string fill(const std::string& pattern, const std::string& column) {
    std::string out = pattern;
    for (size_t at = out.find("{}"); at != std::string::npos; at = out.find("{}", at + column.size()))
        out.replace(at, 2, column);
    return out;
}

// Codes hold letters and digits only: "_" separates keys in key lists, and anything else
// would not survive the screens' masks.
std::string placeholder(const std::vector<std::string>& words, const db::Dialect& d) {
    const std::string& kind = words.at(0);
    const auto column = [&] { return words.at(1); };
    const auto size = [&] { return words.at(2); };
    if (kind == "code")
        return column() + " TEXT NOT NULL CHECK (length(" + column() + ") BETWEEN 1 AND " + size() + " AND " +
               fill(d.onlyLettersAndDigits, column()) + ")";
    if (kind == "name")
        return column() + " TEXT NOT NULL CHECK (length(" + column() + ") BETWEEN 1 AND " + size() + ")";
    if (kind == "digitsonly") return fill(d.onlyDigits, column());
    if (kind == "date") return fill(d.date, column());
    if (kind == "timestamp") return fill(d.timestamp, column());
    if (kind == "optionaltimestamp") {
        // The same column where NULL says "never": a check on NULL passes in both engines.
        std::string type = fill(d.timestamp, column());
        type.erase(type.find(" NOT NULL"), 9);
        return type;
    }
    if (kind == "real") return d.real;
    if (kind == "bigint") return d.bigint;
    if (kind == "blob") return d.blob;
    if (kind == "identity") return d.identity;
    if (kind == "now") return d.now;
    if (kind == "keyed") return d.keyedTableOptions;
    throw std::logic_error("Marcador de esquema desconhecido: " + kind);
}

}  // namespace

std::string expand(std::string_view migration, const db::Dialect& dialect) {
    std::string out;
    size_t at = 0;
    while (true) {
        const size_t open = migration.find('{', at);
        if (open == std::string_view::npos) break;
        const size_t close = migration.find('}', open);
        if (close == std::string_view::npos) throw std::logic_error("Marcador de esquema sem fim.");
        out.append(migration.substr(at, open - at));
        std::vector<std::string> words;
        std::string word;
        for (char c : migration.substr(open + 1, close - open - 1)) {
            if (c == ' ') {
                if (!word.empty()) words.push_back(std::move(word));
                word.clear();
            } else {
                word += c;
            }
        }
        if (!word.empty()) words.push_back(std::move(word));
        out += placeholder(words, dialect);
        at = close + 1;
    }
    out.append(migration.substr(at));
    return out;
}

int latestSchemaVersion() { return int(kMigrations.size()); }

int schemaVersion(db::Connection& connection) {
    return int(connection.integer("SELECT max(version) FROM schema_version").value_or(0));
}

std::string databaseIdentity(db::Connection& connection) {
    std::string name;
    connection.each("SELECT idbanco FROM database_identity", {}, [&](const db::ResultRow& row) { name = row.text(0); });
    return name;
}

void migrate(db::Connection& connection, int upTo) {
    // Exclusive: another server process may be starting on the same database right now,
    // and only one of them may create the tables.
    connection.write(
        [&](db::Connection& c) {
            c.script(
                expand("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL PRIMARY KEY,"
                       " {timestamp applied_at} DEFAULT {now})",
                       c.dialect()));
            const int current = schemaVersion(c);
            if (current > latestSchemaVersion())
                throw std::runtime_error("O banco de dados tem a versão de esquema " + std::to_string(current) +
                                         ", mais nova que a deste servidor (" + std::to_string(latestSchemaVersion()) +
                                         ").");
            for (int next = current + 1; next <= upTo; ++next) {
                const Migration& migration = kMigrations[size_t(next - 1)];
                c.script(expand(migration.script, c.dialect()));
                if (migration.then) migration.then(c);
                c.execute("INSERT INTO schema_version (version) VALUES (?)", {next});
            }
        },
        db::WriteKind::Exclusive);
}

}  // namespace krv::server
