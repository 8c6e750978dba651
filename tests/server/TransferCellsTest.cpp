// Cells and files as spreadsheets write them, read without a database.
#include <gtest/gtest.h>

#include <optional>

#include "TransferCases.h"
#include "server/transfer/Cells.h"
#include "server/transfer/FileRecords.h"
#include "support/TempDir.h"

using namespace krv;
using namespace krv::server::transfer;
namespace test = krv::server::test;

namespace {

const Column kAmount{"q", ColumnType::Amount};
const Column kCount{"n", ColumnType::Count};
const Column kDate{"d", ColumnType::Date};
const Column kCode4{"c", ColumnType::Code, 4};
const Column kProduct{"p", ColumnType::Digits, 10};
const Column kName30{"t", ColumnType::Name, 30};
const Column kFlag{"f", ColumnType::Flag};
const Column kOptionalCode{"o", ColumnType::Code, 4, false, true};
const Column kBranch{"b", ColumnType::Code, 4, false, false, 4};
const Column kService{"s", ColumnType::Code, 5, false, false, 4};
const Column kShelfLife{"v", ColumnType::Count, 3650};
const Column kCounted{"e", ColumnType::Quantity};

constexpr DecimalMark kPoint = DecimalMark::Point;

struct Cell {
    const Column* column;
    std::string text;
    Value expected;       // when read
    std::string problem;  // the start of the reason, when refused
    DecimalMark mark = DecimalMark::Comma;
};

TEST(TransferCells, EachColumnReadsItsFormsAndRefusesTheRest) {
    const std::string thirty = "Refinaria Vale do Paraíba São ";  // 30 characters, 32 bytes
    ASSERT_EQ(thirty.size(), 32u);
    const std::vector<Cell> cells = {
        {&kCount, "120", int64_t(120), ""},
        {&kCount, "1.200", int64_t(1200), ""},
        {&kCount, "1.200", {}, "número inteiro inválido", kPoint},
        {&kCount, "0.030", {}, "número inteiro inválido: \"0.030\" não pode ser lido com o ponto separando milhares"},
        {&kCount, "12,5", {}, "número inteiro inválido"},
        {&kCount, "12.5", {}, "número inteiro inválido"},
        {&kCount, "-1", {}, "número inteiro inválido"},
        {&kCount, "99999999999999999999", {}, "número inteiro inválido"},
        {&kShelfLife, "3.650", int64_t(3650), ""},
        {&kShelfLife, "3651", {}, "número acima de 3650: \"3651\""},
        {&kCounted, "0", 0.0, ""},
        {&kCounted, "4,54", 4.54, ""},
        {&kCounted, "-0,001", {}, "a quantidade não pode ser negativa: \"-0,001\""},
        {&kDate, "29/02/2028", DateTime::fromDate(2028, 2, 29), ""},
        {&kDate, "2028-02-29", DateTime::fromDate(2028, 2, 29), ""},
        {&kDate, "29/02/2027", {}, "data inexistente"},
        {&kDate, "31/02/2026", {}, "data inexistente"},
        {&kDate, "31/04/2026", {}, "data inexistente"},
        {&kDate, "2026-13-01", {}, "data inexistente"},
        // Two-digit years, as LibreOffice saves dates in Portuguese, are of this century.
        {&kDate, "14/12/26", DateTime::fromDate(2026, 12, 14), ""},
        {&kDate, " 29/02/28 ", DateTime::fromDate(2028, 2, 29), ""},
        {&kDate, "01/01/00", DateTime::fromDate(2000, 1, 1), ""},
        {&kDate, "29/02/27", {}, "data inexistente: \"29/02/27\""},
        {&kDate, "14/12/6", {}, "data em formato desconhecido"},
        {&kDate, "14/12/026", {}, "data em formato desconhecido"},
        {&kDate, "14-12-26", {}, "data em formato desconhecido"},
        {&kDate, "1/3/2026", {}, "data em formato desconhecido"},
        {&kDate, "46097", {}, "data em formato desconhecido"},
        // Ten characters with the digits in place but the wrong separators.
        {&kDate, "2026/03/15", {}, "data em formato desconhecido"},
        {&kDate, "2026-03/15", {}, "data em formato desconhecido"},
        {&kDate, "15-03-2026", {}, "data em formato desconhecido"},
        {&kCode4, "0001", std::string("0001"), ""},
        {&kCode4, "00011", {}, "código com mais de 4 caracteres"},
        {&kCode4, "00-1", {}, "código só pode ter letras e números"},
        {&kCode4, "çã", {}, "código só pode ter letras e números"},
        {&kCode4, "", {}, "valor obrigatório"},
        {&kOptionalCode, "", {}, ""},
        // Spaces a person typed around a code are no part of it.
        {&kOptionalCode, "  ", {}, ""},
        {&kCode4, "  ", {}, "valor obrigatório"},
        {&kBranch, " 1 ", std::string("0001"), ""},
        {&kProduct, " 1.01.001.0001 ", std::string("1010010001"), ""},
        {&kCode4, " 0 1", {}, "código só pode ter letras e números"},
        // Digits shorter than the width the screens complete to get its zeros; nothing else does.
        {&kBranch, "1", std::string("0001"), ""},
        {&kBranch, "101", std::string("0101"), ""},
        {&kBranch, "0101", std::string("0101"), ""},
        {&kBranch, "A1", std::string("A1"), ""},
        {&kBranch, "00101", {}, "código com mais de 4 caracteres"},
        {&kBranch, "1,0", {}, "código só pode ter letras e números"},
        {&kService, "1", std::string("0001"), ""},
        {&kService, "00001", std::string("00001"), ""},
        {&kCode4, "1", std::string("1"), ""},
        {&kProduct, "1.01.001.0001", std::string("1010010001"), ""},
        {&kProduct, "1010010001", std::string("1010010001"), ""},
        {&kProduct, "101001000", {}, "código deve ter 10 dígitos"},
        {&kProduct, "10100100011", {}, "código deve ter 10 dígitos"},
        {&kName30, thirty, thirty, ""},
        {&kName30, thirty + "x", {}, "texto com mais de 30 caracteres"},
        {&kName30, "'=CMD()", std::string("=CMD()"), ""},
        {&kName30, "'; DROP TABLE branch; --", std::string("'; DROP TABLE branch; --"), ""},
        {&kFlag, "S", std::string("S"), ""},
        {&kFlag, "s", {}, "deve ser S ou N"},
    };
    for (const Cell& cell : cells) {
        SCOPED_TRACE(cell.column->name + " \"" + cell.text + "\"");
        const CellReading read = readCell(cell.text, *cell.column, cell.mark);
        if (cell.problem.empty()) {
            EXPECT_EQ(read.problem, "");
            EXPECT_EQ(read.value, cell.expected);
            EXPECT_EQ(read.padded, cell.column->pad && cell.expected != Value(cell.text));
        } else {
            EXPECT_TRUE(read.problem.starts_with(cell.problem)) << read.problem;
        }
    }
}

struct Spelling {
    std::string text;
    std::optional<double> read;
    std::string refusal;  // the start of the reason, when refused
};

// Quantities in both kinds of file, each refusal named by file, line and column: the
// separators are read only as the file writes them, never guessed, so that "0.030" in a file
// of decimal commas is not taken for thirty.
TEST(TransferCells, NumbersReadOnlyAsTheirFileWritesThem) {
    const std::string noThousands = "não pode ser lido com o ponto separando milhares (";
    const std::string commaDecimal = ") e, em arquivo separado por \";\", a vírgula é a decimal";
    const std::string pointDecimal = ": em arquivo separado por \",\" o ponto é a decimal e nada separa milhares";
    const std::string commaForm =
        " (arquivo separado por \";\": vírgula decimal e ponto só entre milhares, como 1.234,5)";
    const std::string pointForm =
        " (arquivo separado por \",\": ponto decimal e sem separador de milhares, como 1234.5)";
    const std::vector<std::pair<char, std::vector<Spelling>>> files = {
        {';',
         {
             {"1.234,5", 1234.5, ""},
             {"2.500", 2500.0, ""},
             {"1.234.567,25", 1234567.25, ""},
             {"0,030", 0.03, ""},
             {" 3 ", 3.0, ""},
             {"999.999", 999999.0, ""},
             {"0.030",
              {},
              "número inválido: \"0.030\" " + noThousands + "nenhum milhar vem depois de um zero à esquerda" +
                  commaDecimal + "; se o ponto é decimal, escreva \"0,030\""},
             {"0.750", {}, "número inválido: \"0.750\" " + noThousands + "nenhum milhar vem depois de um zero"},
             {"00.125", {}, "número inválido: \"00.125\" " + noThousands + "nenhum milhar vem depois de um zero"},
             {"-0.500",
              {},
              "número inválido: \"-0.500\" " + noThousands + "nenhum milhar vem depois de um zero à esquerda" +
                  commaDecimal + "; se o ponto é decimal, escreva \"-0,500\""},
             {"2.5",
              {},
              "número inválido: \"2.5\" " + noThousands + "cada milhar tem 3 dígitos, não \"5\"" + commaDecimal +
                  "; se o ponto é decimal, escreva \"2,5\""},
             {"12.34", {}, "número inválido: \"12.34\" " + noThousands + "cada milhar tem 3 dígitos, não \"34\""},
             {"1.2345", {}, "número inválido: \"1.2345\" " + noThousands + "cada milhar tem 3 dígitos, não \"2345\""},
             {"1.23,5",
              {},
              "número inválido: \"1.23,5\" " + noThousands + "cada milhar tem 3 dígitos, não \"23\"" + commaDecimal},
             {"1.234.56", {}, "número inválido: \"1.234.56\" " + noThousands + "cada milhar tem 3 dígitos, não \"56\""},
             {"1234.567",
              {},
              "número inválido: \"1234.567\" " + noThousands +
                  "antes do primeiro ponto vêm de 1 a 3 dígitos, não \"1234\""},
             {"1,234.5",
              {},
              "número inválido: \"1,234.5\" " + noThousands + "o ponto de milhares não vem depois da vírgula decimal" +
                  commaDecimal},
             {".500", {}, "número inválido: \".500\"" + commaForm},
             {"1.234,", {}, "número inválido: \"1.234,\"" + commaForm},
             {"1..234", {}, "número inválido: \"1..234\"" + commaForm},
             {"2,5kg", {}, "número inválido: \"2,5kg\"" + commaForm},
             {"1,2,3", {}, "número inválido"},
             {"1e3", {}, "número inválido"},
             {std::string(400, '9'), {}, "número inválido"},
             {"0", {}, "a quantidade deve ser maior que zero"},
             {"-0,5", {}, "a quantidade deve ser maior que zero"},
         }},
        {',',
         {
             {"2.5", 2.5, ""},
             {"0.030", 0.03, ""},
             {"2500", 2500.0, ""},
             {"1,234.5",
              {},
              "número inválido: \"1,234.5\" não pode ser lido com vírgula, nem decimal nem de milhares" + pointDecimal},
             {"2,5",
              {},
              "número inválido: \"2,5\" não pode ser lido com vírgula, nem decimal nem de milhares" + pointDecimal +
                  "; se a vírgula é decimal, escreva \"2.5\""},
             {"1.234,5",
              {},
              "número inválido: \"1.234,5\" não pode ser lido com vírgula, nem decimal nem de milhares" + pointDecimal},
             {"1.234.567",
              {},
              "número inválido: \"1.234.567\" não pode ser lido com o ponto separando milhares" + pointDecimal},
             {"2.", {}, "número inválido: \"2.\"" + pointForm},
             {"2,5kg", {}, "número inválido: \"2,5kg\"" + pointForm},
             {"-1.5", {}, "a quantidade deve ser maior que zero"},
         }},
    };
    for (const auto& [separator, spellings] : files) {
        const std::string s(1, separator);
        std::string text = "cdprato" + s + "cdproduto" + s + "qtpercapita\n";
        for (size_t i = 0; i < spellings.size(); ++i)
            text += "0001" + s + std::to_string(1010010000 + i) + s + "\"" + spellings[i].text + "\"\n";
        krv::support::TempDir dir;
        test::writeText(dir.path() / "receitas.csv", text);
        Problems problems;
        const Folder folder = readFolder(dir.path(), problems);
        const std::vector<std::string> lines = problems.lines();
        const std::vector<Record>& records = folder.files.at(0).records;
        size_t nextProblem = 0, nextRecord = 0;
        for (size_t i = 0; i < spellings.size(); ++i) {
            const Spelling& spelling = spellings[i];
            SCOPED_TRACE(s + " \"" + spelling.text + "\"");
            if (spelling.read) {
                ASSERT_LT(nextRecord, records.size());
                EXPECT_EQ(records[nextRecord++][2], Value(*spelling.read));
            } else {
                ASSERT_LT(nextProblem, lines.size());
                const std::string where = "receitas.csv:" + std::to_string(i + 2) + ": qtpercapita: ";
                EXPECT_TRUE(lines[nextProblem++].starts_with(where + spelling.refusal)) << lines[nextProblem - 1];
            }
        }
        EXPECT_EQ(nextProblem, lines.size());
        EXPECT_EQ(nextRecord, records.size());
    }
}

// What the export writes is what the import reads, also for texts a spreadsheet would run
// as formulas and for numbers with every digit.
TEST(TransferCells, WrittenCellsReadBackTheSameValue) {
    const std::vector<std::pair<Value, const Column*>> values = {
        {std::string("=CMD()"), &kName30},
        {std::string("'=já guardado"), &kName30},
        {std::string("'apóstrofo"), &kName30},
        {std::string("-5 graus"), &kName30},
        {std::string("@menção"), &kName30},
        {std::string("'"), &kName30},
        {0.1 + 0.2, &kAmount},
        {1e-7, &kAmount},
        {123456789.123, &kAmount},
        {DateTime::fromDate(2028, 2, 29), &kDate},
    };
    for (const auto& [value, column] : values) {
        const std::string cell = writeCell(value);
        SCOPED_TRACE(cell);
        EXPECT_EQ(readCell(cell, *column, DecimalMark::Comma).value, value);
    }
    EXPECT_EQ(writeCell(std::string("=CMD()")), "'=CMD()") << "a spreadsheet must not run it";
}

// The same branches as a spreadsheet saves them in each of its ways.
TEST(TransferCells, EncodingsSeparatorsAndDateFormsReadTheSame) {
    const std::string utf8 =
        "cdfilial;nmfilial;ol;cdfiliopelog;dtproc\r\n"
        "0001;Metalúrgica São João;N;0007;15/03/2026\r\n"
        "0002;\"Hospital; ala \"\"B\"\"\nanexo\";N;0007;16/03/2026\r\n"
        "\r\n"
        "0007;CD Logístico – “Norte”;S;;17/03/2026\r\n"
        ";;;;\r\n";
    std::string latin1;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto b = uint8_t(utf8[i]);
        if (b == 0xC3)
            latin1 += char(0x40 + uint8_t(utf8[++i]));  // Latin-1 letters U+00C0…U+00FF
        else if (utf8.compare(i, 3, "–") == 0)
            latin1 += char(0x96), i += 2;  // Windows-1252
        else if (utf8.compare(i, 3, "“") == 0)
            latin1 += char(0x93), i += 2;
        else if (utf8.compare(i, 3, "”") == 0)
            latin1 += char(0x94), i += 2;
        else
            latin1 += utf8[i];
    }
    const std::string comma =
        "cdfilial,nmfilial,ol,cdfiliopelog,dtproc\n"
        "0001,Metalúrgica São João,N,0007,2026-03-15\n"
        "0002,\"Hospital; ala \"\"B\"\"\nanexo\",N,0007,2026-03-16\n"
        "0007,CD Logístico – “Norte”,S,,2026-03-17\n";
    const std::vector<std::pair<std::string, std::string>> forms = {
        {"BOM", "\xEF\xBB\xBF" + utf8}, {"Latin-1", latin1}, {"comma and ISO dates", comma}};

