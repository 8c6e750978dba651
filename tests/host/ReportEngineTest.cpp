// The report engine on the requisition report's own definition: how blocks fall on pages,
// what a PDF shows when read back, and the CSV a spreadsheet opens.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "host/report/ReportEngine.h"
#include "support/ReportSamples.h"

using namespace krv;
using namespace krv::host;

namespace {

struct Options {
    int blankLines = 0;
    bool pageBreak = false;
    bool menu = false;
};

TParams paramsFor(const Options& o) {
    TParams params;
    params.Add("P_CDFILIAL").SetAsString("0001");
    params.Add("P_DATAINI").SetAsVariant(DateTime::fromDate(2026, 3, 16));
    params.Add("P_DATAFIN").SetAsVariant(DateTime::fromDate(2026, 3, 31));
    params.Add("P_IDIMPRIMECARD").SetAsString(o.menu ? "S" : "N");
    params.Add("P_IDQUEBRAPAGINA").SetAsString(o.pageBreak ? "S" : "N");
    params.Add("P_NRLINHABRANCA").SetAsInteger(o.blankLines);
    return params;
}

class ReportEngine : public ::testing::Test {
protected:
    ReportDocument layout(int blocks, int items, const Options& o = {}) {
        TParams params = paramsFor(o);
        return LayoutReport(definition, params, test::RequisitionReportRows(blocks, items),
                            DefaultPageLayout(definition), {QDateTime(QDate(2026, 3, 15), QTime(10, 30)), "ADMIN"});
    }
    static std::vector<ReportLine::Kind> kinds(const std::vector<ReportLine>& page) {
        std::vector<ReportLine::Kind> out;
        for (const ReportLine& line : page) out.push_back(line.kind);
        return out;
    }

    ReportDefinition definition = ReportDefinition::Load(QString(KRV_REPORTS_DIR) + "/KRV520.json");
};

TEST_F(ReportEngine, BlocksCloseWithTheirTotalAndBlankLinesAndBreakPagesOnRequest) {
    using K = ReportLine;
    // Two blocks of two items on one day and service: the second block opens only its shift.
    const ReportDocument two = layout(2, 2, {2, false, false});
    ASSERT_EQ(two.pages.size(), 1u);
    EXPECT_EQ(kinds(two.pages[0]), (std::vector<K::Kind>{K::GroupHeader, K::GroupHeader, K::GroupHeader, K::Detail,
                                                         K::Detail, K::Total, K::Blank, K::Blank, K::GroupHeader,
                                                         K::Detail, K::Detail, K::Total, K::Blank, K::Blank}));
    EXPECT_EQ(two.pages[0][5].cells, (QStringList{"", "", "", "3,000", "0,000", "1,000", "4,000"}));
    EXPECT_EQ(two.pages[0][2].text, QString::fromUtf8("Turno: 1 - Manhã   Comensais: 100"));

    // With the page break every shift block has a page, and no page starts with blank lines.
    const ReportDocument broken = layout(5, 2, {3, true, false});
    ASSERT_EQ(broken.pages.size(), 5u);
    for (const auto& page : broken.pages) {
        EXPECT_EQ(page.front().kind, K::GroupHeader);
        const auto pageKinds = kinds(page);
        EXPECT_EQ(std::count(pageKinds.begin(), pageKinds.end(), K::Total), 1);
    }
    EXPECT_EQ(kinds(layout(1, 1, {0, false, false}).pages[0]).back(), K::Total) << "no blank line when none asked";
}

TEST_F(ReportEngine, LongBlocksRunOverPagesWithoutSplittingOrOrphaningAHeader) {
    const ReportDocument document = layout(3, 150);
    ASSERT_GT(document.pages.size(), 5u);
    size_t details = 0, capacity = 0;
    for (const auto& page : document.pages) capacity = std::max(capacity, page.size());
    for (const auto& page : document.pages) {
        for (const ReportLine& line : page) details += line.kind == ReportLine::Detail;
        // A header is never the last line of a page: its block's first line goes with it.
        EXPECT_NE(page.back().kind, ReportLine::GroupHeader);
        EXPECT_LE(page.size(), capacity);
    }
    EXPECT_EQ(details, 450u);
}

TEST_F(ReportEngine, PdfReadsBackWithHeaderTotalsMenuAccentsAndPageCount) {
    QTemporaryDir dir;
    const QString path = dir.filePath("krv520.pdf");
    TParams params = paramsFor({0, true, true});
    const ReportDocument document = layout(3, 2, {0, true, true});
    WriteReportPdf(document, DefaultPageLayout(definition), path);
    const QString text = test::PdfText(path);
    const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
    ASSERT_EQ(pages.size(), 3);
    for (const char* expected :
         {"Requisição de Produtos", "Página 1 de 3", "Filial: 0001 - Cozinha Central",
          "Período: 16/03/2026 a 31/03/2026", "Emitido em 15/03/2026 10:30", "Dia: 16/03/2026 (Segunda)",
          "Serviço: 00001 - Desjejum", "Cardápio: Arroz, Feijão", "1.01.000.0000", "Açúcar cristal", "Total do turno",
          "Emitido por ADMIN - página 1 de 3"})
        EXPECT_TRUE(pages[0].contains(QString::fromUtf8(expected))) << expected << "\n" << pages[0].toStdString();
    EXPECT_TRUE(pages[2].contains(QString::fromUtf8("Página 3 de 3")));
    EXPECT_TRUE(pages[1].contains(QString::fromUtf8("Turno: 2 - Tarde")));
    EXPECT_FALSE(pages[1].contains(QString::fromUtf8("Cardápio"))) << "only the first block has a menu";

    EXPECT_THROW(WriteReportPdf(document, DefaultPageLayout(definition), dir.filePath("no/such/dir/x.pdf")),
                 std::runtime_error);
}

TEST_F(ReportEngine, CsvIsForBrazilianSpreadsheets) {
    DataPacket rows = test::RequisitionReportRows(2, 1);
    rows.rows[1][11] = Variant("Queijo \"minas\"; fresco");
    TParams params = paramsFor({});
    const QByteArray csv = ReportCsv(definition, params, rows);
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(QString::fromUtf8(csv.mid(3)).split("\r\n"),
              (QStringList{
                  QString::fromUtf8("Dia;Serviço;Turno;Código;Produto;Un.;Matéria-Prima;Consumo Fixo;Per Capita;Total"),
                  QString::fromUtf8(
                      "16/03/2026;00001 - Desjejum;1 - Manhã;1.01.000.0000;Açúcar cristal;kg;1,000;0,000;0,500;1,500"),
                  QString::fromUtf8("16/03/2026;00001 - Desjejum;2 - Tarde;1.01.001.0000;\"Queijo \"\"minas\"\"; "
                                    "fresco\";kg;1,000;0,000;0,500;1,500"),
                  ""}));
}

}  // namespace
