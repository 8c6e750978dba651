// Import of a company's files: what it refuses, what it counts, what it writes and what it
// removes, on the demo company.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <map>
#include <thread>

#include "ServerTestSupport.h"
#include "TransferCases.h"
#include "server/stores/Schema.h"
#include "server/transfer/Export.h"
#include "server/transfer/Import.h"

using namespace krv;
using namespace krv::server::test;
namespace fs = std::filesystem;
namespace transfer = krv::server::transfer;
namespace db = krv::server::db;

namespace {

// The demo company and its export, to be edited before importing it back.
struct Exported {
    explicit Exported(Engine engine) : server(engine, true) { transfer::exportFolder(server.sql(), dir.path()); }

    fs::path file(const std::string& name) const { return dir.path() / name; }
    transfer::ImportResult import(bool simulate = false, bool removeMissing = false) const {
        return transfer::importFolder(server.sql(), dir.path(), {simulate, removeMissing});
    }
    // Only these files stay in the folder.
    void keepOnly(const std::set<std::string>& names) const {
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (!names.count(entry.path().filename().string())) fs::remove(entry.path());
    }

    TestServer server;
    TempDir dir;
};

struct BadFile {
    std::string name;
    std::string text;
    std::string problem;  // one of the lines printed
};

const std::string kBranches = "cdfilial;nmfilial;ol;cdfiliopelog;dtproc\n";
const std::string kServices = "cdfilial;cdservfili;nmservico\n";
const std::string kProducts = "cdproduto;nmproduto;sgunidade;cdgrupprod;cdsubgrprod;qtembalagem;nrdiasvalidade\n";
const std::string kCounts = "cdfilial;cdproduto;dtcontagem;qtestoque\n";
const std::string kSemicolonNumbers =
    " (arquivo separado por \";\": vírgula decimal e ponto só entre milhares, como 1.234,5)";
// Demo products: milk, and beef nothing else uses.
const std::string kMilk = "1030010001", kBeef = "1010010001";

TEST(TransferImport, BadFilesWriteNothingAndSayWhereAndWhy) {
    const std::vector<BadFile> cases = {
        {"filiais.csv", "codigo;nome\n0008;Nova\n", "filiais.csv:1: codigo: coluna desconhecida"},
        {"filiais.csv", "cdfilial;nmfilial;ol;cdfiliopelog\n0008;Nova;N;0007\n",
         "filiais.csv:1: dtproc: coluna ausente"},
        {"filiais.csv", "cdfilial;nmfilial;ol;cdfiliopelog;dtproc;cor\n0008;Nova;N;0007;15/03/2026;azul\n",
         "filiais.csv:1: cor: coluna desconhecida"},
        {"filiais.csv", kBranches + "0008;Nova;N;0007;15/03/2026;x\n", "filiais.csv:2: 6 campos, esperados 5"},
        {"filiais.csv", kBranches + "0008;Nova;N;0007\n", "filiais.csv:2: 4 campos, esperados 5"},
        {"filiais.csv", kBranches + "0008;Nova;N;0007;15/03/2026\n0009;\"Outra;N;0007;15/03/2026\n",
         "filiais.csv:3: aspas não fechadas"},
        {"filiais.csv", kBranches + "0008;Nova;N;0007;29/02/2027\n",
         "filiais.csv:2: dtproc: data inexistente: \"29/02/2027\""},
        {"filiais.csv", kBranches + "00081;Nova;N;0007;15/03/2026\n",
         "filiais.csv:2: cdfilial: código com mais de 4 caracteres: \"00081\""},
        {"servicos.csv", kServices + "0001;00_1;Almoço\n",
         "servicos.csv:2: cdservfili: código só pode ter letras e números: \"00_1\""},
        {"comensais.csv", "cdfilial;cdservfili;cdturno;dtprevisao;nrcomensais\n0001;0001;1;16/03/2026;12a\n",
         "comensais.csv:2: nrcomensais: número inteiro inválido: \"12a\" (arquivo separado por \";\": vírgula decimal "
         "e "
         "ponto só entre milhares, como 1.234,5)"},
        {"servicos.csv", kServices + "0099;0009;Almoço\n",
         "servicos.csv:2: cdfilial: filial \"0099\" não existe no banco nem em filiais.csv"},
        {"turnos.csv", "cdfilial;cdservfili;cdturno;nmturno\n0001;0003;1;1º Turno\n",
         "turnos.csv:2: cdfilial/cdservfili: serviço \"0001/0003\" não existe no banco nem em servicos.csv"},
        {"servicos.csv", kServices + "0001;0009;A\n0001;0009;B\n",
         "servicos.csv:3: cdfilial/cdservfili: chave repetida (já na linha 2)"},
        {"filial.csv", kBranches + "0008;Nova;N;0007;15/03/2026\n",
         "filial.csv: arquivo desconhecido (os nomes aceitos são os que a exportação grava); --ignorar-outros o deixa "
         "de lado"},
        {"produtos.csv",
         "cdproduto;nmproduto;sgunidade;cdgrupprod;cdsubgrprod;qtembalagem\n1010019999;Copo;UN;01;0101;1.500\n"
         "1010019998;Prato;UN;01;0101;2.5\n",
         "produtos.csv:3: qtembalagem: número inválido: \"2.5\" não pode ser lido com o ponto separando milhares "
         "(cada milhar tem 3 dígitos, não \"5\") e, em arquivo separado por \";\", a vírgula é a decimal; se o ponto é "
         "decimal, escreva \"2,5\""},
        {"consumo_fixo.csv", "cdfilial,cdservfili,cdproduto,qtdiaria\n0001,0001,1010010001,\"1,5\"\n",
         "consumo_fixo.csv:2: qtdiaria: número inválido: \"1,5\" não pode ser lido com vírgula, nem decimal nem de "
         "milhares: em arquivo separado por \",\" o ponto é a decimal e nada separa milhares; se a vírgula é decimal, "
         "escreva \"1.5\""},
        {"produtos.csv", kProducts + "1010019999;Copo;UN;01;0101;1;-1\n",
         "produtos.csv:2: nrdiasvalidade: número inteiro inválido: \"-1\"" + kSemicolonNumbers},
        {"produtos.csv", kProducts + "1010019999;Copo;UN;01;0101;1;2,5\n",
         "produtos.csv:2: nrdiasvalidade: número inteiro inválido: \"2,5\"" + kSemicolonNumbers},
        {"produtos.csv", kProducts + "1010019999;Copo;UN;01;0101;1;3651\n",
         "produtos.csv:2: nrdiasvalidade: número acima de 3650: \"3651\""},
        {"estoque.csv", kCounts + "0099;1030010001;01/03/2026;1\n",
         "estoque.csv:2: cdfilial: filial \"0099\" não existe no banco nem em filiais.csv"},
        {"estoque.csv", kCounts + "0001;1010019999;01/03/2026;1\n",
         "estoque.csv:2: cdproduto: produto \"1010019999\" não existe no banco nem em produtos.csv"},
        {"estoque.csv", kCounts + "0001;1030010001;01/03/2026;-0,5\n",
         "estoque.csv:2: qtestoque: a quantidade não pode ser negativa: \"-0,5\""},
        {"estoque.csv", kCounts + "0001;1030010001;01/03/2026;5 L\n",
         "estoque.csv:2: qtestoque: número inválido: \"5 L\"" + kSemicolonNumbers},
        {"estoque.csv", kCounts + "0001;1030010001;01/01/2100;1\n",
         "estoque.csv:2: dtcontagem: data posterior a hoje (" + server::localNow().date().toBr() + "): \"01/01/2100\""},
    };
    TestServer server(Engine::SQLite, true);
    const std::string before = server.content(allTables());
    for (const BadFile& bad : cases) {
        SCOPED_TRACE(bad.name + "\n" + bad.text);
        TempDir dir;
        writeText(dir.path() / bad.name, bad.text);
        for (const bool simulate : {true, false}) {
            const transfer::ImportResult result = transfer::importFolder(server.sql(), dir.path(), {simulate});
            EXPECT_FALSE(result.committed);
            EXPECT_NE(problemsOf(result).find(bad.problem + "\n"), std::string::npos) << problemsOf(result);
        }
    }
    EXPECT_EQ(server.content(allTables()), before);
}

// A file wrong on every line says where the first hundred are and how many more there are.
TEST(TransferImport, ProblemsStopAtAHundredAndCountTheRest) {
    TestServer server(Engine::SQLite, true);
    const std::vector<std::pair<int, std::string>> cases = {
        {100, ""}, {101, "… e mais 1 problema"}, {150, "… e mais 50 problemas"}};
    for (const auto& [wrong, more] : cases) {
        SCOPED_TRACE(wrong);
        std::string text = kServices;
        for (int i = 0; i < wrong; ++i) text += "0001;000000;Nome\n";
        TempDir dir;
        writeText(dir.path() / "servicos.csv", text);
        const auto result = transfer::importFolder(server.sql(), dir.path(), {});
        ASSERT_EQ(result.problems.size(), more.empty() ? 100u : 101u);
        EXPECT_EQ(result.problems[99], "servicos.csv:101: cdservfili: código com mais de 5 caracteres: \"000000\"");
        if (!more.empty()) {
            EXPECT_EQ(result.problems[100], more);
        }
    }
}

class TransferImportBoth : public EngineTest {};

// A new operator after the branch it supplies, a changed name that looks like SQL and a new
// name that looks like a formula: the simulation counts them and changes nothing, the real
// run counts the same and writes them by their codes, and the next run finds nothing to do.
TEST_P(TransferImportBoth, SimulationCountsWhatTheImportThenWrites) {
    Exported company(engine());
    company.keepOnly({"filiais.csv", "servicos.csv"});
    const std::string exported = readText(company.file("filiais.csv"));
    std::string branches = exported;
    const std::string hospital = "Hospital Santa Clara";
    branches.replace(branches.find(hospital), hospital.size(), "\"'; DROP TABLE branch; --\"");
    branches += "0008;=CMD();N;0009;15/03/2026\r\n0009;Novo CD;S;;15/03/2026\r\n";
    writeText(company.file("filiais.csv"), branches);
    writeText(company.file("servicos.csv"), readText(company.file("servicos.csv")) + "0008;0001;Almoço\r\n");

    const std::string before = company.server.content(allTables());
    const std::string counts = "filiais.csv 2+ 1~ 6=\nservicos.csv 1+ 0~ 24=\n";
    const auto simulated = company.import(true);
    EXPECT_EQ(problemsOf(simulated), "");
    EXPECT_FALSE(simulated.committed);
    EXPECT_EQ(countsOf(simulated), counts);
    EXPECT_EQ(company.server.content(allTables()), before);

    const auto written = company.import();
    EXPECT_TRUE(written.committed);
    EXPECT_EQ(countsOf(written), counts);
    db::Connection& sql = company.server.sql();
    EXPECT_EQ(sql.text("SELECT nmfilial FROM branch WHERE cdfilial = '0002'"), "'; DROP TABLE branch; --");
    EXPECT_EQ(sql.text("SELECT nmfilial || cdfiliopelog FROM branch WHERE cdfilial = '0008'"), "=CMD()0009");
    EXPECT_EQ(company.server.count("SELECT count(*) FROM branch"), 9);

    EXPECT_EQ(countsOf(company.import()), "filiais.csv 0+ 0~ 9=\nservicos.csv 0+ 0~ 25=\n");

    // Back as exported: the new operator and the branch it supplies go, in whatever order.
    writeText(company.file("filiais.csv"), exported);
    dropLines(company.file("servicos.csv"), "0008;");
    EXPECT_EQ(countsOf(company.import(false, true)), "filiais.csv 0+ 1~ 6= 2-\nservicos.csv 0+ 0~ 24= 1-\n");
    EXPECT_EQ(company.server.content(allTables()), before);
}

// Rows of every file that hold one service, as a person would delete them.
void dropService(const Exported& company, const std::string& prefix) {
    for (const char* name :
         {"servicos.csv", "turnos.csv", "cardapios.csv", "comensais.csv", "consumo_fixo.csv", "consumo_percapita.csv"})
        dropLines(company.file(name), prefix);
}

// --remover-ausentes removes what nothing uses and keeps the rest, saying per file how many
// and what uses them: a record of another kind (in the files or in the database, also one
// kept itself), or a forecast, requisition or order.
TEST_P(TransferImportBoth, RemovesWhatNothingUsesAndKeepsAndNamesWhatIsUsed) {
    Exported company(engine());
    company.server.sql().execute(
        "INSERT INTO consumption_forecast (cdfiliopelog, cdfilial, cdservfili, dtprevisao, cdproduto, qtprevista)"
        " VALUES ('0007', '0005', '0001', ?, (SELECT min(cdproduto) FROM product), 1)",
        {seedDate()});
    dropService(company, "0005;0001;");
    auto result = company.import(false, true);
    EXPECT_EQ(problemsOf(result), "");
    EXPECT_EQ(result.files.at(1).file, "servicos.csv");
    EXPECT_EQ(result.files[1].kept, "1 serviço mantido: em uso por previsões de consumo");
    EXPECT_EQ(result.files[1].removed, 0u);
    EXPECT_EQ(company.server.count("SELECT count(*) FROM service WHERE cdfilial = '0005' AND cdservfili = '0001'"), 1);
    EXPECT_EQ(company.server.count("SELECT count(*) FROM shift WHERE cdfilial = '0005' AND cdservfili = '0001'"), 0)
        << "its shifts, which nothing else uses, go";

    // A partial product file: what recipes use stays, an unused product goes, and a code
    // with spaces around it is read without them.
    Exported products(engine());
    products.keepOnly({"produtos.csv"});
    products.server.sql().execute(
        "INSERT INTO product (cdproduto, nmproduto, sgunidade, cdgrupprod, cdsubgrprod, qtembalagem)"
        " SELECT '9990000001', 'Sem uso', 'UN', cdgrupprod, cdsubgrprod, 1 FROM product_grouping"
        " ORDER BY cdgrupprod, cdsubgrprod LIMIT 1");
    std::vector<std::string> lines = linesOf(products.file("produtos.csv"));
    std::vector<std::string> kept;
    for (size_t i = 1; i < lines.size() && kept.size() < 3; ++i)
        if (products.server.count("SELECT count(*) FROM recipe WHERE cdproduto = '" + fieldsOf(lines[i])[0] + "'"))
            kept.push_back(lines[i]);
    ASSERT_EQ(kept.size(), 3u);
    lines.erase(std::remove_if(
                    lines.begin(), lines.end(),
                    [&](const std::string& line) { return std::find(kept.begin(), kept.end(), line) != kept.end(); }),
                lines.end());
    lines[1] = " " + lines[1].substr(0, lines[1].find(';')) + " " + lines[1].substr(lines[1].find(';'));
    writeLines(products.file("produtos.csv"), lines);
    const int64_t before = products.server.count("SELECT count(*) FROM product");
    result = products.import(false, true);
    EXPECT_EQ(problemsOf(result), "");
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].kept, "3 produtos mantidos: em uso por receitas");
    EXPECT_EQ(result.files[0].removed, 1u);
    EXPECT_EQ(result.files[0].trimmed, 1u);
    EXPECT_EQ(result.files[0].added + result.files[0].changed, 0u);
    EXPECT_EQ(products.server.count("SELECT count(*) FROM product"), before - 1);
    EXPECT_EQ(products.server.count("SELECT count(*) FROM product WHERE cdproduto = '9990000001'"), 0);

    Exported unused(engine());
    dropService(unused, "0006;0003;");
    result = unused.import();
    EXPECT_EQ(problemsOf(result), "");
    EXPECT_EQ(unused.server.count("SELECT count(*) FROM service"), 24) << "nothing removed unless asked";
    result = unused.import(false, true);
    EXPECT_EQ(problemsOf(result), "");
    EXPECT_EQ(unused.server.count("SELECT count(*) FROM service"), 23);
    EXPECT_EQ(unused.server.count("SELECT count(*) FROM menu WHERE cdfilial = '0006' AND cdservfili = '0003'"), 0);
    EXPECT_NE(countsOf(result).find("servicos.csv 0+ 0~ 23= 1-\n"), std::string::npos) << countsOf(result);
    EXPECT_EQ(result.files.at(1).kept, "");

    // Only the service file: the shifts in the database keep it.
    Exported servicesOnly(engine());
    servicesOnly.keepOnly({"servicos.csv"});
    dropLines(servicesOnly.file("servicos.csv"), "0006;0003;");
    result = servicesOnly.import(false, true);
    EXPECT_EQ(problemsOf(result), "");
    EXPECT_EQ(result.files.at(0).kept, "1 serviço mantido: em uso por turnos");
}

