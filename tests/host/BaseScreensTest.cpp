#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTemporaryDir>
#include <QToolButton>

#include "core/Errors.h"
#include "host/screens/FrmDadosGerRel.h"
#include "host/screens/FrmRotiGeral.h"
#include "host/session/Application.h"
#include "support/ScriptedHostUi.h"

using namespace krv;
using namespace krv::host;

namespace {

// A report screen that records what the base screen asks of it.
class ReportScreen : public TfrmDadosGerRel {
public:
    using TfrmDadosGerRel::TfrmDadosGerRel;
    void FormCreate() override {
        TfrmDadosGerRel::FormCreate();
        ++created;
        if (failCreate) throw EServerError("Filial não cadastrada");
        lblCodTela->setText("KRV52000");
        lblCodRel->setText("KRV520");
    }
    void FormClose(QObject* Sender, int& Action) override {
        closeSenders.push_back(Sender);
        if (failClose) throw EServerError("Lista não apagada");
        if (closeAction >= 0) Action = closeAction;
        TfrmDadosGerRel::FormClose(Sender, Action);
    }
    inline static bool failCreate = false;
    int created = 0;
    bool failClose = false;
    int closeAction = -1;  // -1: keep the base screen's default
    std::vector<QObject*> closeSenders;
};

class RoutineScreen : public TfrmRotiGeral {
public:
    using TfrmRotiGeral::TfrmRotiGeral;
    void FormCreate() override {
        TfrmRotiGeral::FormCreate();
        lblCodTela->setText("KRV52010");
    }
    void FormClose(QObject* Sender, int& Action) override {
        ++closes;
        if (closeAction >= 0) Action = closeAction;
        TfrmRotiGeral::FormClose(Sender, Action);
    }
    void sbtConfirmaClick(QObject* Sender) override {
        confirmSender = Sender;
        throw EAbort();  // ends silently, like a failed validation
    }
    int closes = 0;
    int closeAction = -1;
    QObject* confirmSender = nullptr;
};

void render(QWidget& screen, const QString& name) {
    QDir().mkpath(KRV_SCREENS_DIR);
    screen.resize(screen.sizeHint().expandedTo(QSize(640, 360)));
    EXPECT_TRUE(screen.grab().save(QString(KRV_SCREENS_DIR) + "/" + name + ".png"));
}

void deliverDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// A main window with its MDI area registered as the application's, for one test.
struct MdiFixture : ::testing::Test {
    test::ScriptedHostUi ui;
    QMainWindow main;
    QMdiArea* area = new QMdiArea;
    void SetUp() override {
        main.setCentralWidget(area);
        Application.SetMainForm(&main, area);
    }
    void TearDown() override {
        Application.SetMainForm(nullptr, nullptr);
        ReportScreen::failCreate = false;
    }
};

}  // namespace

TEST_F(MdiFixture, ReportScreenIsCreatedAsAnMdiChildWithItsControlsAndMessages) {
    ReportScreen* screen = nullptr;
    Application.CreateForm(screen);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->created, 1);
    QMdiSubWindow* frame = SubWindowOf(screen);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->mdiArea(), area);
    EXPECT_TRUE(screen->isVisibleTo(&main));

    const std::pair<const char*, const char*> buttons[] = {{"sbtPrint", "Imprimir"},
                                                           {"sbtPreview", "Visualizar"},
                                                           {"sbtSalvarComo", "Salvar Como"},
                                                           {"sbtConfigImpr", "Configurar Impressora"},
                                                           {"sbtReportEdit", "Editar Relatório"}};
    for (const auto& [name, hint] : buttons) {
        auto* button = screen->findChild<QToolButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->toolTip().section(" (", 0, 0), QString::fromUtf8(hint)) << "then its key";
        EXPECT_FALSE(button->icon().isNull()) << name;
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus) << name;
    }
    EXPECT_EQ(screen->findChild<QLabel*>("lblCodTela")->text(), "KRV52000");
    EXPECT_EQ(screen->findChild<QLabel*>("lblCodRel")->text(), "KRV520");

    EXPECT_EQ(screen->msgPadrao.Msg("NovoCaption"), QString::fromUtf8("Título do relatório"));
    EXPECT_EQ(screen->msgPadrao.Msg("NovoPrompt"), QString::fromUtf8("Informe o título do relatório:"));
    EXPECT_EQ(screen->msgPadrao.Msg("VD_TRAD"), QString::fromUtf8("Validando tradução de relatórios"));
    EXPECT_EQ(screen->msgPadrao.Msg("Arq_Rel_Err"),
              QString::fromUtf8("O arquivo contendo a definição do relatório de código '%s' não foi encontrado "
                                "no diretório '%s'."));

    // A derived screen's own tool button and form, looked at outside the MDI frame.
    ReportScreen look;
    look.FormCreate();
    auto* own = new QToolButton;
    own->setObjectName("sbtCalcReq");
    own->setText("Calcular");
    look.AddToolButton(own);
    EXPECT_EQ(look.findChild<QToolButton*>("sbtCalcReq"), own);
    auto* content = new QLabel(QString::fromUtf8("Conteúdo da tela"), look.ContentArea());
    content->setObjectName("lblConteudo");
    EXPECT_EQ(look.findChild<QLabel*>("lblConteudo"), content);
    render(look, "TfrmDadosGerRel");
}

