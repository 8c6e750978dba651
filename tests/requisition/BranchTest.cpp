// Typing a branch code and leaving the field: one lookup, the name shown, the right messages.
#include <QAbstractButton>
#include <QApplication>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <initializer_list>
#include <QTest>

#include "host/events/EventHelpers.h"
#include "host/session/Application.h"
#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"

using namespace krv;
using krv::requisition::TfrmPedReq;

namespace {

class BranchValidation : public test::ShownScreen {
protected:
    // Replaces the code as a user would: select all, type the new text.
    void typeCode(const QString& code) {
        form->medCdFilial->setFocus(Qt::OtherFocusReason);
        form->medCdFilial->selectAll();
        if (code.isEmpty())
            QTest::keyClick(form->medCdFilial, Qt::Key_Delete);
        else
            QTest::keyClicks(form->medCdFilial, code);
    }
    void leaveCode() { leave(form->medCdFilial, form->depDataInic); }
};

TEST_F(BranchValidation, LeavingTheFieldLooksTheCodeUpOnce) {
    typeCode("2");
    EXPECT_EQ(form->edtNmFilial->text(), "") << "a change forgets the old name";
    EXPECT_FALSE(form->Filtro().boFilialValidada);
    leaveCode();
    EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"0002"}) << "the code is adjusted before the lookup";
    EXPECT_EQ(form->medCdFilial->text(), "0002");
    EXPECT_EQ(form->edtNmFilial->text(), "Restaurante Norte");
    EXPECT_TRUE(form->Filtro().boFilialValidada);

    // Entering and leaving again without a change asks nothing more.
    form->medCdFilial->setFocus(Qt::TabFocusReason);
    leaveCode();
    EXPECT_EQ(getFilialArgs().size(), 1u);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(BranchValidation, ChangingTheCodePutsServicesAndGroupingsBackToAll) {
    form->rbtLAgrupProd->setChecked(true);
    form->rbtLTurno->setChecked(true);
    typeCode("0002");
    EXPECT_TRUE(form->rbtTAgrupProd->isChecked());
    EXPECT_TRUE(form->rbtLTurno->isChecked()) << "with services already on Todos the shift choice survives";

    form->rbtListaServ->setChecked(true);
    typeCode("0001");
    EXPECT_TRUE(form->rbtTodosServ->isChecked());
    EXPECT_TRUE(form->rbtTTurno->isChecked()) << "shifts follow services";
}

TEST_F(BranchValidation, UnknownCodeIsReportedAlsoWhenTheFieldIsMerelyLeft) {
    typeCode("9999");
    leaveCode();
    EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"9999"});
    EXPECT_EQ(ui.errors(), QStringList{"Filial informada não cadastrada"});
    EXPECT_FALSE(form->Filtro().boFilialValidada);
    EXPECT_EQ(form->edtNmFilial->text(), "");
    EXPECT_TRUE(form->medCdFilial->hasFocus()) << "the focus goes back to the code";

    // A lookup that fails keeps the code not validated: the next check asks again.
    leaveCode();
    EXPECT_EQ(getFilialArgs().size(), 2u);
    EXPECT_EQ(ui.errors().size(), 2);
}

TEST_F(BranchValidation, EmptyCodeIsAnErrorOnlyWhenAnActionNeedsTheBranch) {
    typeCode("");
    EXPECT_EQ(form->medCdFilial->text(), "");
    leaveCode();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(server.calls().empty());

    form->depDataFina->setFocus(Qt::OtherFocusReason);
    EXPECT_FALSE(host::Guard([&] { form->ValidaFiltroRelatorio(); }));
    EXPECT_EQ(ui.errors(), QStringList{"Filial deve ser informada."});
    EXPECT_TRUE(form->medCdFilial->hasFocus());
    EXPECT_TRUE(server.calls().empty());
}

TEST_F(BranchValidation, ServerFailureLeavesTheBranchNotValidatedAndTheBusyAnimationOff) {
    server.on("KRV52000.rdmPedReq", "GetFilial", 1,
              [](std::vector<Variant>&) -> Variant { throw rpc::MethodFailure("Banco de dados indisponível"); });
    typeCode("0002");
    leaveCode();
    EXPECT_EQ(ui.errors(), QStringList{"Banco de dados indisponível"});
    EXPECT_FALSE(form->Filtro().boFilialValidada);
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(ui.busyOn, ui.busyOff);
}