// The stored menus of one day and branch, in the export's form, grouped by their slot:
// "0001;0002;1;16/03/2026" → its rows.
std::map<std::string, std::vector<std::string>> menuSlots(const Exported& company, const std::string& day) {
    std::map<std::string, std::vector<std::string>> slots;
    for (const std::string& line : linesOf(company.file("cardapios.csv"))) {
        const auto fields = fieldsOf(line);
        if (fields.size() == 5 && fields[0] == "0001" && fields[3] == day)
            slots[line.substr(0, line.rfind(';'))].push_back(line);
    }
    return slots;
}

// A kitchen sends its own menu of one day: the other kitchens and days stay whatever the
// options; a slot it names is the whole of that slot, and with --remover-ausentes a slot it
// leaves out of its day goes; a file with no rows removes nothing.
TEST_P(TransferImportBoth, AMenuFileReplacesItsSlotsAndRemovesOnlyWithinItsKitchensAndDays) {
    Exported company(engine());
    company.keepOnly({"cardapios.csv", "comensais.csv"});
    const std::string day = seedDate().addDays(1).toBr();
    const auto slots = menuSlots(company, day);
    ASSERT_GE(slots.size(), 3u);
    auto slot = slots.begin();
    const auto& [dropped, droppedRows] = *slot++;
    const auto withTwo = std::find_if(slot, slots.end(), [](const auto& s) { return s.second.size() >= 2; });
    ASSERT_NE(withTwo, slots.end());
    const auto swapped = std::find_if(slots.begin(), slots.end(),
                                      [&](const auto& s) { return s.first != dropped && s.first != withTwo->first; });
    ASSERT_NE(swapped, slots.end());
    // A dish from the slot left out, unless the swapped slot has it already.
    const std::string newDish = fieldsOf(droppedRows.front())[4];
    ASSERT_EQ(std::count_if(swapped->second.begin(), swapped->second.end(),
                            [&](const std::string& row) { return fieldsOf(row)[4] == newDish; }),
              0);

    std::vector<std::string> menu{"cdfilial;cdservfili;cdturno;dtcardapio;cdprato"};
    size_t rows = 0;
    for (const auto& [key, dishes] : slots)
        for (size_t i = 0; i < dishes.size(); ++i) {
            if (key == withTwo->first && i == 0) continue;
            menu.push_back(key == swapped->first && i == 0 ? key + ";" + newDish : dishes[i]);
            rows += key == swapped->first && i == 0 ? 0 : 1;
        }
    writeLines(company.file("cardapios.csv"), menu);
    writeLines(company.file("comensais.csv"), {"cdfilial;cdservfili;cdturno;dtprevisao;nrcomensais"});
    const int64_t menus = company.server.count("SELECT count(*) FROM menu");
    const int64_t diners = company.server.count("SELECT count(*) FROM diners_forecast");
    const auto others = [&] {
        int64_t n = 0;
        company.server.sql().each("SELECT count(*) FROM menu WHERE cdfilial <> '0001' OR dtcardapio <> ?",
                                  {seedDate().addDays(1)}, [&](const db::ResultRow& row) { n = row.integer(0); });
        return n;
    };
    const int64_t otherMenus = others();

    const std::string replaced = "cardapios.csv 1+ 0~ " + std::to_string(rows) + "= 2r\ncomensais.csv 0+ 0~ 0=\n";
    const std::string before = company.server.content(allTables());
    EXPECT_EQ(countsOf(company.import(true)), replaced);
    EXPECT_EQ(company.server.content(allTables()), before);
    const auto written = company.import();
    EXPECT_EQ(countsOf(written), replaced);
    EXPECT_TRUE(written.files.at(1).empty);
    EXPECT_EQ(company.server.count("SELECT count(*) FROM menu"), menus - 1);
    EXPECT_EQ(others(), otherMenus);

    // Now the file leaves a whole slot out.
    menu.erase(std::remove_if(menu.begin(), menu.end(),
                              [&](const std::string& row) { return row.starts_with(dropped + ";"); }),
               menu.end());
    writeLines(company.file("cardapios.csv"), menu);
    const std::string removed = "cardapios.csv 0+ 0~ " + std::to_string(rows + 1 - droppedRows.size()) + "= " +
                                std::to_string(droppedRows.size()) + "-\ncomensais.csv 0+ 0~ 0=\n";
    const std::string middle = company.server.content(allTables());
    EXPECT_EQ(countsOf(company.import(true, true)), removed);
    EXPECT_EQ(company.server.content(allTables()), middle);
    EXPECT_EQ(countsOf(company.import(false, true)), removed);
    EXPECT_EQ(company.server.count("SELECT count(*) FROM menu"), menus - 1 - int64_t(droppedRows.size()));
    EXPECT_EQ(others(), otherMenus) << "other kitchens and days keep their menus";
    EXPECT_EQ(company.server.count("SELECT count(*) FROM diners_forecast"), diners)
        << "a file with no rows removes nothing";
}

