// krv-server's operator administration and audit from the shell: every mistake is named in
// Portuguese with exit status 1 and changes nothing, and someone always remains who can do
// everything.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "OrderCases.h"
#include "server/service/OperatorCommand.h"

using namespace krv;
using namespace krv::server::test::orders;
using krv::server::GrantWords;
using krv::server::HashCost;
using krv::server::OperatorStore;
using krv::server::test::TestServer;

namespace {

class OperatorAdmin : public server::test::EngineTest {};
KRV_ON_BOTH_ENGINES(OperatorAdmin);

using Command = std::function<int(const std::string& db, std::istream& in, std::ostream& out, std::ostream& err)>;

Command creating(const std::string& name, GrantWords grant) {
    return [=](auto& db, auto& in, auto& out, auto& err) {
        return server::createOperator(db, name, in, out, err, HashCost::Minimal, server::localNow, grant);
    };
}

Command altering(const std::string& name, GrantWords grant) {
    return [=](auto& db, auto& in, auto& out, auto& err) {
        return server::alterOperator(db, name, grant, false, in, out, err, HashCost::Minimal);
    };
}

std::string run(const TestServer& server, const Command& command, int expectedStatus = 0) {
    std::istringstream in("senha do teste\n");
    std::ostringstream out, err;
    EXPECT_EQ(command(server.database.target(), in, out, err), expectedStatus) << err.str();
    return expectedStatus ? err.str() : out.str();
}

}  // namespace

TEST_P(OperatorAdmin, BadInputIsNamedAndChangesNothingAndTheLastAdministratorStays) {
    TestServer server(engine());  // ADMIN and OPER, both administrators of every branch
    OperatorStore(server.sql()).saveGrant(kOperator, "cozinha", std::set<std::string>{"0001"});
    const std::string before = server.content({"operator", "operator_branch"});
    const std::string last =
        "krv-server: o operador ADMIN é o último administrador ativo de todas as filiais: crie ou altere outro antes\n";
    const struct {
        Command command;
        std::string error;
    } cases[] = {
        {creating("NOVO", {}), "krv-server: para criar o operador NOVO informe --papel e --filiais\n"},
        {creating("NOVO", {"cozinha", std::nullopt}),
         "krv-server: para criar o operador NOVO informe --papel e --filiais\n"},
        {creating("NOVO", {"chef", "0001"}),
         "krv-server: papel desconhecido: \"chef\" (use cozinha, compras, operador logístico, administrador)\n"},
        {creating("NOVO", {"Cozinha", "0001"}),
         "krv-server: papel desconhecido: \"Cozinha\" (use cozinha, compras, operador logístico, administrador)\n"},
        {creating("NOVO", {"cozinha", "0001,0099"}), "krv-server: filial 0099 não cadastrada\n"},
        {creating("NOVO", {"cozinha", ",,"}),
         "krv-server: o operador NOVO precisa de ao menos uma filial (--filiais 0001,0002 ou T)\n"},
        {creating("NOVO", {"cozinha", "00001"}), "krv-server: filial inválida em --filiais: \"00001\"\n"},
        {creating("NOVO", {"cozinha", "t"}), "krv-server: filial t não cadastrada\n"},
        {altering("FANTASMA", {"cozinha", std::nullopt}), "krv-server: operador FANTASMA não cadastrado\n"},
        {[](auto& db, auto&, auto& out, auto& err) { return server::deactivateOperator(db, "FANTASMA", out, err); },
         "krv-server: operador FANTASMA não cadastrado\n"},
        {altering("ADMIN", {"compras", std::nullopt}), last},
        {altering("ADMIN", {std::nullopt, "0001"}), last},
        {creating("ADMIN", {"cozinha", std::nullopt}), last},
        {[](auto& db, auto&, auto& out, auto& err) { return server::deactivateOperator(db, "ADMIN", out, err); }, last},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(server, c.command, 1), c.error);
        EXPECT_EQ(server.content({"operator", "operator_branch"}), before) << c.error;
    }

    // With another administrator of every branch, ADMIN may step down.
    EXPECT_EQ(run(server, creating("CHEFE", {"administrador", "T"})), "Operador CHEFE criado.\n");
    EXPECT_EQ(run(server, altering("ADMIN", {"compras", "0002,0001"})), "Operador ADMIN alterado.\n");
    EXPECT_EQ(run(server, [](auto& db, auto&, auto& out,
                             auto& err) { return server::deactivateOperator(db, kOperator, out, err); }),
              "Operador OPER desativado.\n");
    EXPECT_EQ(run(server, creating(kOperator, {})), "Senha do operador OPER trocada.\n")
        << "a password changes with neither role nor branches";
    const std::string listing =
        run(server, [](auto& db, auto&, auto& out, auto& err) { return server::listOperators(db, out, err); });
    EXPECT_EQ(listing,
              "OPERADOR\tPAPEL\tFILIAIS\tATIVO\tÚLTIMO LOGIN\n"
              "ADMIN\tcompras\t0001,0002\tS\tnunca\n"
              "CHEFE\tadministrador\tT\tS\tnunca\n"
              "OPER\tcozinha\t0001\tN\tnunca\n");
}

TEST_P(OperatorAdmin, TheAuditSaysWhoDidWhatForWhichBranchWithinTheDays) {
    TestServer server(engine());
    HandCase hand(server);  // requisitions by "calc" on both days, order 500 by OPER on the first
    const auto audit = [&](DateTime from, DateTime to) {
        return run(server,
                   [&](auto& db, auto&, auto& out, auto& err) { return server::printAudit(db, from, to, out, err); });
    };
    const std::string header = "MOMENTO\tOPERADOR\tAÇÃO\tFILIAL\tLINHAS\n";
    EXPECT_EQ(audit(kDay1, kDay1), header +
                                       "15/03/2026 00:00:00\tOPER\tgerou pedidos\t0001\t1\n"
                                       "15/03/2026 00:00:00\tcalc\tcalculou requisições\t0001\t5\n"
                                       "15/03/2026 00:00:00\tcalc\tcalculou requisições\t0002\t1\n");
    EXPECT_EQ(audit(kDay2, kDay2), header + "16/03/2026 00:00:00\tcalc\tcalculou requisições\t0001\t1\n");
    EXPECT_EQ(audit(kDay2.addDays(1), kDay2.addDays(9)), header);

    // An order of another kitchen, to be sent while 500 is cancelled.
    server.sql().execute(
        "INSERT INTO purchase_order (nrpedexol, cdfiliopelog, cdfilial, cdservfili, dtpedido, cdoperador,"
        " dtlancamento) VALUES (501, '0007', '0002', '0004', ?, ?, ?)",
        {kDay1, kOperator, server::db::Timestamp{kDay1}});
    const struct {
        const char* method;
        const char* orders;
        const char* line;
    } records[] = {{"CancelaPedido", "_500_", "15/03/2026 10:30:00\tOPER\tcancelou pedidos\t0001\t1\n"},
                   {"MarcaPedidosEnviados", "_501_", "15/03/2026 10:30:00\tOPER\tenviou pedidos\t0002\t1\n"}};
    for (const auto& r : records) {
        call(server, r.method, {r.orders, kOperator});
        EXPECT_NE(audit(kDay1, kDay1).find(r.line), std::string::npos) << r.method;
    }
}