// A code that no branch can have is refused as unknown without asking the server: "T"
// would bring every branch back, and a character outside the server's code rule a
// message about the code's form instead of the screen's.
TEST_F(BranchValidation, ACodeNoBranchCanHaveIsUnknownWithoutALookup) {
    branches["0000"] = {"Central de Compras", "S"};  // the first of all branches is an operator
    struct Case {
        QString text;
        bool typed;  // else set by code, as the session's branch is
    };
    for (const Case& c :
         {Case{"t", true}, Case{"T", false}, Case{"AÇ", false}, Case{"0-1", false}, Case{"0 1", false}}) {
        SCOPED_TRACE(c.text.toStdString());
        server.clearCalls();
        ui.messages.clear();
        if (c.typed) {
            typeCode(c.text);
        } else {
            form->medCdFilial->setFocus(Qt::OtherFocusReason);
            form->medCdFilial->setText(c.text);
        }
        leaveCode();
        EXPECT_TRUE(getFilialArgs().empty());
        EXPECT_EQ(ui.errors(), QStringList{"Filial informada não cadastrada"});
        EXPECT_EQ(form->edtNmFilial->text(), "");
        EXPECT_FALSE(form->Filtro().boFilialValidada);
        EXPECT_TRUE(form->sbtCalcReq->isEnabled()) << "the mode stays the last validated branch's";
        EXPECT_TRUE(form->medCdFilial->hasFocus());
    }
}

// The tool and picker buttons take no focus: pressing one leaves the code field focused and
// unchecked until the click's own focus guard checks it, once.
TEST_F(BranchValidation, AClickOnAButtonChecksATypedCodeOnce) {
    typeCode("9999");
    QTest::mouseClick(form->btpFilial, Qt::LeftButton);
    EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"9999"});
    EXPECT_EQ(ui.errors(), QStringList{"Filial informada não cadastrada"});
    EXPECT_TRUE(ui.pickersShown.empty());
    EXPECT_TRUE(form->medCdFilial->hasFocus());
}

// The guard finds a logistic operator and switches the screen before the clicked action
// runs: that action no longer applies, and the user is told why.
TEST_F(BranchValidation, AnActionClickedRightAfterTypingALogisticOperatorSaysItTakesAForecast) {
    const std::vector<QAbstractButton*> actions{form->sbtCalcReq, form->sbtGerarPedido, form->sbtPreview};
    for (QAbstractButton* action : actions) {
        SCOPED_TRACE(action->objectName().toStdString());
        typeCode("0002");
        leaveCode();
        server.clearCalls();
        ui.messages.clear();
        typeCode("0009");
        QTest::mouseClick(action, Qt::LeftButton);
        EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"0009"});
        EXPECT_EQ(ui.errors(), QStringList{"Filial informada é um operador logístico: calcule a previsão de consumo."});
        EXPECT_EQ(server.methods(), (std::vector<std::string>{"GetFilial", "ExistePrevisaoConsumo"}))
            << "the lookup and whether its forecast exists; nothing of the action ran";
        EXPECT_TRUE(form->sbtCalcPrevCons->isEnabled());
        EXPECT_TRUE(form->medCdFilial->hasFocus());
    }
}

// The greyed controls of a logistic operator's branch say why on the screen; the status line
// of the branch before goes as soon as the branch changes.
TEST_F(BranchValidation, TheLogisticOperatorModeSaysWhyAndTheStatusLineClears) {
    ui.showStatus("Cálculo concluído: 2.077 requisições e 31.450 itens gravados.");
    typeCode("0009");
    EXPECT_EQ(ui.statuses.back(), "");
    leaveCode();
    EXPECT_TRUE(form->lblModoOL->isVisible());
    EXPECT_EQ(form->lblModoOL->text(), "Filial operador logístico: só a previsão de consumo");
    typeCode("0001");
    leaveCode();
    EXPECT_FALSE(form->lblModoOL->isVisible());
}

// A maximised screen keeps its fields at their working width.
TEST_F(BranchValidation, FieldsKeepTheirWidthWhenMaximised) {
    host::SubWindowOf(form)->showMaximized();
    mainWindow->resize(1366, 768);
    QApplication::processEvents();
    for (const QWidget* field : std::initializer_list<const QWidget*>{
             form->medCdFilial, form->edtNmFilial, form->depDataInic, form->depDataFina, form->edtDataInic})
        EXPECT_LE(field->width(), 360) << field->objectName().toStdString();
    renderPng(mainWindow.get(), "TfrmPedReq-maximizada");
}

TEST_F(BranchValidation, TheBranchPickerOpensOnTheBranchInTheField) {
    typeCode("0009");
    leaveCode();
    ui.cancelPick();
    QTest::mouseClick(form->btpFilial, Qt::LeftButton);
    ASSERT_EQ(ui.pickersShown.size(), 1u);
    EXPECT_EQ(ui.pickersShown[0].startRow, 2);
}

}  // namespace