// Removes the zeros a spreadsheet drops from every code of digits in these files.
size_t dropZeros(const Exported& company, const std::vector<std::string>& files) {
    size_t dropped = 0;
    for (const std::string& name : files) {
        std::vector<std::string> lines = linesOf(company.file(name));
        for (size_t i = 1; i < lines.size(); ++i) {
            std::string line;
            for (std::string field : fieldsOf(lines[i])) {
                if (field.size() > 1 && field[0] == '0' && field.find_first_not_of("0123456789") == std::string::npos) {
                    field.erase(0, std::min(field.find_first_not_of('0'), field.size() - 1));
                    ++dropped;
                }
                line += (line.empty() ? "" : ";") + field;
            }
            lines[i] = line;
        }
        writeLines(company.file(name), lines);
    }
    return dropped;
}

// Files saved by a spreadsheet that took codes for numbers: branch, service, group,
// grouping, dish-type and dish codes come back with their zeros, as the screens show them,
// and find their records; a code longer than that width that differs only by its zeros
// would make a second record, and is refused.
TEST_P(TransferImportBoth, CodesThatLostTheirZerosAreCompletedOrRefused) {
    Exported company(engine());
    const std::vector<std::string> files = {
        "filiais.csv",   "servicos.csv",    "grupos_produto.csv", "agrupamentos_produto.csv",
        "produtos.csv",  "tipos_prato.csv", "pratos.csv",         "cardapios.csv",
        "parametros.csv"};
    company.keepOnly({files.begin(), files.end()});
    const size_t dropped = dropZeros(company, files);
    ASSERT_GT(dropped, 1000u);
    const std::string before = company.server.content(allTables());
    for (const bool simulate : {true, false}) {
        const auto result = company.import(simulate);
        EXPECT_EQ(problemsOf(result), "");
        size_t padded = 0;
        for (const auto& file : result.files) {
            EXPECT_EQ(file.added + file.changed + file.replaced, 0u) << file.file;
            padded += file.padded;
        }
        EXPECT_EQ(padded, dropped);
        EXPECT_EQ(company.server.content(allTables()), before);
    }

    Exported types(engine());
    types.keepOnly({"tipos_prato.csv"});
    writeText(types.file("tipos_prato.csv"), readText(types.file("tipos_prato.csv")) + "007;Sobremesa nova\r\n");
    for (const bool simulate : {true, false}) {
        const auto result = types.import(simulate);
        EXPECT_FALSE(result.committed);
        EXPECT_NE(
            problemsOf(result).find(": cdtipoprato: tipo de prato \"007\" seria novo, mas o banco tem \"07\", que só "
                                    "difere nos zeros à esquerda: escreva o código como no banco\n"),
            std::string::npos)
            << problemsOf(result);
    }
}