TEST_F(MdiFixture, ClosingHidesKeepsCancelsOrFreesTheReportScreenAsItsHandlerDecides) {
    ReportScreen* screen = nullptr;
    Application.CreateForm(screen);
    QPointer<ReportScreen> alive = screen;
    QMdiSubWindow* frame = SubWindowOf(screen);

    // Default: hidden, and the object survives to be shown again.
    EXPECT_TRUE(frame->close());
    deliverDeferredDeletes();
    ASSERT_TRUE(alive);
    EXPECT_EQ(screen->closeSenders, std::vector<QObject*>{screen});
    EXPECT_FALSE(frame->isVisibleTo(&main));
    frame->showMinimized();
    ShowNormal(screen);
    EXPECT_TRUE(frame->isVisibleTo(&main));
    EXPECT_FALSE(frame->isMinimized());
    EXPECT_TRUE(screen->isVisibleTo(&main));

    // caNone keeps it open.
    screen->closeAction = caNone;
    EXPECT_FALSE(screen->close());
    EXPECT_TRUE(screen->isVisibleTo(&main));

    // A failing handler stops the close and shows its error once.
    screen->closeAction = -1;
    screen->failClose = true;
    EXPECT_FALSE(frame->close());
    EXPECT_TRUE(frame->isVisibleTo(&main));
    EXPECT_EQ(ui.errors(), QStringList{"Lista não apagada"});

    // caFree deletes the screen and its frame.
    screen->failClose = false;
    screen->closeAction = caFree;
    QPointer<QMdiSubWindow> frameAlive = frame;
    EXPECT_TRUE(screen->close());
    deliverDeferredDeletes();
    EXPECT_FALSE(alive);
    EXPECT_FALSE(frameAlive);
    EXPECT_TRUE(area->subWindowList().isEmpty());
}

TEST_F(MdiFixture, AFailingCreationLeavesNoScreenBehind) {
    ReportScreen::failCreate = true;
    ReportScreen* screen = reinterpret_cast<ReportScreen*>(&main);  // must be reset
    EXPECT_THROW(Application.CreateForm(screen), EServerError);
    EXPECT_EQ(screen, nullptr);
    EXPECT_TRUE(area->subWindowList().isEmpty());
}

