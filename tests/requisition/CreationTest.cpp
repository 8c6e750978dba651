// What the screen looks like right after its creation: branch, period, ordering bound.
#include <QMdiSubWindow>

#include "core/Errors.h"
#include "host/events/EventHelpers.h"
#include "host/screens/ReportDesigner.h"
#include "host/session/Application.h"
#include "host/session/DBPicture.h"
#include "host/session/Session.h"
#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"

using namespace krv;
using krv::requisition::TfrmPedReq;

namespace {

class ScreenCreation : public test::ScreenFixture {};

TEST_F(ScreenCreation, StartsOnTheSessionBranchAndProcessingDate) {
    processingDate = DateTime::fromDate(2026, 12, 5);  // a Saturday
    TfrmPedReq* form = createScreen();
    ASSERT_NE(form, nullptr);

    EXPECT_TRUE(form->netPedReq.Connected());
    EXPECT_EQ(form->medCdFilial->text(), "0001");
    EXPECT_EQ(form->edtNmFilial->text(), "Cozinha Central");
    EXPECT_TRUE(form->Filtro().boFilialValidada);
    EXPECT_EQ(*form->depDataInic->Date(), processingDate);
    EXPECT_EQ(*form->depDataFina->Date(), processingDate);
    EXPECT_EQ(form->edtDataInic->text(), "Sábado");
    EXPECT_EQ(form->edtDataFina->text(), "Sábado");
    EXPECT_EQ(form->lblCodTela->text(), "KRV52000");
    EXPECT_EQ(form->lblCodRel->text(), "KRV520");
    EXPECT_EQ(form->msgPadrao.Msg("DATAINI>DATAFIN"), "Data inicial deve ser menor ou igual a data final.");
    EXPECT_EQ(form->msgPadrao.Msg("CALCULO_PREV_SUCESSO"), "Cálculo da previsão de consumo concluído com sucesso.");
    // The role's access, once per session, decides which buttons the new screen offers.
    EXPECT_EQ(server.methods(), (std::vector<std::string>{"GetAcesso", "GetFilial", "DataProc", "DBPictObj"}));
    EXPECT_TRUE(ui.messages.empty());

    // The weekday follows each date as it is typed, and is cleared while no date is valid.
    form->depDataFina->setText("08/12/2026");
    EXPECT_EQ(form->edtDataFina->text(), "Terça");
    form->depDataFina->setText("31/02/2026");
    EXPECT_EQ(form->edtDataFina->text(), "");
    form->depDataInic->clear();
    EXPECT_EQ(form->edtDataInic->text(), "");
    EXPECT_EQ(form->edtDataFina->text(), "") << "each date keeps its own weekday";

    showAndActivate();
    host::SubWindowOf(form)->resize(form->sizeHint() + QSize(16, 40));
    form->depDataFina->SetDate(processingDate.addDays(2));
    form->depDataInic->SetDate(processingDate);
    renderPng(form, "TfrmPedReq");
}

TEST_F(ScreenCreation, OrderingLevelIsBoundByTheProductCodePicture) {
    const std::pair<std::string, int> cases[] = {{"", 0}, {"9", 1}, {"9.99", 0}, {"9.9.99.999.9.99.9", 5}};
    for (const auto& [pictureText, bound] : cases) {
        picture = pictureText;
        host::InvalidateDBPictures();
        TfrmPedReq* form = createScreen();
        ASSERT_NE(form, nullptr) << pictureText;
        EXPECT_EQ(form->sedNiveOrde->maximum(), bound) << "picture '" << pictureText << "'";
        EXPECT_EQ(form->sedNiveOrde->minimum(), 0);
        EXPECT_EQ(form->sedNiveOrde->value(), 0);
        EXPECT_FALSE(form->sedNiveOrde->isEnabled());
    }
}

TEST_F(ScreenCreation, UnknownSessionBranchStillOpensWithThePeriod) {
    host::SetSession({"0077", "ADMIN", "127.0.0.1", int(server.port()), ""});
    TfrmPedReq* form = createScreen();
    ASSERT_NE(form, nullptr);

    EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"0077"});
    EXPECT_EQ(form->medCdFilial->text(), "0077");
    EXPECT_EQ(form->edtNmFilial->text(), "");
    EXPECT_FALSE(form->Filtro().boFilialValidada);
    EXPECT_EQ(*form->depDataInic->Date(), processingDate);
    EXPECT_EQ(*form->depDataFina->Date(), processingDate);
    EXPECT_EQ(form->edtDataInic->text(), "Segunda");
    EXPECT_EQ(form->edtDataFina->text(), "Segunda");
    EXPECT_TRUE(ui.messages.empty()) << "nothing is shown before the screen is";
    for (QWidget* tool : {form->sbtCalcReq, form->sbtGerarPedido, form->sbtCalcPrevCons})
        EXPECT_TRUE(tool->isEnabled()) << "no branch validated yet: the form's own state";

    // The branch is looked up again by the first action that needs it.
    showAndActivate();
    server.clearCalls();
    EXPECT_FALSE(host::Guard([&] { form->ValidaFiltroRelatorio(); }));
    EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"0077"});
    EXPECT_EQ(ui.errors(), QStringList{"Filial informada não cadastrada"});
}

TEST_F(ScreenCreation, ServerUnreachableAtCreationFailsTheCreation) {
    server.stop();
    EXPECT_THROW(createScreen(), ENetError);
    EXPECT_TRUE(mdiArea->subWindowList().isEmpty());
}

TEST_F(ScreenCreation, ReportDefinitionNamesTheQueryParameters) {
    host::TReportDesigner::SetReportsDir(KRV_REPORTS_DIR);
    TfrmPedReq* form = createScreen();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->rpddPadrao.ReportCode, "KRV520");
    ASSERT_TRUE(form->rpddPadrao.LoadDefinition());
    EXPECT_EQ(form->rpddPadrao.Title(), "Requisição de Produtos");
    EXPECT_EQ(
        form->rpddPadrao.ParamNames(),
        (QStringList{"P_CDFILIAL", "P_DATAINI", "P_DATAFIN", "P_NRLISTASERV", "P_NRLISTATURNO", "P_TAMNIV", "P_ORDENA",
                     "P_IDIMPRIMECARD", "P_IDQUEBRAPAGINA", "P_NRLINHABRANCA", "P_LISTAGRUPPROD", "P_IDRESUMO"}));
}

}  // namespace
