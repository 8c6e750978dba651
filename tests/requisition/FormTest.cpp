// The form as other code finds it: by object name, with the captions and defaults that the
// order-generation screen, the report and the later actions rely on.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include "host/controls/DateEditPlus.h"
#include "host/controls/MaskEdit.h"
#include "host/controls/NumberEdit.h"
#include "host/controls/ToolButtons.h"
#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"

using namespace krv;
using krv::requisition::TfrmPedReq;

namespace {

class RequisitionForm : public test::ScreenFixture {};

struct Expected {
    const char* name;
    const char* className;
    const char* text;  // caption, title or hint; nullptr: not checked
    int checked;       // -1 not checkable, 0 unchecked, 1 checked
    bool enabled;
};

QString TextOf(QObject* control) {
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text().isEmpty() ? button->toolTip().section(" (", 0, 0) : button->text();  // hint, no key
    if (auto* group = qobject_cast<QGroupBox*>(control)) return group->title();
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    return {};
}

TEST_F(RequisitionForm, EveryControlIsFoundByItsNameWithItsDefault) {
    TfrmPedReq* form = createScreen();
    ASSERT_NE(form, nullptr);

    const Expected controls[] = {
        {"lblFilial", "QLabel", "Filial", -1, true},
        {"medCdFilial", "krv::host::TMaskEdit", nullptr, -1, true},
        {"btpFilial", "krv::host::TBtnPesquisa", "Pesquisar", -1, true},
        {"edtNmFilial", "QLineEdit", nullptr, -1, false},
        {"grbData", "QGroupBox", "Data", -1, true},
        {"lblDataInic", "QLabel", "de", -1, true},
        {"lblDataFina", "QLabel", "até", -1, true},
        {"depDataInic", "krv::host::TDateEditPlus", nullptr, -1, true},
        {"depDataFina", "krv::host::TDateEditPlus", nullptr, -1, true},
        {"edtDataInic", "QLineEdit", nullptr, -1, false},
        {"edtDataFina", "QLineEdit", nullptr, -1, false},
        {"grbServ", "QGroupBox", "Serviço", -1, true},
        {"rbtTodosServ", "QRadioButton", "Todos", 1, true},
        {"rbtListaServ", "QRadioButton", "Lista", 0, true},
        {"sbtServico", "krv::host::TBtnPesquisa", nullptr, -1, false},
        {"grbAgrupProd", "QGroupBox", "Agrupamento de Produto", -1, true},
        {"rbtTAgrupProd", "QRadioButton", "Todos", 1, true},
        {"rbtLAgrupProd", "QRadioButton", "Lista", 0, true},
        {"sbtAgrupProd", "krv::host::TBtnPesquisa", nullptr, -1, false},
        {"grbTurno", "QGroupBox", "Turno", -1, true},
        {"rbtTTurno", "QRadioButton", "Todos", 1, true},
        {"rbtLTurno", "QRadioButton", "Lista", 0, true},
        {"sbtTurno", "krv::host::TBtnPesquisa", nullptr, -1, false},
        {"grbOpcoesRel", "QGroupBox", "", -1, true},
        {"chbImpCard", "QCheckBox", "Imprimir Cardápio", 0, true},
        {"chbQuebraPagina", "QCheckBox", "Quebra de Página", 1, true},
        {"chbCalc", "QCheckBox", "Calcular Antes de Imprimir", 0, true},
        {"lblAcresc", "QLabel", "Acréscimo (%)", -1, true},
        {"nedAcresc", "krv::host::TNumberEdit", nullptr, -1, true},
        {"chbLinhasBranco", "QCheckBox", "Linhas em branco", 0, true},
        {"nedLinhasBranco", "krv::host::TNumberEdit", nullptr, -1, false},
        {"chbArredond", "QCheckBox", "Arredondar Quantidades", 0, true},
        {"grbTipoConsumo", "QGroupBox", "Tipo de Consumo (calcular / imprimir)", -1, true},
        {"chbMateriaPrima", "QCheckBox", "Matéria-Prima", 1, true},
        {"chbConsumoFixo", "QCheckBox", "Consumo Fixo", 1, true},
        {"chbConsumoPerCapita", "QCheckBox", "Consumo Per Capita", 1, true},
        {"grbOrdenacao", "QGroupBox", "Ordenação", -1, true},
        {"rbtOrdenaCod", "QRadioButton", "Código", 1, true},
        {"rbtOrdenaAlfab", "QRadioButton", "Alfabética por nível", 0, true},
        {"sedNiveOrde", "QSpinBox", nullptr, -1, false},
        {"sbtCalcReq", "krv::host::TButtonFlat", "Calcular Requisição", -1, true},
        {"sbtGerarPedido", "krv::host::TButtonFlat", "Gerar Pedido", -1, true},
        // The session's branch, validated at creation, is an ordinary one: no forecast.
        {"sbtCalcPrevCons", "krv::host::TButtonFlat", "Calcular Previsão de Consumo", -1, false},
    };
    for (const Expected& e : controls) {
        SCOPED_TRACE(e.name);
        auto* control = form->findChild<QWidget*>(e.name);
        ASSERT_NE(control, nullptr);
        EXPECT_STREQ(control->metaObject()->className(), e.className);
        if (e.text) {
            EXPECT_EQ(TextOf(control), QString::fromUtf8(e.text));
        }
        if (e.checked >= 0) {
            EXPECT_EQ(qobject_cast<QAbstractButton*>(control)->isChecked(), e.checked == 1);
        }
        EXPECT_EQ(control->isEnabled(), e.enabled);
    }

    // Entry rules of the edits.
    EXPECT_EQ(form->medCdFilial->EditMask(), ">aaaa;0; ");
    EXPECT_EQ(form->medCdFilial->maxLength(), 4);
    EXPECT_EQ(form->nedAcresc->Decimals(), 2);
    EXPECT_EQ(form->nedLinhasBranco->Decimals(), 0);
    EXPECT_EQ(form->depDataInic->WeekdayNames(),
              (QStringList{"Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"}));
    EXPECT_EQ(form->sedNiveOrde->findChild<QLineEdit*>()->isReadOnly(), true) << "the level moves only by its arrows";
    for (QWidget* tool : {static_cast<QWidget*>(form->sbtCalcReq), static_cast<QWidget*>(form->btpFilial)})
        EXPECT_EQ(tool->focusPolicy(), Qt::NoFocus) << "clicking a tool button leaves the focus in the field";

    // The screen's tools sit in the base screen's bar, beside the report buttons.
    for (QWidget* tool : {form->sbtCalcReq, form->sbtGerarPedido, form->sbtCalcPrevCons}) {
        EXPECT_FALSE(form->panFerramentas->isAncestorOf(tool));
        EXPECT_TRUE(tool->isVisibleTo(form));
        EXPECT_FALSE(static_cast<QAbstractButton*>(tool)->icon().isNull());
    }
}

}  // namespace
