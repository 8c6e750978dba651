// Lists and orders belong to the operator whose session made them: to another operator they
// are as good as missing, whatever the method.
#include <gtest/gtest.h>

#include "OrderCases.h"
#include "server/objects/ReportObject.h"

using namespace krv;
using namespace krv::server::test::orders;
using krv::server::PedReqObject;
using krv::server::ReportObject;
using krv::server::test::TestServer;

namespace {

class Ownership : public server::test::EngineTest {};
KRV_ON_BOTH_ENGINES(Ownership);

struct Lists {
    std::string services, shifts, calculation, requisitions;
};

// Every kind of list, made by the test operator's session.
Lists madeByTheTestOperator(const TestServer& server, const HandCase& hand) {
    Lists lists;
    lists.services = numberIn(call(server, "GetNrListaServ", {"0001", "T", ""}));
    lists.shifts = numberIn(call(server, "GetNrListaTurno", {lists.services, "", "T"}));
    const DateTime quietDay = kDay1.addDays(5);  // no requisition of the hand case, so none ordered
    lists.calculation =
        numberIn(call(server, "CalculaRequisicoes",
                      {"0001", quietDay, quietDay, 0.0, "N", "CFP", kOperator, "0001", lists.services, "", ""}));
    lists.requisitions = requisitionList(server, marking(listed(server, "T", lists.shifts), hand.all()));
    return lists;
}

}  // namespace

TEST_P(Ownership, AnotherOperatorFindsNoListOrOrderOfTheOwnerAndCannotRenewOrDeleteThem) {
    TestServer server(engine());
    HandCase hand(server);
    const Lists own = madeByTheTestOperator(server, hand);
    const auto rowsOfOwnLists = [&] {
        Texts rows;
        for (const std::string& n : {own.services, own.shifts, own.calculation, own.requisitions})
            for (const std::string& row : server::test::listRows(server.sql(), std::stoll(n)))
                rows.push_back(n + ":" + row);
        return rows;
    };
    const Texts ownRows = rowsOfOwnLists();
    ASSERT_FALSE(ownRows.empty());

    server.addOperator("OUTRA", "outra senha");
    server.caller.operatorName = "OUTRA";
    const std::string before = server.content(server::test::allTables());
    const std::string services = "Lista de serviços " + own.services + " não encontrada.";
    const std::string requisitions = "Lista de requisições " + own.requisitions + " não encontrada.";
    Args generationOfOther = generation(own.requisitions);
    generationOfOther[5] = "OUTRA";
    const struct {
        const char* object;
        const char* method;
        Args args;
        std::string refusal;  // exactly what a list or order that does not exist gets
    } reads[] = {
        {PedReqObject::kName, "GetTurno", {own.services}, services},
        {PedReqObject::kName, "GetNrListaTurno", {own.services, "", "T"}, services},
        {PedReqObject::kName,
         "CalculaRequisicoes",
         {"0001", kDay1, kDay1, 0.0, "N", "CFP", "OUTRA", "0001", own.services, "", ""},
         services},
        {PedReqObject::kName,
         "getRequisicoes",
         {"T", kDay1, kDay2, own.shifts, "T"},
         "Lista de turnos " + own.shifts + " não encontrada."},
        {PedReqObject::kName, "GeraPedidoPorRequisicao", generationOfOther, requisitions},
        {PedReqObject::kName, "PreviaPedidoPorRequisicao", generationOfOther, requisitions},
        {PedReqObject::kName, "CancelaPedido", {"_500_", "OUTRA"}, "Pedido 500 não existe."},
        {ReportObject::kName, "GetDados", requisitionReport(own.services, own.shifts), services},
    };
    for (const auto& r : reads) {
        SCOPED_TRACE(r.method);
        EXPECT_EQ(server.failure(r.object, r.method, r.args), r.refusal);
        EXPECT_EQ(server.content(server::test::allTables()), before) << "a refusal changes nothing";
    }

    // Renewing and deleting someone else's numbers work as if those lists were gone already.
    Args servicesRenewed{"0001", "T", own.services};
    server.call(PedReqObject::kName, "GetNrListaServ", servicesRenewed);
    Args shiftsRenewed{servicesRenewed[2], own.shifts, "T"};
    server.call(PedReqObject::kName, "GetNrListaTurno", shiftsRenewed);
    Args requisitionsRenewed{Variant(marking(listed(server, "T", shiftsRenewed[1].asString()), hand.all())),
                             own.requisitions};
    server.call(PedReqObject::kName, "GetNrListaRequiPedido", requisitionsRenewed);
    Args deleted{own.services, own.shifts, own.calculation, ""};
    server.call(PedReqObject::kName, "apagaListas", deleted);
    Args deletedRequisitions{own.requisitions};
    server.call(PedReqObject::kName, "apagaListaRequiPedido", deletedRequisitions);
    EXPECT_EQ(rowsOfOwnLists(), ownRows);
    EXPECT_EQ(server.count("SELECT count(*) FROM server_list WHERE cdoperador = 'OPER'"), 4);
    EXPECT_EQ(server.count("SELECT count(*) FROM server_list WHERE cdoperador = 'OUTRA'"), 3);

    // The owner still has them all.
    server.caller.operatorName = kOperator;
    EXPECT_EQ(call(server, "GetTurno", {own.services}).type(), Variant::Type::Packet);
    EXPECT_GT(call(server, "GeraPedidoPorRequisicao", generation(own.requisitions)).array().at(0).asInt(), 0);
    EXPECT_EQ(call(server, "CancelaPedido", {"_500_", kOperator}).array().at(0), Variant(int64_t(1)));
}