    krv::support::TempDir plain;
    test::writeText(plain.path() / "filiais.csv", utf8);
    server::transfer::Problems none;
    const auto expected = readFolder(plain.path(), none).files;
    ASSERT_TRUE(none.empty()) << none.lines().front();
    ASSERT_EQ(expected.at(0).records.size(), 3u);
    EXPECT_EQ(expected[0].records[1][1], Value(std::string("Hospital; ala \"B\"\nanexo")));
    EXPECT_EQ(expected[0].lines, (std::vector<size_t>{2, 3, 6}))
        << "a record's line is where it starts, empty lines counted";
    for (const auto& [name, text] : forms) {
        SCOPED_TRACE(name);
        krv::support::TempDir dir;
        test::writeText(dir.path() / "filiais.csv", text);
        server::transfer::Problems problems;
        const auto read = readFolder(dir.path(), problems).files;
        ASSERT_TRUE(problems.empty()) << problems.lines().front();
        EXPECT_EQ(read.at(0).records, expected[0].records);
    }
}

struct RecordCase {
    std::string name;
    std::string text;
    std::string problem;  // the first line, or empty when read
    Record last;          // the last record read
};

// A product file from before products had a shelf life reads them with 0 (what the import
// keeps stored ones at is the import's business); a file with the heading must give every
// line its cell. A count may be of today, never of tomorrow.
TEST(TransferFolder, HeadingsThatMayBeLeftOutAndDaysNotAfterToday) {
    const DateTime today = DateTime::fromDate(2026, 12, 14);
    const std::string products = "cdproduto;nmproduto;sgunidade;cdgrupprod;cdsubgrprod;qtembalagem";
    const std::string counts = "cdfilial;cdproduto;dtcontagem;qtestoque\n";
    const Record milk{std::string("1030010001"),
                      std::string("Leite"),
                      std::string("L"),
                      std::string("01"),
                      std::string("0103"),
                      12.0,
                      int64_t(0)};
    Record milkFor5 = milk;
    milkFor5[6] = int64_t(5);
    const std::vector<RecordCase> cases = {
        {"produtos.csv", products + "\n1030010001;Leite;L;01;0103;12\n", "", milk},
        {"produtos.csv", products + ";nrdiasvalidade\n1030010001;Leite;L;01;0103;12;5\n", "", milkFor5},
        {"produtos.csv",
         products + ";nrdiasvalidade\n1030010001;Leite;L;01;0103;12\n",
         "produtos.csv:2: 6 campos, esperados 7",
         {}},
        {"produtos.csv", products + "\n1030010001;Leite;L;01;0103;12;5\n", "produtos.csv:2: 7 campos, esperados 6", {}},
        {"produtos.csv",
         "cdproduto;nmproduto;sgunidade;cdgrupprod;cdsubgrprod;nrdiasvalidade\n",
         "produtos.csv:1: qtembalagem: coluna ausente",
         {}},
        {"estoque.csv",
         counts + "0001;1030010001;14/12/2026;0\n",
         "",
         {std::string("0001"), std::string("1030010001"), today, 0.0}},
        {"estoque.csv",
         counts + "0001;1030010001;15/12/2026;1\n",
         "estoque.csv:2: dtcontagem: data posterior a hoje (14/12/2026): \"15/12/2026\"",
         {}},
        {"estoque.csv", "cdfilial;cdproduto;dtcontagem\n", "estoque.csv:1: qtestoque: coluna ausente", {}},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.text);
        krv::support::TempDir dir;
        test::writeText(dir.path() / c.name, c.text);
        Problems problems;
        const Folder folder = readFolder(dir.path(), problems, {false, {}, today});
        if (c.problem.empty()) {
            ASSERT_TRUE(problems.empty()) << problems.lines().front();
            ASSERT_FALSE(folder.files.at(0).records.empty());
            EXPECT_EQ(folder.files[0].records.back(), c.last);
        } else {
            ASSERT_FALSE(problems.empty());
            EXPECT_TRUE(problems.lines().front().starts_with(c.problem)) << problems.lines().front();
        }
    }
}

}  // namespace

