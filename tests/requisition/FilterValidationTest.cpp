// The full validation of the filter, the checks the buttons run before their work, the
// branch picker and the option controls' own rules.
#include <QTest>

#include "host/events/EventHelpers.h"
#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"

using namespace krv;
using krv::requisition::TfrmPedReq;

namespace {

class FilterValidation : public test::ShownScreen {
protected:
    bool validate() {
        return host::Guard([&] { form->ValidaFiltroRelatorio(); });
    }
};

TEST_F(FilterValidation, OnlyTheFirstFaultIsReported) {
    struct Fault {
        const char* message;
        QWidget* focus;
    };
    const Fault faults[] = {
        {"Filial deve ser informada.", form->medCdFilial},
        {"Data inicial deve ser informada.", form->depDataInic},
        {"Data final deve ser informada.", form->depDataFina},
        {"Data inicial deve ser menor ou igual a data final.", form->depDataInic},
        {"Serviço deve ser informado.", form->rbtListaServ},
        {"Agrupamento de produto deve ser informado.", form->rbtLAgrupProd},
        {"Turno deve ser informado.", form->rbtLTurno},
        {"Selecione uma opção do tipo de consumo.", form->chbMateriaPrima},
    };
    const int count = int(std::size(faults));
    const DateTime day = processingDate;
    // Sets up every fault from `first` on; the earlier ones are mended.
    auto withFaultsFrom = [&](int first) {
        form->medCdFilial->setText(first <= 0 ? "" : "0001");
        form->depDataInic->setText("");
        form->depDataFina->setText("");
        if (first > 1) form->depDataInic->SetDate(day);
        if (first > 2) form->depDataFina->SetDate(first > 3 ? day : day.addDays(-1));  // equal dates pass
        if (first <= 4)
            form->rbtListaServ->setChecked(true);
        else
            markList(form->rbtListaServ, form->sbtServico, "_000100001_");
        if (first <= 5)
            form->rbtLAgrupProd->setChecked(true);
        else
            markList(form->rbtLAgrupProd, form->sbtAgrupProd, "_01        001_");
        if (first <= 6)
            form->rbtLTurno->setChecked(true);
        else
            markList(form->rbtLTurno, form->sbtTurno, "_0001000011_");
        for (QCheckBox* type : {form->chbMateriaPrima, form->chbConsumoFixo, form->chbConsumoPerCapita})
            type->setChecked(first > 7 && type == form->chbConsumoPerCapita);
        form->nedAcresc->setFocus();
    };
    for (int first = 0; first <= count; ++first) {
        SCOPED_TRACE(first);
        withFaultsFrom(first);
        ui.messages.clear();
        server.clearCalls();
        const bool valid = validate();
        if (first == count) {
            EXPECT_TRUE(valid);
            EXPECT_TRUE(ui.messages.empty());
            EXPECT_TRUE(server.calls().empty()) << "a validated branch is not looked up again";
            break;
        }
        EXPECT_FALSE(valid);
        EXPECT_EQ(ui.errors(), QStringList{QString::fromUtf8(faults[first].message)});
        EXPECT_TRUE(faults[first].focus->hasFocus());
    }
}

TEST_F(FilterValidation, AButtonChecksTheFieldBeingTypedFirst) {
    // A code typed and a picker clicked at once: looked up once, before the picker's work.
    form->medCdFilial->setFocus();
    form->medCdFilial->selectAll();
    QTest::keyClicks(form->medCdFilial, "2");
    form->rbtLAgrupProd->setChecked(true);
    ui.answerList("_01        001_");
    form->sbtAgrupProd->click();
    EXPECT_EQ(server.methods(), (std::vector<std::string>{"GetFilial", "GetAgrupProd"}));
    EXPECT_EQ(server.calls()[1].args[0].asString(), "0002");
    EXPECT_EQ(form->edtNmFilial->text(), "Restaurante Norte");

    // A date being typed is checked before the other one, and before the branch.
    server.clearCalls();
    form->depDataInic->setText("30/02/2026");
    form->depDataFina->setText("31/02/2026");
    form->depDataFina->setFocus();
    form->btpFilial->click();
    EXPECT_TRUE(ui.errors().back().contains("31/02/2026")) << ui.errors().back().toStdString();
    EXPECT_TRUE(server.calls().empty());
    EXPECT_EQ(ui.pickersShown.size(), 1u) << "only the groupings' picker";
    form->depDataInic->SetDate(processingDate);
    form->depDataFina->SetDate(processingDate);

    // An unknown code stops the branch picker before it loads anything.
    server.clearCalls();
    form->medCdFilial->setFocus();
    form->medCdFilial->selectAll();
    QTest::keyClicks(form->medCdFilial, "9999");
    form->btpFilial->click();
    EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"9999"});
    EXPECT_EQ(ui.errors().back(), "Filial informada não cadastrada");
    EXPECT_EQ(ui.errors().size(), 2);
}

TEST_F(FilterValidation, TheBranchPickerSetsAValidatedBranch) {
    ui.cancelPick();
    form->btpFilial->click();
    EXPECT_EQ(form->medCdFilial->text(), "0001") << "a cancel changes nothing";
    EXPECT_TRUE(form->Filtro().boFilialValidada);

    form->medCdFilial->setFocus();
    ui.answerPick(1);
    form->btpFilial->click();
    EXPECT_EQ(ui.pickersShown.back().title, "Filial");
    EXPECT_EQ(form->medCdFilial->text(), "0002");
    EXPECT_EQ(form->edtNmFilial->text(), "Restaurante Norte");
    EXPECT_TRUE(form->Filtro().boFilialValidada);
    leave(form->medCdFilial, form->nedAcresc);
    EXPECT_EQ(getFilialArgs(), (std::vector<std::string>{"T", "T"})) << "the chosen branch is not looked up";

    branches.clear();
    form->btpFilial->click();
    EXPECT_EQ(ui.errors(), QStringList{"Não há filial cadastrada."});
    EXPECT_TRUE(form->medCdFilial->hasFocus());
    EXPECT_TRUE(ui.allAnswersUsed());
}

TEST_F(FilterValidation, NumberEditsRefuseSignsExponentsAndAFourthDigit) {
    form->chbLinhasBranco->setChecked(true);
    struct Case {
        host::TNumberEdit* edit;
        const char* before;
        int selectFrom, selectLength;  // selectLength 0: the caret at the end
        const char* typed;
        const char* after;
    };
    const Case cases[] = {
        {form->nedAcresc, "", 0, 0, "-E5e", "5"},         {form->nedAcresc, "1234", 0, 0, "5", "12345"},
        {form->nedLinhasBranco, "", 0, 0, "-e1E", "1"},   {form->nedLinhasBranco, "12", 0, 0, "3", "123"},
        {form->nedLinhasBranco, "123", 0, 0, "4", "123"}, {form->nedLinhasBranco, "123", 0, 2, "4", "43"},
        {form->nedLinhasBranco, "123", 2, 1, "-", "123"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " + " + c.typed);
        c.edit->setFocus();
        c.edit->setText(c.before);
        if (c.selectLength) c.edit->setSelection(c.selectFrom, c.selectLength);
        QTest::keyClicks(c.edit, c.typed);
        EXPECT_EQ(c.edit->text(), c.after);
    }
}

}  // namespace