TEST_F(MdiFixture, ReportButtonsReportAMissingOrInvalidDefinitionBeforeAnythingElse) {
    QTemporaryDir reports;
    ASSERT_TRUE(reports.isValid());
    TReportDesigner::SetReportsDir(reports.path());
    ReportScreen* screen = nullptr;
    Application.CreateForm(screen);
    int raised = 0;
    screen->rpddPadrao.BeforeGetQueryParams = [&](TParams&, bool&) { ++raised; };
    const auto clickAll = [&] {
        for (QToolButton* button : {screen->sbtPrint, screen->sbtPreview, screen->sbtSalvarComo, screen->sbtConfigImpr,
                                    screen->sbtReportEdit})
            button->click();
    };

    // No definition: the table's message with the code and the folder, for every action.
    clickAll();
    const QString missing = QString::fromUtf8(
                                "O arquivo contendo a definição do relatório de código 'KRV520' não "
                                "foi encontrado no diretório '%1'.")
                                .arg(QDir::toNativeSeparators(reports.path()));
    EXPECT_EQ(ui.errors(), QStringList(5, missing));

    // A definition that is no valid definition names its file and its fault.
    const QString path = reports.filePath("KRV520.json");
    const std::pair<const char*, const char*> invalid[] = {
        {R"({"title": "R", "params": "P_CDFILIAL", "columns": [{"field": "A", "label": "A", "width": 1}]})",
         "params deve ser uma lista de textos"},
        {R"({"title": "R", "columns": []})", "columns deve ser uma lista não vazia"},
        {R"({"title": "R", "columns": [{"field": "A", "label": "A", "width": 0}]})",
         "columns[0].width deve ser um número maior que zero"},
        {R"({"title": "R", "columns": [{"field": "A", "label": "A", "width": 1}],
             "groups": [{"name": "g", "fields": ["A"], "header": "h", "footer": {"label": "T", "sum": ["B"]}}]})",
         "groups[0].footer.sum: B não é o campo de uma coluna"},
        {R"({"title": "R", "params": ["P_Q"], "columns": [{"field": "A", "label": "A", "width": 1}],
             "pageBreak": {"when": {"param": "P_Q", "equals": "S"}, "beforeGroup": "turno"}})",
         "pageBreak.beforeGroup: grupo turno não existe"},
        {R"({"title": "R", "params": ["P_R"], "columns": [{"field": "A", "label": "A", "width": 1}],
             "summary": {"when": {"param": "P_R", "equals": "S"}, "title": "S", "key": "A",
                         "columns": [{"field": "A", "label": "A", "width": 1, "sum": true}]}})",
         "summary.columns[0].sum exige format numérico"},
        {R"({"title": "R", "params": ["P_R"], "columns": [{"field": "A", "label": "A", "width": 1}],
             "summary": {"when": {"param": "P_R", "equals": "S"}, "title": "S", "key": "A",
                         "columns": [{"field": "Q", "label": "Q", "width": 1, "format": "0"},
                                     {"field": "E", "label": "E", "width": 1, "packagesOf": "Q"}]}})",
         "summary.columns[1].packagesOf: Q não é uma coluna somada"},
        {R"({"title": "R", )", "(posição"},
    };
    for (const auto& [text, fault] : invalid) {
        ui.messages.clear();
        QFile definition(path);
        ASSERT_TRUE(definition.open(QIODevice::WriteOnly | QIODevice::Truncate));
        definition.write(text);
        definition.close();
        screen->sbtPreview->click();
        ASSERT_EQ(ui.errors().size(), 1) << fault;
        const QString shown = ui.errors()[0];
        EXPECT_TRUE(shown.startsWith(QString::fromUtf8("Definição de relatório inválida em '%1': ").arg(path)))
            << shown.toStdString();
        EXPECT_TRUE(shown.contains(QString::fromUtf8(fault))) << shown.toStdString();
    }
    EXPECT_EQ(raised, 0) << "no parameter is built from a definition that cannot be used";
    EXPECT_TRUE(ui.allAnswersUsed());
    TReportDesigner::SetReportsDir({});
}

TEST_F(MdiFixture, RoutineScreenIsAModalDialogWithMenuConfirmAndCloseHandling) {
    RoutineScreen* screen = nullptr;
    Application.CreateForm(screen);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(SubWindowOf(screen), nullptr);
    EXPECT_EQ(screen->parentWidget(), &main);
    EXPECT_EQ(screen->lblCodTela->text(), "KRV52010");
    for (const char* name : {"lblCodTela", "grbDadosRel", "panMenu", "panBotoes", "sbtConfirma"})
        EXPECT_NE(screen->findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(screen->sbtConfirma->parentWidget(), screen->panBotoes);
    auto* search = new QToolButton;
    search->setObjectName("sbtProcurar");
    screen->AddMenuButton(search);
    EXPECT_EQ(search->parentWidget(), screen->panMenu);

    screen->sbtConfirma->click();
    EXPECT_EQ(screen->confirmSender, screen->sbtConfirma);
    EXPECT_TRUE(ui.messages.empty());  // EAbort ends silently

    screen->show();
    screen->closeAction = caNone;
    screen->reject();
    EXPECT_TRUE(screen->isVisible());
    EXPECT_EQ(screen->closes, 1);

    screen->closeAction = -1;
    EXPECT_TRUE(screen->close());
    EXPECT_FALSE(screen->isVisible());
    EXPECT_EQ(screen->closes, 2);
    EXPECT_EQ(screen->result(), QDialog::Rejected);

    screen->show();
    screen->closeAction = caFree;
    QPointer<RoutineScreen> alive = screen;
    screen->accept();
    EXPECT_EQ(screen->result(), QDialog::Accepted);
    deliverDeferredDeletes();
    EXPECT_FALSE(alive);

    RoutineScreen look;
    look.FormCreate();
    render(look, "TfrmRotiGeral");
}

TEST(Application, ScreenCursorShowsAndRestoresTheHourglassOnce) {
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    Screen::SetCursor(crHourGlass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Screen::SetCursor(crHourGlass);
    EXPECT_EQ(Screen::Cursor(), crHourGlass);
    Screen::SetCursor(crDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Screen::Cursor(), crDefault);
}