namespace {

struct FolderCase {
    std::vector<std::string> entries;  // a name ending in "/" is a subfolder
    bool ignoreOthers;
    std::string problem;  // the first line, or empty
    std::string read;     // the files read, in the order of writing
    std::string ignored;
};

// A kind's header line for a kind's file name in any case; some text for any other name.
std::string headerOf(const std::string& name) {
    std::string lower = name;
    for (char& c : lower) c = char(std::tolower(uint8_t(c)));
    std::string header;
    for (const RecordKind& kind : recordKinds())
        if (kind.file == lower)
            for (const Column& column : kind.columns) header += (header.empty() ? "" : ";") + column.name;
    return header.empty() ? "qualquer coisa\n" : header + "\n";
}

// Nothing in the folder is passed over in silence: a kind's file in any case is read,
// anything else is refused by name unless it is to be ignored, and then listed.
TEST(TransferFolder, EveryEntryIsReadRefusedOrListedAsIgnored) {
    const std::string ignore = "; --ignorar-outros o deixa de lado";
    const std::vector<FolderCase> cases = {
        {{"RECEITAS.CSV", "Filiais.Csv"}, false, "", "Filiais.Csv RECEITAS.CSV", ""},
        {{"receitas.txt"},
         false,
         "receitas.txt: arquivo desconhecido (os nomes aceitos são os que a exportação grava): seria receitas.csv?" +
             ignore,
         "",
         ""},
        {{"filial.csv"},
         false,
         "filial.csv: arquivo desconhecido (os nomes aceitos são os que a exportação grava)" + ignore,
         "",
         ""},
        {{"sub/"}, false, "sub: subpasta (só os arquivos da própria pasta são lidos)" + ignore, "", ""},
        {{"receitas.csv", "RECEITAS.csv"},
         false,
         "receitas.csv: outro arquivo de receitas.csv além de RECEITAS.csv; deixe só um na pasta",
         "RECEITAS.csv",
         ""},
        {{".~lock.receitas.csv#", "receitas.csv"},
         false,
         ".~lock.receitas.csv#: a planilha ainda tem o arquivo aberto; salve-o e feche-o antes de importar" + ignore,
         "receitas.csv",
         ""},
        {{"receitas.txt", "sub/", "filiais.csv"}, true, "", "filiais.csv", "receitas.txt sub/"},
        {{"LEIAME.txt", "filiais.csv"}, false, "", "filiais.csv", "LEIAME.txt"},
        {{"sub/"}, true, "nenhum arquivo para importar", "", "sub/"},
    };
    for (const FolderCase& c : cases) {
        std::string names;
        for (const std::string& entry : c.entries) names += entry + " ";
        SCOPED_TRACE(names + (c.ignoreOthers ? "--ignorar-outros" : ""));
        krv::support::TempDir dir;
        for (const std::string& entry : c.entries)
            if (entry.ends_with("/"))
                std::filesystem::create_directory(dir.path() / entry);
            else
                test::writeText(dir.path() / entry, headerOf(entry));
        Problems problems;
        const Folder folder = readFolder(dir.path(), problems, {c.ignoreOthers, {}});
        const std::vector<std::string> lines = problems.lines();
        if (c.problem.empty()) {
            EXPECT_TRUE(problems.empty()) << lines.front();
        } else {
            ASSERT_FALSE(problems.empty());
            EXPECT_NE(lines.front().find(c.problem), std::string::npos) << lines.front();
        }
        std::string read, ignored;
        for (const FileRecords& file : folder.files) read += (read.empty() ? "" : " ") + file.name;
        for (const std::string& name : folder.ignored) ignored += (ignored.empty() ? "" : " ") + name;
        EXPECT_EQ(read, c.read);
        EXPECT_EQ(ignored, c.ignored);
    }
}

}  // namespace
