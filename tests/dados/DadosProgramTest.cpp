#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "dados/DadosMain.h"
#include "dados/ProgressBar.h"
#include "server/storage/Database.h"
#include "server/transfer/RecordKinds.h"
#include "support/TempDir.h"

using namespace krv;

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome run(const std::vector<std::string>& words) {
    std::ostringstream out, err;
    const int status = dados::runDados(words, out, err, false);
    return {status, out.str(), err.str()};
}

struct Usage {
    std::vector<std::string> words;
    std::string message;
};

TEST(DadosProgram, CommandLinesItCannotObeyExit64) {
    const std::vector<Usage> cases = {
        {{}, "falta a ação"},
        {{"copiar", "--db", "x.db", "--pasta", "p"},
         "ação desconhecida: \"copiar\" (exportar, importar, modelos ou pedidos)"},
        {{"modelos", "--db", "x.db", "--pasta", "p"}, "modelos não usa banco: só --pasta"},
        {{"modelos"}, "falta --pasta"},
        {{"exportar", "--db", "x.db", "--pasta", "p", "--ignorar-outros"}, "valem só para importar"},
        {{"modelos", "--pasta", "p", "--simular"}, "valem só para importar"},
        {{"importar", "--db", "x.db", "--pasta", "p", "--simular", "--seed", "demo"}, "--seed não vale com --simular"},
        {{"importar", "--pasta", "p"}, "falta --db"},
        {{"importar", "--db", "x.db"}, "falta --pasta"},
        {{"exportar", "--db", "x.db", "--pasta", "p", "--simular"}, "valem só para importar"},
        {{"exportar", "--db", "x.db", "--pasta", "p", "--remover-ausentes"}, "valem só para importar"},
        {{"exportar", "--db", "x.db", "--pasta", "p", "--seed", "demos:7"}, "--seed aceita apenas"},
        {{"exportar", "--db", "x.db", "--pasta", "p", "--seed", "demo:0"}, "N deve ser de 1 a 5000"},
        {{"exportar", "--db", "x.db", "--pasta", "p", "--seed", "demo:5001"}, "valor inválido para --seed demo:N"},
        {{"importar", "--db", "x.db", "--pasta", "p", "--forcar"}, "Opção desconhecida: --forcar"},
        {{"pedidos", "--db", "x.db", "--pasta", "p", "--ate", "16/03/2026"}, "pedidos exige --de e --ate"},
        {{"pedidos", "--db", "x.db", "--pasta", "p", "--de", "31/02/2026", "--ate", "16/03/2026"},
         "--de deve ser uma data DD/MM/AAAA: \"31/02/2026\""},
        {{"pedidos", "--db", "x.db", "--pasta", "p", "--de", "17/03/2026", "--ate", "16/03/2026"},
         "--de deve ser menor ou igual a --ate"},
        {{"pedidos", "--db", "x.db", "--pasta", "p", "--de", "16/03/2026", "--ate", "16/03/2026", "--simular"},
         "valem só para importar"},
        {{"exportar", "--db", "x.db", "--pasta", "p", "--marcar-enviados"}, "valem só para pedidos"},
    };
    for (const Usage& usage : cases) {
        const Outcome r = run(usage.words);
        EXPECT_EQ(r.status, 64) << usage.message;
        EXPECT_NE(r.err.find(usage.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Uso"), std::string::npos) << "the usage follows";
    }
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("0 gravado"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("64 linha de comando inválida"), std::string::npos);
}

// Export the demo company, simulate its import into an empty database, import it, and
// then import a broken file: what each prints and the status it ends with.
TEST(DadosProgram, ExportSimulateImportAndRefuse) {
    support::TempDir dir;
    const std::string folder = dir.file("empresa");
    const Outcome exported = run({"exportar", "--db", dir.file("demo.db"), "--seed", "demo", "--pasta", folder});
    ASSERT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.out.find("filiais.csv: 7 registros\n"), std::string::npos) << exported.out;

    const std::string target = dir.file("vazio.db");
    ASSERT_EQ(run({"exportar", "--db", target, "--pasta", dir.file("vazia")}).status, 0) << "an empty database";
    const Outcome simulated = run({"importar", "--db", target, "--pasta", folder, "--simular"});
    ASSERT_EQ(simulated.status, 0) << simulated.err;
    EXPECT_NE(simulated.out.find("filiais.csv: 7 novos, 0 alterados, 0 sem alteração\n"), std::string::npos);
    EXPECT_TRUE(simulated.out.ends_with("Simulação: nada foi gravado.\n")) << simulated.out;

    Outcome imported = run({"importar", "--db", target, "--pasta", folder});
    ASSERT_EQ(imported.status, 0) << imported.err;
    const std::string written = "Importação gravada.\n";
    ASSERT_TRUE(imported.out.ends_with(written)) << imported.out;
    EXPECT_EQ(imported.out.substr(0, imported.out.size() - written.size()),
              simulated.out.substr(0, simulated.out.rfind("Simulação")))
        << "the real run counts what the simulation did";

    std::ofstream(folder + "/filiais.csv", std::ios::app) << "0008;Nova;N;0007;31/02/2026\r\n";
    const Outcome refused = run({"importar", "--db", target, "--pasta", folder, "--remover-ausentes"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "filiais.csv:9: dtproc: data inexistente: \"31/02/2026\"\nNada foi gravado.\n");
}

// A mistyped database is never created by a simulation; the real run creates it.
TEST(DadosProgram, ASimulationCreatesNoDatabase) {
    support::TempDir dir;
    const std::string folder = dir.file("empresa");
    ASSERT_EQ(run({"exportar", "--db", dir.file("demo.db"), "--seed", "demo", "--pasta", folder}).status, 0);
    const std::string typo = dir.file("tipo.bd");
    const Outcome simulated = run({"importar", "--db", typo, "--pasta", folder, "--simular"});
    EXPECT_EQ(simulated.status, 1);
    EXPECT_EQ(simulated.err, "krv-dados: o banco " + typo + " não existe; a simulação não o cria.\n");
    EXPECT_FALSE(std::filesystem::exists(typo));
    EXPECT_EQ(run({"importar", "--db", typo, "--pasta", folder}).status, 0);
}

// The templates say what each column is; imported as they are, they change nothing, and
// their LEIAME.txt is left aside without a word.
TEST(DadosProgram, TemplatesExplainEveryColumnAndImportAsNothing) {
    support::TempDir dir;
    const std::string folder = dir.file("modelos");
    const Outcome written = run({"modelos", "--pasta", folder});
    ASSERT_EQ(written.status, 0) << written.err;
    std::ifstream in(folder + "/LEIAME.txt", std::ios::binary);
    const std::string readMe{std::istreambuf_iterator<char>(in), {}};
    for (const auto& kind : server::transfer::recordKinds()) {
        SCOPED_TRACE(kind.file);
        EXPECT_NE(written.out.find(kind.file + "\n"), std::string::npos);
        EXPECT_NE(readMe.find(". " + kind.file + " ("), std::string::npos);
        for (const auto& column : kind.columns) {
            EXPECT_NE(readMe.find("   " + column.name + ": "), std::string::npos) << column.name;
        }
    }
    for (const char* needed :
         {"cdpratoconsfixo", "ol: S quando", "Exemplo: 0001", "deve existir em filiais.csv",
          "completados com zeros à esquerda", "obrigatório", "opcional",
          "Recusa 0.030 (nenhum milhar vem depois de um zero à esquerda", "14/12/26 (ano 2026",
          "3 produtos mantidos: em uso por receitas", "número inteiro de 0 a 3650",
          "obrigatório quando a coluna está no arquivo; a coluna pode faltar",
          "--remover-ausentes não remove nada deste arquivo", "posterior a hoje", "0001;1030010001;14/12/2026;4,54"})
        EXPECT_NE(readMe.find(needed), std::string::npos) << needed;

    const std::string database = dir.file("demo.db");
    ASSERT_EQ(run({"exportar", "--db", database, "--seed", "demo", "--pasta", dir.file("antes")}).status, 0);
    const Outcome imported = run({"importar", "--db", database, "--pasta", folder, "--remover-ausentes"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.out.find("filiais.csv: 0 novos, 0 alterados, 0 sem alteração, nenhuma linha: nada removido\n"),
              std::string::npos)
        << imported.out;
    EXPECT_NE(imported.out.find("Deixados de lado: LEIAME.txt\n"), std::string::npos);
    ASSERT_EQ(run({"exportar", "--db", database, "--pasta", dir.file("depois")}).status, 0);
    for (const auto& kind : server::transfer::recordKinds()) {
        std::ifstream before(dir.file("antes") + "/" + kind.file), after(dir.file("depois") + "/" + kind.file);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(before), {}),
                  std::string(std::istreambuf_iterator<char>(after), {}))
            << kind.file;
    }
}

// Codes a spreadsheet shortened or a person typed with spaces, and records kept because they
// are used, are told in each file's summary line.
TEST(DadosProgram, TheSummaryCountsCodesCompletedAndTrimmedAndRecordsKept) {
    support::TempDir dir;
    const std::string folder = dir.file("empresa"), database = dir.file("demo.db");
    ASSERT_EQ(run({"exportar", "--db", database, "--seed", "demo", "--pasta", folder}).status, 0);
    std::ifstream in(folder + "/filiais.csv", std::ios::binary);
    std::string branches{std::istreambuf_iterator<char>(in), {}};
    in.close();
    branches.replace(branches.find("\n0001;") + 1, 5, "1;");
    branches.replace(branches.find("\n0002;") + 1, 5, " 0002 ;");
    std::ofstream(folder + "/filiais.csv", std::ios::binary | std::ios::trunc) << branches;
    std::ifstream servicesIn(folder + "/servicos.csv", std::ios::binary);
    std::string services{std::istreambuf_iterator<char>(servicesIn), {}};
    services.erase(services.find("\n0001;") + 1,
                   services.find('\n', services.find("\n0001;") + 1) - services.find("\n0001;"));
    std::ofstream(folder + "/servicos.csv", std::ios::binary | std::ios::trunc) << services;
    const Outcome imported = run({"importar", "--db", database, "--pasta", folder, "--simular", "--remover-ausentes"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_NE(imported.out.find("filiais.csv: 0 novos, 0 alterados, 7 sem alteração, 0 removidos; 1 código completado "
                                "com zeros à esquerda, como a tela faz; espaços em volta tirados de 1 código\n"),
              std::string::npos)
        << imported.out;
    EXPECT_NE(imported.out.find(" sem alteração, 0 removidos; 1 serviço mantido: em uso por turnos\n"),
              std::string::npos)
        << imported.out;
}

TEST(DadosProgram, ProgressBarOnlyForLongFiles) {
    for (const size_t lines : {dados::ProgressBar::kMinLines - 1, dados::ProgressBar::kMinLines}) {
        std::ostringstream terminal;
        dados::ProgressBar bar(terminal);
        bar.show("cardapios.csv", lines / 2, lines);
        bar.show("cardapios.csv", lines, lines);
        if (lines < dados::ProgressBar::kMinLines) {
            EXPECT_EQ(terminal.str(), "");
        } else {
            EXPECT_EQ(terminal.str(),
                      "\rcardapios.csv [###############...............] 50%"
                      "\rcardapios.csv [##############################] 100%\n");
        }
    }
}

// krv-dados pedidos: the generated orders written for another system and marked sent in the
// same transaction, the file showing them as the run leaves them.
std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Three orders of the demo company on 16/03/2026 for operator 0007: 1 active with two lines,
// 2 cancelled, 3 sent already; one on the 17th.
void addOrders(const std::string& database) {
    const auto db = server::db::openDatabase(database);
    server::db::Connection& c = db->connection();
    c.script(
        "INSERT INTO purchase_order (nrpedexol, cdfiliopelog, cdfilial, cdservfili, cdturno, dtpedido, cdoperador,"
        " dtlancamento) VALUES (1, '0007', '0001', '0001', '1', '2026-03-16', 'ANA', '2026-03-15 10:30:00'),"
        " (2, '0007', '0002', '0001', NULL, '2026-03-16', 'ANA', '2026-03-15 10:30:00'),"
        " (3, '0007', '0003', '0001', NULL, '2026-03-16', 'ANA', '2026-03-15 10:30:00'),"
        " (4, '0007', '0003', '0001', NULL, '2026-03-17', 'ANA', '2026-03-15 10:30:00');"
        "INSERT INTO purchase_order_item (nrpedexol, cdproduto, qtnecessaria, qtpedido)"
        " SELECT 1, min(cdproduto), 2.5, 3 FROM product;"
        "INSERT INTO purchase_order_item (nrpedexol, cdproduto, qtnecessaria, qtpedido)"
        " SELECT n, max(cdproduto), 1, 1 FROM product, (SELECT 1 AS n UNION SELECT 2 UNION SELECT 3) o GROUP BY n;"
        "INSERT INTO purchase_order_cancellation VALUES (2, 'ANA', '2026-03-15 11:00:00');"
        "INSERT INTO purchase_order_shipment VALUES (3, 'ANA', '2026-03-15 12:00:00');");
}

TEST(DadosOrders, WritesTheOrdersThatAreNotCancelledAndMarksTheOnesNotSentYet) {
    support::TempDir dir;
    const std::string database = dir.file("pedidos.db"), folder = dir.file("saida");
    ASSERT_EQ(run({"exportar", "--db", database, "--seed", "demo", "--pasta", dir.file("empresa")}).status, 0);
    addOrders(database);
    const std::vector<std::string> words{"pedidos",    "--db",  database,     "--pasta",  folder, "--de",
                                         "16/03/2026", "--ate", "16/03/2026", "--filial", "0007", "--marcar-enviados"};
    Outcome first = run(words);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "pedidos.csv: 2 pedidos\nitens_pedido.csv: 3 itens\n1 pedido marcado como enviado.\n");
    const std::string orders = fileText(folder + "/pedidos.csv");
    EXPECT_TRUE(orders.starts_with("\xEF\xBB\xBFnrpedexol;cdfiliopelog;cdfilial;cdservfili;cdturno;dtpedido;"))
        << orders;
    const std::string marked = "\r\n1;0007;0001;0001;1;16/03/2026;ANA;15/03/2026 10:30:00;E;";
    const size_t at = orders.find(marked);
    ASSERT_NE(at, std::string::npos) << "written as this run left it: " << orders;
    const std::string markedLine = orders.substr(at + 2, orders.find("\r\n", at + 2) - at - 2);
    EXPECT_TRUE(markedLine.ends_with(";krv-dados;2")) << markedLine;
    EXPECT_NE(orders.find("\r\n3;0007;0003;0001;;16/03/2026;ANA;15/03/2026 10:30:00;E;15/03/2026 12:00:00;ANA;1\r\n"),
              std::string::npos)
        << orders;
    EXPECT_EQ(orders.find("\r\n2;"), std::string::npos) << "a cancelled order is not handed on";
    EXPECT_EQ(orders.find("\r\n4;"), std::string::npos) << "outside the days";
    const std::string lines = fileText(folder + "/itens_pedido.csv");
    EXPECT_TRUE(lines.starts_with(
        "\xEF\xBB\xBFnrpedexol;cdproduto;nmproduto;sgunidade;qtnecessaria;qtpedido;qtembalagem;qtembalagens;qtsobra;"
        "qtsaldo;qtrecebida\r\n"));
    EXPECT_NE(lines.find(";2,5;3;"), std::string::npos) << lines;

    const Outcome again = run(words);
    EXPECT_EQ(again.out, "pedidos.csv: 2 pedidos\nitens_pedido.csv: 3 itens\n0 pedidos marcados como enviados.\n");
    EXPECT_NE(fileText(folder + "/pedidos.csv").find(markedLine), std::string::npos) << "marked once, by the first run";

    const Outcome notOperator = run({"pedidos", "--db", database, "--pasta", folder, "--de", "16/03/2026", "--ate",
                                     "16/03/2026", "--filial", "0001"});
    EXPECT_EQ(notOperator.status, 1);
    EXPECT_EQ(notOperator.err, "krv-dados: a filial 0001 não é um operador logístico cadastrado.\n");
}

}  // namespace
