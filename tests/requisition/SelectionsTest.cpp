// The three selection groups: what their radio buttons reset, what their pickers load and
// show, and when a picker does not open.
#include <QRadioButton>

#include "host/events/EventHelpers.h"
#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"

using namespace krv;
using krv::requisition::TfrmPedReq;

namespace {

class Selections : public test::ShownScreen {
protected:
    void SetUp() override {
        ShownScreen::SetUp();
        form->nedAcresc->setFocus();
    }
    void markAll() {
        markList(form->rbtListaServ, form->sbtServico, "_000100001_");
        markList(form->rbtLAgrupProd, form->sbtAgrupProd, "_01        001_");
        markList(form->rbtLTurno, form->sbtTurno, "_0001000011_");
    }
};

TEST_F(Selections, TodosForgetsTheMarksAndServicesTakeTheShiftsAlong) {
    markAll();
    const auto& f = form->Filtro();
    EXPECT_EQ(f.chavesServico, "_000100001_");
    EXPECT_EQ(f.chavesAgrupProd, "_01        001_");
    EXPECT_EQ(f.chavesTurno, "_0001000011_");

    form->rbtTAgrupProd->setChecked(true);
    EXPECT_EQ(f.chavesAgrupProd, "");
    EXPECT_FALSE(form->sbtAgrupProd->isEnabled());
    EXPECT_EQ(f.chavesServico, "_000100001_") << "groupings reset nothing else";
    EXPECT_EQ(f.chavesTurno, "_0001000011_");

    form->rbtTodosServ->setChecked(true);
    EXPECT_EQ(f.chavesServico, "");
    EXPECT_FALSE(form->sbtServico->isEnabled());
    EXPECT_TRUE(form->rbtTTurno->isChecked()) << "the shift rows belong to the services";
    EXPECT_EQ(f.chavesTurno, "");
    EXPECT_FALSE(form->sbtTurno->isEnabled());

    // A branch change puts services and groupings back to "Todos".
    markAll();
    form->medCdFilial->setText("0002");
    EXPECT_TRUE(form->rbtTodosServ->isChecked());
    EXPECT_TRUE(form->rbtTAgrupProd->isChecked());
    EXPECT_EQ(f.chavesServico, "");
    EXPECT_EQ(f.chavesAgrupProd, "");
    EXPECT_EQ(f.chavesTurno, "");
    EXPECT_TRUE(ui.errors().isEmpty());
}

TEST_F(Selections, PickersLoadTheirRowsAndShowTheMarkedKeys) {
    struct Case {
        QRadioButton* lista;
        QAbstractButton* picker;
        const char* title;
        std::string method;
        std::string arg;  // what the loading method receives
        QString keys;
    };
    const Case cases[] = {
        {form->rbtListaServ, form->sbtServico, "Serviço", "GetServico", "0001", "_000100002_"},
        {form->rbtLAgrupProd, form->sbtAgrupProd, "Agrupamento de Produto", "GetAgrupProd", "0001", "_02        010_"},
        {form->rbtLTurno, form->sbtTurno, "Turno", "GetTurno", "S1", "_0001000021_0001000022_"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        server.clearCalls();
        ui.pickersShown.clear();
        markList(c.lista, c.picker, c.keys);
        ASSERT_FALSE(server.calls().empty());
        EXPECT_EQ(server.calls().back().method, c.method);
        EXPECT_EQ(server.calls().back().args.at(0).asString(), c.arg);

        // Opened again, the picker starts from the keys marked; a cancel keeps them.
        ui.cancelList();
        c.picker->click();
        ASSERT_EQ(ui.pickersShown.size(), 2u);
        EXPECT_EQ(ui.pickersShown[1].kind, "pesquisaLista");
        EXPECT_EQ(ui.pickersShown[1].title, QString::fromUtf8(c.title));
        EXPECT_EQ(ui.pickersShown[1].keysBefore, c.keys);
    }
    EXPECT_EQ(form->Filtro().chavesServico, "_000100002_");
    EXPECT_EQ(form->Filtro().chavesTurno, "_0001000021_0001000022_");

    // With no rows the picker shows the group's empty-list text.
    services.clear();
    form->rbtTTurno->setChecked(true);
    form->rbtLTurno->setChecked(true);
    form->sbtTurno->click();
    EXPECT_EQ(ui.texts(host::MsgDlgType::Information), QStringList{"Não há turno cadastrado."});
    EXPECT_TRUE(ui.errors().isEmpty());
    EXPECT_TRUE(ui.allAnswersUsed());
}

TEST_F(Selections, APickerNeedsTheFilterItsRowsDependOn) {
    // No branch: neither services nor groupings can be loaded.
    form->medCdFilial->clear();
    form->rbtListaServ->setChecked(true);
    form->sbtServico->click();
    EXPECT_EQ(ui.errors(), QStringList{"Filial deve ser informada."});
    EXPECT_TRUE(form->medCdFilial->hasFocus());

    // Shifts need the marked services.
    form->medCdFilial->setText("0001");
    form->rbtListaServ->setChecked(true);
    form->rbtLTurno->setChecked(true);
    form->sbtTurno->click();
    EXPECT_EQ(ui.errors().back(), "Serviço deve ser informado.");
    EXPECT_TRUE(form->rbtListaServ->hasFocus());
    EXPECT_TRUE(methodsOf("GetServico").empty());
    EXPECT_TRUE(methodsOf("GetTurno").empty());
    EXPECT_TRUE(ui.pickersShown.empty());

    // A server failure while loading: reported, no picker, the marks kept.
    markList(form->rbtListaServ, form->sbtServico, "_000100001_");
    server.on("KRV52000.rdmPedReq", "GetServico", 1,
              [](std::vector<Variant>&) -> Variant { throw rpc::MethodFailure("Serviços indisponíveis"); });
    form->sbtServico->click();
    EXPECT_EQ(ui.errors().back(), "Serviços indisponíveis");
    EXPECT_EQ(ui.pickersShown.size(), 1u);
    EXPECT_EQ(form->Filtro().chavesServico, "_000100001_");
    EXPECT_EQ(ui.busyOn, ui.busyOff);
}

}  // namespace
