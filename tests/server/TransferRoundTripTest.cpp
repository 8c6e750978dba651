// The demo company, with some stock counted, exported from SQLite and imported into an empty
// PostgreSQL database: the same files come back out, and the same calculation gives the same
// items.
#include <gtest/gtest.h>

#include <cstdio>

#include "ServerTestSupport.h"
#include "TransferCases.h"
#include "server/objects/PedReqObject.h"
#include "server/transfer/Export.h"
#include "server/transfer/Import.h"
#include "server/transfer/RecordKinds.h"

using namespace krv;
using namespace krv::server::test;
namespace transfer = krv::server::transfer;
using krv::server::PedReqObject;
namespace db = krv::server::db;

namespace {

// Branch 0001's whole month with every consumption type, a 10% increase and rounding to
// packages; then every item written, one text each, in key order.
Texts calculatedMonth(const TestServer& server) {
    Args services{"0001", "T", ""};
    const std::string list = numberIn(server.call(PedReqObject::kName, "GetNrListaServ", services));
    Args calculation{"0001",
                     DateTime::fromDate(2026, 3, 1),
                     DateTime::fromDate(2026, 3, 31),
                     10.0,
                     "S",
                     "CFP",
                     "OPER",
                     "0001",
                     list,
                     "",
                     ""};
    server.call(PedReqObject::kName, "CalculaRequisicoes", calculation);
    Texts items;
    server.sql().each(
        "SELECT r.cdservfili, r.cdturno, r.dtrequipedido, r.cdgrupprod, r.cdsubgrprod, r.cdfiliopelog, i.cdproduto,"
        " i.idtipoconsumo, i.qtrequisitada, i.qtembalagem FROM requisition r"
        " JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido WHERE r.cdfilial = '0001'"
        " ORDER BY 1, 2, 3, 7, 8",
        {}, [&](const db::ResultRow& row) {
            char quantities[64];
            std::snprintf(quantities, sizeof quantities, "%.17g %.17g", row.real(8), row.real(9));
            items.push_back(row.text(0) + " " + row.text(1) + " " + row.dateTime(2).toIso() + " " + row.text(3) +
                            row.text(4) + " " + row.text(5) + " " + row.text(6) + row.text(7) + " " + quantities);
        });
    return items;
}

TEST(TransferRoundTrip, DemoCompanyFromSqliteToPostgresCalculatesTheSame) {
    TestServer sqlite(Engine::SQLite, true);
    sqlite.sql().execute(
        "INSERT INTO stock_count (cdfilial, cdproduto, dtcontagem, qtestoque) VALUES ('0001', '1030010001', ?, 4.54),"
        " ('0002', '1030010014', ?, 0)",
        {seedDate(), seedDate().addDays(-3)});
    TempDir fromSqlite;
    transfer::exportFolder(sqlite.sql(), fromSqlite.path());

    TestServer postgres(Engine::PostgreSQL, false);
    const auto imported = transfer::importFolder(postgres.sql(), fromSqlite.path(), {});
    ASSERT_EQ(problemsOf(imported), "");
    ASSERT_TRUE(imported.committed);
    TempDir fromPostgres;
    transfer::exportFolder(postgres.sql(), fromPostgres.path());
    for (const auto& kind : transfer::recordKinds()) {
        SCOPED_TRACE(kind.file);
        EXPECT_EQ(readText(fromPostgres.path() / kind.file), readText(fromSqlite.path() / kind.file));
    }

    const Texts expected = calculatedMonth(sqlite);
    ASSERT_GT(expected.size(), 500u);
    const Texts got = calculatedMonth(postgres);
    ASSERT_EQ(got.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(got[i], expected[i]) << "item " << i;
}

}  // namespace