// A simulation leaves an empty database empty and an older schema as it was: the migration
// runs inside the transaction it rolls back. The real run then migrates and counts the same.
TEST_P(TransferImportBoth, ASimulationMigratesOnlyInsideItsRollback) {
    Exported company(engine());
    company.keepOnly({"filiais.csv", "servicos.csv"});
    for (const int older : {0, server::latestSchemaVersion() - 1}) {
        SCOPED_TRACE(older);
        TestDatabase target(engine());
        const auto database = db::openDatabase(target.target());
        db::Connection& c = database->connection();
        if (older) server::migrate(c, older);
        const auto version = [&] {
            return older ? c.integer("SELECT max(version) FROM schema_version") : std::nullopt;
        };
        const std::string counts = "filiais.csv 7+ 0~ 0=\nservicos.csv 24+ 0~ 0=\n";
        const auto simulated = transfer::importFolder(c, company.dir.path(), {true, false, false, true});
        EXPECT_EQ(problemsOf(simulated), "");
        EXPECT_EQ(countsOf(simulated), counts);
        if (older)
            EXPECT_EQ(version(), older);
        else
            EXPECT_THROW(c.integer("SELECT count(*) FROM schema_version"), std::exception) << "no table created";
        const auto written = transfer::importFolder(c, company.dir.path(), {false, false, false, true});
        EXPECT_TRUE(written.committed);
        EXPECT_EQ(countsOf(written), counts);
        EXPECT_EQ(c.integer("SELECT max(version) FROM schema_version"), server::latestSchemaVersion());
    }
}

