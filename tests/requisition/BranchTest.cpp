// Typing a branch code and leaving the field: one lookup, the name shown, the right messages.
#include <QTest>

#include "host/screens/EventHelpers.h"
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

}  // namespace
