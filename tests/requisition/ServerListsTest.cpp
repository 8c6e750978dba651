// The numbers of the server-held service and shift lists: asked once per branch and
// selection, and deleted when the screen closes.
#include <QMdiSubWindow>

#include "host/events/EventHelpers.h"
#include "host/session/Application.h"
#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"

using namespace krv;
using krv::requisition::TfrmPedReq;

namespace {

class ServerLists : public test::ShownScreen {
protected:
    QString nrListaServ() {
        QString number;
        EXPECT_TRUE(host::Guard([&] { number = form->getNrListaServ(); }));
        return number;
    }
    QString nrListaTurno() {
        QString number;
        EXPECT_TRUE(host::Guard([&] { number = form->getNrListaTurno(); }));
        return number;
    }
    static std::vector<std::string> argsOf(const test::RecordingServer::Call& call) {
        std::vector<std::string> texts;
        for (const Variant& arg : call.args) texts.push_back(arg.asString());
        return texts;
    }
    std::vector<std::string> listRequests() const { return methodsOf("GetNrLista"); }
    using Methods = std::vector<std::string>;
};

TEST_F(ServerLists, OnlyAChangedSelectionReachesTheServer) {
    EXPECT_EQ(nrListaTurno(), "T2");
    EXPECT_EQ(listRequests(), (Methods{"GetNrListaServ", "GetNrListaTurno"}));

    server.clearCalls();
    EXPECT_EQ(nrListaTurno(), "T2");
    EXPECT_EQ(nrListaServ(), "S1");
    EXPECT_TRUE(server.calls().empty()) << "an unchanged filter sends nothing";

    // Shifts alone: only the shift list is renewed (the picker reuses the service list).
    markList(form->rbtLTurno, form->sbtTurno, "_0001000011_");
    EXPECT_EQ(server.methods(), Methods{"GetTurno"});
    server.clearCalls();
    EXPECT_EQ(nrListaTurno(), "T3");
    EXPECT_EQ(listRequests(), Methods{"GetNrListaTurno"});

    // Services: both lists, the service list first.
    server.clearCalls();
    markList(form->rbtListaServ, form->sbtServico, "_000100001_");
    EXPECT_EQ(nrListaTurno(), "T5");
    EXPECT_EQ(listRequests(), (Methods{"GetNrListaServ", "GetNrListaTurno"}));

    // Services again, but the shift picker renewed the service list already.
    markList(form->rbtListaServ, form->sbtServico, "_000100002_");
    ui.answerList("_0001000022_");
    form->sbtTurno->click();
    server.clearCalls();
    EXPECT_EQ(nrListaTurno(), "T7");
    EXPECT_EQ(listRequests(), Methods{"GetNrListaTurno"});

    // "Todos" is a selection of its own even when every service was marked.
    markList(form->rbtListaServ, form->sbtServico, "_000100001_000100002_");
    EXPECT_EQ(nrListaServ(), "S8");
    form->rbtTodosServ->setChecked(true);
    EXPECT_EQ(nrListaServ(), "S9");
    EXPECT_TRUE(ui.errors().isEmpty());
}

TEST_F(ServerLists, TheCacheRemembersOnlyTheLastBranch) {
    EXPECT_EQ(nrListaServ(), "S1");
    server.clearCalls();
    form->medCdFilial->setText("0002");
    EXPECT_EQ(nrListaServ(), "S2");
    form->medCdFilial->setText("0001");
    EXPECT_EQ(nrListaServ(), "S3");
    EXPECT_EQ(listRequests().size(), 2u);
    EXPECT_EQ(getFilialArgs(), (std::vector<std::string>{"0002", "0001"})) << "each new branch is validated";
}

TEST_F(ServerLists, SendsTheCurrentNumbersAndKeepsWhatTheServerWritesBack) {
    server.on("KRV52000.rdmPedReq", "GetNrListaServ", 3, [](std::vector<Variant>& args) {
        args[1] = Variant(std::string("T"));  // the server found every service marked
        return Variant(Variant::Array{Variant(int64_t(41))});
    });
    markList(form->rbtListaServ, form->sbtServico, "_000100001_000100002_");
    markList(form->rbtLTurno, form->sbtTurno, "_0001000011_");
    EXPECT_EQ(nrListaTurno(), "T1");

    std::vector<std::vector<std::string>> sent;
    for (const auto& call : server.calls())
        if (call.method.rfind("GetNrLista", 0) == 0) sent.push_back(argsOf(call));
    // The service selection the server left differs from the screen's, so each use renews it.
    EXPECT_EQ(sent, (std::vector<std::vector<std::string>>{
                        {"0001", "_000100001_000100002_", ""},
                        {"0001", "_000100001_000100002_", "41"},
                        {"41", "", "_0001000011_"},
                    }));
    EXPECT_EQ(form->Filtro().nrListaServ, "41") << "element 0, as a string";
    EXPECT_EQ(form->Filtro().chavesListaServ, "T") << "the selection as the server left it";

    // The next renewal passes the number it replaces.
    server.clearCalls();
    markList(form->rbtLTurno, form->sbtTurno, "_0001000012_");
    EXPECT_EQ(nrListaTurno(), "T2");
    const auto renewal = server.calls().back();
    EXPECT_EQ(renewal.method, "GetNrListaTurno");
    EXPECT_EQ(renewal.args.at(1).asString(), "T1");
}

TEST_F(ServerLists, AnIncompleteFilterOrAFailureAsksAgainNextTime) {
    form->rbtListaServ->setChecked(true);
    EXPECT_FALSE(host::Guard([&] { form->getNrListaServ(); }));
    form->rbtTodosServ->setChecked(true);
    form->rbtLTurno->setChecked(true);
    EXPECT_FALSE(host::Guard([&] { form->getNrListaTurno(); }));
    EXPECT_EQ(ui.errors(), (QStringList{"Serviço deve ser informado.", "Turno deve ser informado."}));
    EXPECT_TRUE(form->rbtLTurno->hasFocus());
    EXPECT_TRUE(server.calls().empty());
    form->rbtTTurno->setChecked(true);

    server.on("KRV52000.rdmPedReq", "GetNrListaServ", 3,
              [](std::vector<Variant>&) -> Variant { throw rpc::MethodFailure("Lista recusada"); });
    EXPECT_FALSE(host::Guard([&] { form->getNrListaTurno(); }));
    EXPECT_EQ(ui.errors().back(), "Lista recusada");
    EXPECT_EQ(listRequests(), std::vector<std::string>{"GetNrListaServ"}) << "no shift list without a service list";
    EXPECT_EQ(ui.busyOn, ui.busyOff);
    EXPECT_TRUE(form->Filtro().chavesListaServ.isEmpty());

    server.on("KRV52000.rdmPedReq", "GetNrListaServ", 3, [](std::vector<Variant>&) {
        return Variant(Variant::Array{});  // no number at all
    });
    EXPECT_FALSE(host::Guard([&] { form->getNrListaServ(); }));
    EXPECT_EQ(ui.errors().back(), "Resposta inválida do servidor");
    EXPECT_TRUE(form->Filtro().chavesListaServ.isEmpty());
    EXPECT_EQ(listRequests().size(), 2u);
}

TEST_F(ServerLists, ClosingDeletesTheListsAndStillClosesWhenTheServerIsDown) {
    host::SubWindowOf(form)->close();
    ASSERT_EQ(server.calls().size(), 1u);
    EXPECT_EQ(server.calls()[0].method, "apagaListas");
    EXPECT_EQ(argsOf(server.calls()[0]), std::vector<std::string>(4)) << "nothing used: four blanks";
    EXPECT_FALSE(form->isVisible());

    host::ShowNormal(form);
    EXPECT_EQ(nrListaTurno(), "T2");
    server.clearCalls();
    server.stop();
    host::SubWindowOf(form)->close();
    EXPECT_EQ(ui.errors().size(), 1) << "the server's error, once";
    EXPECT_FALSE(form->isVisible()) << "the screen, and the host's exit with it, is not held open";
    EXPECT_FALSE(form->netPedReq.Connected());
    EXPECT_EQ(ui.busyOn, ui.busyOff);

    server.start();
    host::ShowNormal(form);
    host::SubWindowOf(form)->close();
    const auto calls = server.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(argsOf(calls[0]), (std::vector<std::string>{"S1", "T2", "", ""}));

    // Those lists are gone now: the screen, shown again, asks for new ones.
    host::ShowNormal(form);
    EXPECT_EQ(nrListaTurno(), "T4");
    EXPECT_EQ(listRequests(), (Methods{"GetNrListaServ", "GetNrListaTurno"}));
}

}  // namespace
