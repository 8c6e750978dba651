// A list's items have no foreign key to take them along: every way a list goes must delete
// them itself, and only them.
#include <gtest/gtest.h>

#include <functional>

#include "ServerTestSupport.h"
#include "server/stores/ListStore.h"

using namespace krv;
using krv::server::ListKind;
using krv::server::ListStore;
using krv::server::test::TestServer;
namespace test = krv::server::test;

namespace {

class ListItems : public test::EngineTest {};
KRV_ON_BOTH_ENGINES(ListItems);

}  // namespace

TEST_P(ListItems, EveryWayAListGoesTakesItsItemsAndNoOtherList) {
    TestServer server(engine(), false);
    server::db::Connection& c = server.sql();
    const DateTime now = test::fixedNow();
    ListStore owner(c, "DONO");
    // Two rows of each kind; `renewed` is the list a new one replaces.
    const auto make = [&](ListKind kind, DateTime when, std::optional<int64_t> renewed = std::nullopt) {
        switch (kind) {
            case ListKind::Services:
                return owner.storeServices("0001", {"0001", "0002"}, renewed, when);
            case ListKind::Shifts:
                return owner.storeShifts({{"0001", "0001", "1"}, {"0001", "0002", "1"}}, false, renewed, when);
            default:
                return owner.storeRequisitions(kind, {5, 7}, renewed, when);
        }
    };
    const auto otherKind = [](ListKind kind) {
        return kind == ListKind::Requisitions ? ListKind::Calculation : ListKind::Requisitions;
    };
    ListStore other(c, "OUTRO");
    const auto remove = [](ListStore& store, int64_t number, ListKind kind) {
        const std::vector<std::pair<int64_t, ListKind>> lists{{number, kind}};
        store.remove(lists);
    };
    struct Way {
        const char* name;
        bool goes;
        std::function<void(ListKind, int64_t)> apply;
    };
    const std::vector<Way> ways{
        {"renewed", true, [&](ListKind kind, int64_t number) { make(kind, now, number); }},
        {"deleted", true, [&](ListKind kind, int64_t number) { remove(owner, number, kind); }},
        {"purged", true, [&](ListKind, int64_t) { EXPECT_EQ(server::purgeStaleLists(c, now), 1); }},
        {"deleted as another kind", false,
         [&](ListKind kind, int64_t number) { remove(owner, number, otherKind(kind)); }},
        {"deleted by another operator", false, [&](ListKind kind, int64_t number) { remove(other, number, kind); }},
    };
    const auto orphans = [&] {
        int64_t found = 0;
        for (const char* table :
             {"service_list_item", "shift_list_item", "calculation_list_item", "requisition_list_item"})
            found += *c.integer(std::string("SELECT count(*) FROM ") + table +
                                " i WHERE NOT EXISTS (SELECT 1 FROM server_list l WHERE l.nrlista = i.nrlista)");
        return found;
    };
    for (const ListKind kind : {ListKind::Services, ListKind::Shifts, ListKind::Calculation, ListKind::Requisitions})
        for (const Way& way : ways) {
            SCOPED_TRACE(std::string(server::listKindName(kind)) + ", " + way.name);
            // Idle for a week and a second: stale for the purge, and a neighbour in use.
            const int64_t list = make(kind, DateTime{now.addDays(-ListStore::kIdleDays).seconds - 1});
            const int64_t neighbour = make(kind, now);
            const std::vector<std::string> rows = test::listRows(c, list);
            ASSERT_EQ(rows.size(), 2u);
            way.apply(kind, list);
            EXPECT_EQ(test::listRows(c, list), way.goes ? std::vector<std::string>{} : rows);
            EXPECT_EQ(server.count("SELECT count(*) FROM server_list WHERE nrlista = " + std::to_string(list)),
                      way.goes ? 0 : 1);
            EXPECT_EQ(test::listRows(c, neighbour), rows) << "the other list keeps its rows";
            EXPECT_EQ(orphans(), 0);
            server::purgeStaleLists(c, now.addDays(ListStore::kIdleDays + 1));  // the next case starts empty
        }
    EXPECT_EQ(server.count("SELECT count(*) FROM server_list"), 0);
    EXPECT_EQ(orphans(), 0);
}