// A product file that does not name the shelf life leaves the stored ones as they are and
// gives new products 0; one that names it sets it; either way the export gives back the file
// with the column, byte for byte.
TEST_P(TransferImportBoth, AProductFileWithoutShelfLifeKeepsWhatIsStored) {
    Exported company(engine());
    company.keepOnly({"produtos.csv"});
    std::vector<std::string> lines = linesOf(company.file("produtos.csv"));
    ASSERT_TRUE(lines[0].ends_with(";qtembalagem;nrdiasvalidade"));
    const size_t products = lines.size() - 1;
    const auto shelfLife = [&](const std::string& product) {
        return company.server.count("SELECT nrdiasvalidade FROM product WHERE cdproduto = '" + product + "'");
    };
    ASSERT_EQ(shelfLife(kMilk), 5);
    for (std::string& line : lines) line.erase(line.rfind(';'));
    lines.push_back("1010019999;Carne nova;KG;01;0101;2");
    writeLines(company.file("produtos.csv"), lines);
    EXPECT_EQ(countsOf(company.import(false, true)), "produtos.csv 1+ 0~ " + std::to_string(products) + "=\n");
    EXPECT_EQ(shelfLife(kMilk), 5);
    EXPECT_EQ(shelfLife("1010019999"), 0);

    TempDir again;
    transfer::exportFolder(company.server.sql(), again.path());
    lines = linesOf(again.path() / "produtos.csv");
    const auto added = std::find_if(lines.begin(), lines.end(),
                                    [](const std::string& line) { return line.starts_with("1010019999;"); });
    ASSERT_NE(added, lines.end());
    ASSERT_EQ(*added, "1010019999;Carne nova;KG;01;0101;2;0");
    added->back() = '3';
    writeLines(company.file("produtos.csv"), lines);
    EXPECT_EQ(countsOf(company.import()), "produtos.csv 0+ 1~ " + std::to_string(products) + "=\n");
    EXPECT_EQ(shelfLife("1010019999"), 3);
    transfer::exportFolder(company.server.sql(), again.path());
    EXPECT_EQ(readText(again.path() / "produtos.csv"), readText(company.file("produtos.csv")));
}

