// The report engine on the requisition report's own definition: how blocks fall on pages,
// what a PDF shows when read back, and the CSV a spreadsheet opens.
#include <gtest/gtest.h>

#include <QDir>
#include <QFontMetricsF>
#include <QTemporaryDir>
#include <tuple>

#include "host/models/Convert.h"
#include "host/report/ReportEngine.h"
#include "support/ReportSamples.h"

using namespace krv;
using namespace krv::host;

namespace {

struct Options {
    int blankLines = 0;
    bool pageBreak = false;
    bool menu = false;
    bool summary = false;
};

TParams paramsFor(const Options& o) {
    TParams params;
    params.Add("P_CDFILIAL").SetAsString("0001");
    params.Add("P_DATAINI").SetAsVariant(DateTime::fromDate(2026, 3, 16));
    params.Add("P_DATAFIN").SetAsVariant(DateTime::fromDate(2026, 3, 31));
    params.Add("P_IDIMPRIMECARD").SetAsString(o.menu ? "S" : "N");
    params.Add("P_IDQUEBRAPAGINA").SetAsString(o.pageBreak ? "S" : "N");
    params.Add("P_NRLINHABRANCA").SetAsInteger(o.blankLines);
    params.Add("P_IDRESUMO").SetAsString(o.summary ? "S" : "N");
    return params;
}

class ReportEngine : public ::testing::Test {
protected:
    ReportDocument layout(int blocks, int items, const Options& o = {}) {
        return layout(test::RequisitionReportRows(blocks, items), o);
    }
    ReportDocument layout(const DataPacket& rows, const Options& o = {}) {
        TParams params = paramsFor(o);
        return LayoutReport(definition, params, rows, DefaultPageLayout(definition),
                            {QDateTime(QDate(2026, 3, 15), QTime(10, 30)), "ADMIN"});
    }
    // Page `page` of the document drawn under the build's screens folder, for a look.
    void savePage(const ReportDocument& document, int page, const char* png) {
        QTemporaryDir dir;
        WriteReportPdf(document, DefaultPageLayout(definition), dir.filePath("r.pdf"));
        EXPECT_TRUE(test::SavePdfPage(dir.filePath("r.pdf"), page, QDir(KRV_SCREENS_DIR).filePath(png)));
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
    EXPECT_EQ(two.pages[0][5].cells, (QStringList{"", "", "kg", "3,000", "0,000", "1,000", "4,000"}));
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
    const ReportDocument document = layout(3, 3, {0, true, true});
    WriteReportPdf(document, DefaultPageLayout(definition), path);
    const QString text = test::PdfText(path);
    const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
    ASSERT_EQ(pages.size(), 3);
    for (const char* expected :
         {"Requisição de Produtos", "Página 1 de 3", "Filial: 0001 - Cozinha Central",
          "Período: 16/03/2026 a 31/03/2026", "Emitido em 15/03/2026 10:30", "Dia: 16/03/2026 (Segunda)",
          "Serviço: 00001 - Desjejum", "Cardápio: Arroz, Feijão", "1.01.000.0000", "Açúcar cristal", "Total do turno",
          "Emitido por ADMIN - página 1 de 3",
          // As typed, not as one ligature glyph a search or a copy cannot find; titles whole.
          "Sal refinado", "Flocos de milho", "Matéria-Prima", "Consumo Fixo"})
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
    EXPECT_EQ(
        QString::fromUtf8(csv.mid(3)).split("\r\n"),
        (QStringList{
            QString::fromUtf8("Dia;Serviço;Turno;Código;Produto;Un.;Matéria-Prima;Consumo Fixo;Per Capita;Total"),
            QString::fromUtf8("16/03/2026;00001 - Desjejum;1 - Manhã;1.01.000.0000;Açúcar cristal;kg;1;0;0,5;1,5"),
            QString::fromUtf8("16/03/2026;00001 - Desjejum;2 - Tarde;1.01.001.0000;\"Queijo \"\"minas\"\"; "
                              "fresco\";kg;1;0;0,5;1,5"),
            ""}));
}

TEST_F(ReportEngine, CsvKeepsEveryStoredDigitInBrazilianForm) {
    // Five days of 0,3174 L are the 1,587 L ordered; rounded to the printed three decimals
    // they added up to 1,585 in the spreadsheet.
    DataPacket rows = test::RequisitionReportRows(7, 1);
    for (size_t i = 0; i < 5; ++i) rows.rows[i][16] = Variant(0.3174);
    const struct {
        Variant value;
        const char* cell;
    } cases[] = {{0.1 + 0.2, "0,30000000000000004"},
                 {13.0, "13"},
                 {1e-7, "0,0000001"},
                 {1234567.125, "1234567,125"},
                 {-0.0005, "-0,0005"},
                 {int64_t(42), "42"},
                 {Variant(), ""}};
    for (size_t i = 0; i < std::size(cases); ++i) rows.rows[i][13] = cases[i].value;
    rows.rows[4][11] = Variant("=1+1");  // a name a spreadsheet would run as a formula

    TParams params = paramsFor({});
    const QStringList lines = QString::fromUtf8(ReportCsv(definition, params, rows).mid(3)).split("\r\n");
    double total = 0;
    for (qsizetype i = 1; i <= 5; ++i) total += lines[i].section(';', 9, 9).replace(',', '.').toDouble();
    EXPECT_EQ(total, 0.3174 + 0.3174 + 0.3174 + 0.3174 + 0.3174) << "the sum of the stored values, to the last bit";
    EXPECT_EQ(lines[1].section(';', 9, 9), "0,3174");
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(lines[qsizetype(i) + 1].section(';', 6, 6), cases[i].cell) << i;
    EXPECT_EQ(lines[5].section(';', 4, 4), "'=1+1");
}

TEST_F(ReportEngine, EveryColumnTitleFitsItsColumn) {
    QFont bold;
    bold.setPixelSize(8);
    bold.setBold(true);
    const QFontMetricsF metrics(bold);
    // A column whose share of the line is too small for its title takes the room it needs
    // from the others; the line stays as wide as the page.
    ReportDefinition narrow = definition;
    narrow.columns[3].width = 1;
    narrow.columns[6].label = QString::fromUtf8("Total em quantidade requisitada");
    for (const ReportDefinition* d : {&definition, &narrow}) {
        TParams params = paramsFor({});
        const ReportDocument document =
            LayoutReport(*d, params, test::RequisitionReportRows(1, 1), DefaultPageLayout(*d), {});
        ASSERT_EQ(document.tables.size(), 2u);
        for (const ReportTable& table : document.tables) {
            EXPECT_NEAR(table.edges.back(), document.pageSize.width(), 0.01);
            for (size_t c = 0; c < table.columns.size(); ++c)
                EXPECT_LE(metrics.horizontalAdvance(table.columns[c].label) + 4, table.edges[c + 1] - table.edges[c])
                    << table.columns[c].label.toStdString();
        }
    }
}

TEST_F(ReportEngine, EveryPageOpensWithTheDayServiceAndShiftItContinues) {
    // Page breaks before each shift (the third block is a later service of the same day), and
    // long blocks that run over pages.
    for (const auto& [blocks, items, pageBreak] : {std::tuple{5, 2, true}, std::tuple{6, 70, false}}) {
        const ReportDocument document = layout(blocks, items, {0, pageBreak, false});
        ASSERT_GE(document.pages.size(), 5u);
        savePage(document, 3, pageBreak ? "KRV520-quebra-pagina.png" : "KRV520-continuacao.png");
        QStringList open;  // the block headers met so far, outermost first
        for (size_t p = 0; p < document.pages.size(); ++p) {
            const auto& page = document.pages[p];
            SCOPED_TRACE(testing::Message() << "page " << p + 1 << " of " << blocks << " blocks");
            ASSERT_GE(page.size(), 4u);
            for (int level = 0; level < 3; ++level) {
                EXPECT_EQ(page[size_t(level)].kind, ReportLine::GroupHeader);
                EXPECT_EQ(page[size_t(level)].level, level);
                QString text = page[size_t(level)].text;
                if (text.endsWith(QString::fromUtf8(" (continuação)"))) {
                    text.chop(QString::fromUtf8(" (continuação)").size());
                    EXPECT_EQ(text, open.value(level)) << "a continued header names the block it continues";
                }
            }
            for (const ReportLine& line : page)
                if (line.kind == ReportLine::GroupHeader && !line.text.endsWith(QString::fromUtf8("(continuação)"))) {
                    open.resize(line.level);
                    open << line.text;
                }
        }
    }
}

TEST_F(ReportEngine, TotalsAddUpOnlyQuantitiesOfOneUnit) {
    // The first shift holds kilos, units and litres; the second only litres.
    DataPacket rows = test::RequisitionReportRows(2, 3);
    const char* units[] = {"KG", "UN", "KG", "L", "L", "L"};
    for (size_t i = 0; i < rows.rows.size(); ++i) rows.rows[i][12] = Variant(units[i]);
    std::vector<QStringList> totals;
    const ReportDocument document = layout(rows);
    savePage(document, 1, "KRV520-totais.png");
    for (const auto& page : document.pages)
        for (const ReportLine& line : page)
            if (line.kind == ReportLine::Total) totals.push_back(line.cells);
    EXPECT_EQ(totals, (std::vector<QStringList>{{"", "", "KG", "4,000", "0,000", "1,000", "5,000"},
                                                {"", "", "UN", "2,000", "0,000", "0,500", "2,500"},
                                                {"", "", "L", "6,000", "0,000", "1,500", "7,500"}}));
}

TEST_F(ReportEngine, AnEmptyReportPrintsNoPlaceholder) {
    DataPacket empty = test::RequisitionReportRows(0, 0);
    // A place no parameter, field or page value fills is a fault of the definition, and shows.
    ReportDefinition misspelt = definition;
    misspelt.header[0] = "Filial: {P_CDFILIAL} - {NMFILAIL}";
    const struct {
        const ReportDefinition* definition;
        DataPacket rows;
        const char* header;
    } cases[] = {{&definition, empty, "Filial: 0001"},
                 {&definition, test::RequisitionReportRows(1, 1), "Filial: 0001 - Cozinha Central"},
                 {&misspelt, empty, "Filial: 0001 - {NMFILAIL}"}};
    for (const auto& c : cases) {
        TParams params = paramsFor({0, true, true, true});
        const ReportDocument document = LayoutReport(*c.definition, params, c.rows, DefaultPageLayout(*c.definition),
                                                     {QDateTime(QDate(2026, 3, 15), QTime(10, 30)), "ADMIN"});
        EXPECT_EQ(document.header.value(0), QString::fromUtf8(c.header));
        EXPECT_EQ(document.header.value(1), QString::fromUtf8("Período: 16/03/2026 a 31/03/2026"));
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("vazio.pdf");
    WriteReportPdf(layout(empty, {0, true, true, true}), DefaultPageLayout(definition), path);
    const QString text = test::PdfText(path);
    EXPECT_TRUE(text.contains(QString::fromUtf8("Nenhum registro encontrado para o filtro informado.")))
        << text.toStdString();
    EXPECT_FALSE(text.contains('{')) << text.toStdString();
    EXPECT_EQ(text.count('\f'), 1) << "no summary of nothing";
}

TEST_F(ReportEngine, ClosingSummaryGivesEachProductsTotalAndWholePackagesOnlyWhenAsked) {
    // Four shifts of the same five products, each line's total and package size set so that
    // the period's total is a whole number of packages, one hair past it through floating
    // point, and one past it for real.
    DataPacket rows = test::RequisitionReportRows(4, 5);
    const struct { double total, package; } products[] = {{1.5, 50}, {2.5, 2}, {2.6, 2}, {1.05, 0.3}, {1, 0}};
    for (size_t i = 0; i < rows.rows.size(); ++i) {
        Row& row = rows.rows[i];
        const size_t product = i % 5;
        row[10] = Variant(QString("1.01.001.%1").arg(product, 4, 10, QChar('0')).toStdString());
        row[16] = Variant(products[product].total);
        row[17] = products[product].package > 0 ? Variant(products[product].package) : Variant();
    }
    const ReportDocument plain = layout(rows);
    const ReportDocument summed = layout(rows, {0, false, false, true});
    ASSERT_EQ(summed.pages.size(), plain.pages.size() + 1) << "the summary starts a page of its own";
    const std::vector<ReportLine>& last = summed.pages.back();
    ASSERT_EQ(last.size(), 6u);
    EXPECT_EQ(last[0].text, QString::fromUtf8("Resumo por produto no período"));
    std::vector<QStringList> lines;
    for (size_t i = 1; i < last.size(); ++i) {
        EXPECT_EQ(last[i].table, 1);
        lines.push_back(last[i].cells);
    }
    EXPECT_EQ(lines, (std::vector<QStringList>{
                         {"1.01.001.0000", QString::fromUtf8("Açúcar cristal"), "kg", "6,000", "50,000", "1"},
                         {"1.01.001.0001", "Sal refinado", "kg", "10,000", "2,000", "5"},
                         {"1.01.001.0002", "Flocos de milho", "kg", "10,400", "2,000", "6"},
                         {"1.01.001.0003", "Produto 3", "kg", "4,200", "0,300", "14"},
                         {"1.01.001.0004", "Produto 4", "kg", "4,000", "", ""}}));

    QTemporaryDir dir;
    const QString path = dir.filePath("resumo.pdf");
    WriteReportPdf(summed, DefaultPageLayout(definition), path);
    const QString lastPage = test::PdfText(path).split('\f', Qt::SkipEmptyParts).last();
    for (const char* expected : {"Resumo por produto no período", "Embalagens", "Flocos de milho"})
        EXPECT_TRUE(lastPage.contains(QString::fromUtf8(expected))) << expected << "\n" << lastPage.toStdString();
    EXPECT_FALSE(lastPage.contains(QString::fromUtf8("Matéria-Prima"))) << "the summary's own column titles";
    savePage(summed, int(summed.pages.size()), "KRV520-resumo.png");
}

}  // namespace

// The order document with every name as long as its field allows, in wide letters: the
// headers wrap or shorten, so no word of any page, at any page width, passes the right margin,
// and the operator's name is not cut.
TEST(OrderDocument, NoTextPassesTheMarginWithTheLongestNamesAtEveryPageWidth) {
    const ReportDefinition definition = ReportDefinition::Load(QString(KRV_REPORTS_DIR) + "/KRV521.json");
    DataPacket rows = test::OrderDocumentFields();
    const QString operador(30, 'W');
    const QString nome = QString(14, 'W') + " " + QString(15, 'W');  // 30, as a name has spaces
    for (int i = 0; i < 90; ++i)  // one order over two pages: its headers are repeated
        rows.rows.push_back({int64_t(99999999), "9999", ToStd(nome), "9999", ToStd(nome), "99999",
                             ToStd(QString(19, 'W') + " " + QString(20, 'W')), "9", ToStd(QString(10, 'W')),
                             DateTime::fromDate(2026, 12, 31), ToStd(operador), "31/12/2026 23:59",
                             ToStd(QString(20, '9')), ToStd(QString(60, 'W')), "WWWW", 999999.999, 999999.999,
                             int64_t(999999)});
    struct Page {
        const char* name;
        QPageSize::PageSizeId size;
        QPageLayout::Orientation orientation;
    };
    for (const Page& p :
         {Page{"A4", QPageSize::A4, QPageLayout::Portrait}, Page{"A4 paisagem", QPageSize::A4, QPageLayout::Landscape},
          Page{"A5", QPageSize::A5, QPageLayout::Portrait}}) {
        SCOPED_TRACE(p.name);
        const QPageLayout page(QPageSize(p.size), p.orientation, QMarginsF(28, 28, 28, 28), QPageLayout::Point);
        TParams params;
        params.Add("P_CDFILIAL").SetAsString("T");
        params.Add("P_DATAINI").SetAsVariant(DateTime::fromDate(2026, 12, 1));
        params.Add("P_DATAFIN").SetAsVariant(DateTime::fromDate(2026, 12, 31));
        params.Add("P_PEDIDOS").SetAsString("T");
        params.Add("P_IDQUEBRAPAGINA").SetAsString("N");
        const ReportDocument document =
            LayoutReport(definition, params, rows, page, {QDateTime(QDate(2026, 12, 31), QTime(23, 59)), "ADMIN"});
        ASSERT_GE(document.pages.size(), 2u);
        QTemporaryDir dir;
        WriteReportPdf(document, page, dir.filePath("pedido.pdf"));
        const std::vector<test::PdfWord> words = test::PdfWords(dir.filePath("pedido.pdf"));
        ASSERT_GT(words.size(), 100u);
        bool named = false;
        for (const test::PdfWord& w : words) {
            EXPECT_LE(w.xMax, w.pageWidth - 28 + 0.5) << "page " << w.page << ": " << w.text.toStdString();
            named = named || w.text == operador;
        }
        EXPECT_TRUE(named) << "the operator's name, whole, on some line of its own";
    }
}