// Counts of a file are added, or replace the count of their kitchen, product and day, and
// then read as written by krv-dados now; a count the file repeats as stored keeps who typed
// it. --remover-ausentes removes no count, and a counted product cannot be removed.
TEST_P(TransferImportBoth, CountsAddOrReplaceAndAreNeverRemoved) {
    Exported company(engine());
    company.keepOnly({"estoque.csv", "produtos.csv"});
    const DateTime today = seedDate(), yesterday = seedDate().addDays(-1);
    db::Connection& sql = company.server.sql();
    for (const char* kitchen : {"0001", "0002"})
        sql.execute(
            "INSERT INTO stock_count (cdfilial, cdproduto, dtcontagem, qtestoque, cdoperador, dtlancamento)"
            " VALUES (?, ?, ?, 2, 'ANA', ?)",
            {kitchen, kMilk, yesterday, db::Timestamp{yesterday}});
    const std::string day = yesterday.toBr();
    writeText(company.file("estoque.csv"), kCounts + "0001;" + kMilk + ";" + day + ";4,54\n0002;" + kMilk + ";" + day +
                                               ";2\n0001;" + kBeef + ";" + today.toBr() + ";0\n");
    const auto import = [&](bool simulate, bool removeMissing) {
        transfer::ImportOptions options{simulate, removeMissing};
        options.today = today;
        return transfer::importFolder(sql, company.dir.path(), options);
    };
    const std::string products =
        "produtos.csv 0+ 0~ " + std::to_string(linesOf(company.file("produtos.csv")).size() - 1) + "=\n";
    const std::string counts = products + "estoque.csv 1+ 1~ 1=\n";
    const std::string before = company.server.content({"stock_count"});
    EXPECT_EQ(countsOf(import(true, false)), counts);
    EXPECT_EQ(company.server.content({"stock_count"}), before);
    EXPECT_EQ(countsOf(import(false, false)), counts);
    Texts stored;
    sql.each(
        "SELECT cdfilial, cdproduto, qtestoque, cdoperador, dtlancamento FROM stock_count"
        " ORDER BY cdfilial, cdproduto",
        {}, [&](const db::ResultRow& row) {
            stored.push_back(row.text(0) + " " + row.text(1) + " " + transfer::writeCell(row.real(2)) + " " +
                             row.text(3) + (row.dateTime(4) == yesterday ? " then" : " now"));
        });
    EXPECT_EQ(stored, (Texts{"0001 " + kBeef + " 0 krv-dados now", "0001 " + kMilk + " 4,54 krv-dados now",
                             "0002 " + kMilk + " 2 ANA then"}));

    writeText(company.file("estoque.csv"), kCounts + "0001;" + kBeef + ";" + today.toBr() + ";0\n");
    EXPECT_EQ(countsOf(import(false, true)), products + "estoque.csv 0+ 0~ 1=\n");
    EXPECT_EQ(company.server.count("SELECT count(*) FROM stock_count"), 3);

    // A product a count uses stays, and the file's line says why.
    dropLines(company.file("produtos.csv"), kBeef);
    const auto kept = import(false, true);
    EXPECT_EQ(problemsOf(kept), "");
    const auto productsFile = std::find_if(kept.files.begin(), kept.files.end(),
                                           [](const transfer::FileCounts& f) { return f.file == "produtos.csv"; });
    ASSERT_NE(productsFile, kept.files.end());
    EXPECT_EQ(productsFile->kept, "1 produto mantido: em uso por contagens de estoque");
    EXPECT_EQ(company.server.count("SELECT count(*) FROM product WHERE cdproduto = '" + kBeef + "'"), 1);
}

KRV_ON_BOTH_ENGINES(TransferImportBoth);

}  // namespace

// An import waits for a calculation of any kitchen under way, so that no calculation reads
// half of the old menus and half of the new; it goes through once that one has ended.
TEST(TransferImport, WaitsForTheKitchenWorkUnderWayOnPostgres) {
    Exported company(Engine::PostgreSQL);
    company.keepOnly({"filiais.csv"});
    const auto other = db::openDatabase(company.server.database.target());
    std::promise<void> claimed, release;
    std::thread calculation([&] {
        other->connection().write(
            [&](db::Connection& c) {
                c.claim(db::ClaimKind::Kitchen, {"0003"});
                claimed.set_value();
                release.get_future().wait();
            },
            db::WriteKind::Claimed);
    });
    claimed.get_future().wait();
    std::atomic<bool> imported{false};
    std::thread import([&] {
        EXPECT_TRUE(company.import().committed);
        imported = true;
    });
    const auto watcher = db::openDatabase(company.server.database.target());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (watcher->connection().integer("SELECT count(*) FROM pg_locks WHERE NOT granted AND locktype = 'advisory'") ==
               0 &&
           std::chrono::steady_clock::now() < until) {
    }
    EXPECT_FALSE(imported) << "the import did not wait for the kitchen's calculation";
    release.set_value();
    calculation.join();
    import.join();
    EXPECT_TRUE(imported);
}
