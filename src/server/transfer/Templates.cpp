#include "server/transfer/Templates.h"

#include <fstream>
#include <map>
#include <stdexcept>

#include "server/transfer/RecordKinds.h"

namespace krv::server::transfer {

namespace {

struct Described {
    const char* meaning;
    const char* example;
};

// What each column holds, by its heading: a heading means the same in every file.
const std::map<std::string, Described>& descriptions() {
    static const std::map<std::string, Described> described = {
        {"cdfilial", {"código da filial (cozinha, hospital, escola ou depósito)", "0001"}},
        {"nmfilial", {"nome da filial", "Hospital Santa Clara"}},
        {"ol", {"S quando a filial é um operador logístico (abastece outras filiais); N nas demais", "N"}},
        {"cdfiliopelog",
         {"código da filial operador logístico que abastece esta filial; vazio no próprio operador", "0007"}},
        {"dtproc", {"data de processamento corrente da filial", "15/03/2026"}},
        {"cdservfili", {"código do serviço da filial (almoço, jantar, lanche…)", "0001"}},
        {"nmservico", {"nome do serviço", "Almoço"}},
        {"cdturno", {"código do turno do serviço, um caractere", "1"}},
        {"nmturno", {"nome do turno", "1º Turno"}},
        {"cdgrupprod", {"código do grupo de produtos", "01"}},
        {"nmgrupprod", {"nome do grupo de produtos", "Perecíveis"}},
        {"cdsubgrprod", {"código do agrupamento de produtos, dentro do grupo", "0101"}},
        {"nmsubgrprod", {"nome do agrupamento de produtos", "Carnes, Aves e Peixes"}},
        {"cdproduto", {"código do produto, 10 dígitos (também como a máscara mostra, 1.01.001.0001)", "1010010001"}},
        {"nmproduto", {"nome do produto", "Carne bovina acém"}},
        {"sgunidade", {"unidade em que o produto é pedido e contado (KG, L, UN…)", "KG"}},
        {"qtembalagem",
         {"quantidade de uma embalagem, na unidade do produto; o cálculo arredonda para embalagens "
          "inteiras",
          "5"}},
        {"nrdiasvalidade",
         {"validade em dias de uma embalagem recebida: por quantos dias depois do recebimento ela ainda pode "
          "ser usada (0: só no dia em que chega); o pedido que desconta saldo e sobras guarda o resto de uma "
          "embalagem para os dias seguintes até a validade",
          "5"}},
        {"dtcontagem", {"dia da contagem: o que havia no início desse dia, antes do consumo do dia", "14/12/2026"}},
        {"qtestoque", {"quantidade contada, na unidade do produto; 0 diz que não havia nada", "4,54"}},
        {"cdtipoprato", {"código do tipo de prato (prato principal, guarnição, sobremesa…)", "01"}},
        {"nmtipoprato", {"nome do tipo de prato", "Prato principal"}},
        {"cdprato", {"código do prato", "0007"}},
        {"nmprato", {"nome do prato", "Cuscuz com ovo"}},
        {"qtpercapita", {"quantidade por comensal, na unidade do produto", "0,125"}},
        {"dtcardapio", {"dia do cardápio", "16/03/2026"}},
        {"dtprevisao", {"dia da previsão", "16/03/2026"}},
        {"nrcomensais", {"número de comensais previstos no turno e dia", "571"}},
        {"qtdiaria", {"quantidade consumida por dia no serviço, com ou sem comensais, na unidade do produto", "1,5"}},
        {"cdtipopratoconsfixo", {"tipo de prato sob o qual se lança o consumo fixo", "90"}},
        {"cdpratoconsfixo", {"prato sob o qual se lança o consumo fixo", "0099"}},
        {"cdtipopratoconsper", {"tipo de prato sob o qual se lança o consumo per capita", "91"}},
        {"cdpratoconsper", {"prato sob o qual se lança o consumo per capita", "0098"}},
        {"tppicture", {"tipo de máscara de código; 0 é a do código de produto", "0"}},
        {"dspicture", {"a máscara: 9 para cada dígito, pontos onde a tela os mostra", "9.99.999.9999"}},
    };
    return described;
}

std::string typeText(const Column& column) {
    switch (column.type) {
        case ColumnType::Code:
            return (column.size == 1 ? std::string("código de 1 letra ou número")
                                     : "código de 1 a " + std::to_string(column.size) + " letras ou números") +
                   (column.pad ? "; só dígitos com menos de " + std::to_string(column.pad) +
                                     " são completados com zeros à esquerda, como a tela faz"
                               : "");
        case ColumnType::Digits:
            return "código de exatamente " + std::to_string(column.size) + " dígitos";
        case ColumnType::Name:
            return "texto de até " + std::to_string(column.size) + " caracteres";
        case ColumnType::Flag:
            return "S ou N";
        case ColumnType::Count:
            return column.size ? "número inteiro de 0 a " + std::to_string(column.size) : "número inteiro, 0 ou mais";
        case ColumnType::Amount:
            return "quantidade maior que zero";
        case ColumnType::Quantity:
            return "quantidade, 0 ou mais";
        case ColumnType::Date:
            return std::string("data dd/mm/aaaa (ou dd/mm/aa, do ano 2000 em diante, ou aaaa-mm-dd)") +
                   (column.notAfterToday ? ", até hoje" : "");
    }
    return {};
}

std::string referenceText(const RecordKind& kind, int column) {
    std::string out;
    for (const Reference& reference : kind.references)
        for (int c : reference.columns)
            if (c == column && reference.kind != kind.table)
                out += (out.empty() ? "" : ", ") + kindOfTable(reference.kind)->file;
            else if (c == column)
                out += (out.empty() ? "" : ", ") + std::string("outra linha deste arquivo");
    return out;
}

void describeKind(const RecordKind& kind, size_t order, std::string& text) {
    text += std::to_string(order) + ". " + kind.file + " (" + kind.label + ")\n";
    if (kind.single) text += "   Uma linha só.\n";
    for (size_t i = 0; i < kind.columns.size(); ++i) {
        const Column& column = kind.columns[i];
        const auto described = descriptions().find(column.name);
        text += "   " + column.name + ": ";
        text += described == descriptions().end() ? "" : std::string(described->second.meaning) + "; ";
        text += typeText(column) + "; " + (column.optional ? "opcional" : "obrigatório");
        if (column.absentAs)
            text += " quando a coluna está no arquivo; a coluna pode faltar: então um registro novo fica com " +
                    std::string(column.absentAs) + " e um já cadastrado mantém o seu valor";
        if (column.key) text += "; parte da chave";
        if (const std::string refers = referenceText(kind, int(i)); !refers.empty())
            text += "; deve existir em " + refers + " (ou já no banco)";
        if (described != descriptions().end()) text += ". Exemplo: " + std::string(described->second.example);
        text += ".\n";
    }
    if (kind.neverRemoved) text += "   --remover-ausentes não remove nada deste arquivo.\n";
    text += "\n";
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) throw std::runtime_error("Não foi possível gravar " + path.string());
}

}  // namespace

std::string readMeText() {
    std::string text =
        "Arquivos de uma empresa para krv-dados importar\n"
        "================================================\n\n"
        "Cada arquivo CSV tem a linha de títulos e uma linha por registro. Gravados por uma planilha em\n"
        "português: campos separados por \";\", vírgula decimal, ponto só entre milhares (1.234,5) e datas\n"
        "dd/mm/aaaa. Também se aceitam campos separados por \",\", e então ponto decimal sem separador de\n"
        "milhares (1234.5) e datas aaaa-mm-dd. Nunca se adivinha: o que não segue a forma do seu arquivo é\n"
        "recusado com o arquivo, a linha, a coluna e o motivo, e nada é gravado.\n\n"
        "Colunas de código (cd...): abra-as como texto na planilha, senão \"0001\" vira 1. Os códigos só\n"
        "com dígitos mais curtos que a tela os mostra são completados com zeros à esquerda (filial, serviço\n"
        "e prato com 4, grupo e tipo de prato com 2, agrupamento com 4), e o resumo diz quantos.\n\n"
        "O que se lê e o que se recusa\n"
        "-----------------------------\n"
        "- Números num arquivo separado por \";\": lê 1.234,5, 2.500 (dois mil e quinhentos) e 0,030.\n"
        "  Recusa 0.030 (nenhum milhar vem depois de um zero à esquerda: escreva 0,030), 2.5 e 1.2345\n"
        "  (cada milhar tem 3 dígitos), 1234.567 (antes do primeiro ponto vêm de 1 a 3 dígitos), 1,234.5\n"
        "  (o ponto de milhares não vem depois da vírgula) e 2,5kg.\n"
        "- Números num arquivo separado por \",\": lê 1234.5 e 0.030. Recusa \"1,5\" e \"1,234.5\" (vírgula)\n"
        "  e 1.234.567 (o ponto é a decimal e nada separa milhares).\n"
        "- Quantidades: recusa 0 e negativas (-0,5).\n"
        "- Datas: lê 14/12/2026, 14/12/26 (ano 2026, como o LibreOffice grava) e 2026-12-14. Recusa\n"
        "  31/02/2026 (data inexistente) e 1/3/2026 (use dd/mm/aaaa).\n"
        "- Códigos: lê \" 0009 \" como 0009 (o resumo conta os espaços tirados) e 1 como 0001 na filial.\n"
        "  Recusa 00011 na filial (mais de 4 caracteres), 00-1 (só letras e números) e um código novo que\n"
        "  só difere de um cadastrado nos zeros à esquerda (tipo de prato 007 quando há 07).\n"
        "- Produtos: lê 1010010001 e 1.01.001.0001. Recusa 101001000 (deve ter 10 dígitos).\n"
        "- Textos: recusa um nome mais longo que a coluna (nmfilial com 31 caracteres). S ou N: recusa s.\n"
        "- Referências: recusa uma receita de um prato que não existe no banco nem em pratos.csv.\n"
        "- Linhas: recusa uma linha com campos de mais ou de menos e uma chave repetida no arquivo.\n\n"
        "Preencha e importe os arquivos nesta ordem (cada um só se refere aos anteriores ou a ele mesmo);\n"
        "pode importar só alguns: o que já está no banco vale como referência.\n\n";
    size_t order = 0;
    for (const RecordKind& kind : recordKinds()) describeKind(kind, ++order, text);
    text +=
        "O que o cálculo precisa\n"
        "-----------------------\n"
        "- Requisições: filiais com o operador logístico que as abastece (cdfiliopelog), serviços e turnos,\n"
        "  produtos com grupo e agrupamento, pratos com suas receitas, cardápios e comensais de cada turno e\n"
        "  dia. Um turno com cardápio e sem comensais, ou com comensais e sem cardápio, e um prato sem\n"
        "  receita não geram matéria-prima: os dois cálculos, o de uma filial e o das filiais, avisam.\n"
        "- Consumo fixo e per capita: parametros.csv com os pratos e tipos de prato padrão\n"
        "  (cdtipopratoconsfixo, cdpratoconsfixo, cdtipopratoconsper, cdpratoconsper); sem eles o cálculo\n"
        "  desses consumos é recusado.\n"
        "- Previsão de consumo: uma filial com ol = S e as filiais que ela abastece.\n"
        "- Pedido que desconta saldo e sobras: a validade de cada produto (nrdiasvalidade em produtos.csv)\n"
        "  e, quando houver, as contagens de estoque das cozinhas (estoque.csv). Uma contagem vale pelo que\n"
        "  havia no início do seu dia; contagens de um produto e dia já gravadas (também pela tela \"Saldo da\n"
        "  Filial\") são substituídas pela do arquivo, que passa a constar como lançada pelo krv-dados. São\n"
        "  recusadas: filial ou produto que não existe, quantidade negativa ou que não é número, data\n"
        "  posterior a hoje. Exemplo de estoque.csv:\n"
        "      cdfilial;cdproduto;dtcontagem;qtestoque\n"
        "      0001;1030010001;14/12/2026;4,54\n"
        "      0001;1030010014;14/12/2026;0\n\n"
        "Importar: krv-dados importar --db BANCO --pasta PASTA [--simular] [--remover-ausentes]\n"
        "[--ignorar-outros]. Tudo é gravado numa transação só, ou nada. Com --remover-ausentes sai do\n"
        "banco o que um arquivo presente não lista mais, menos o que algo usa: isso fica, e o resumo diz\n"
        "numa linha por arquivo quantos e quem os usa (\"3 produtos mantidos: em uso por receitas\").\n";
    return text;
}

std::vector<std::string> writeTemplates(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::vector<std::string> written;
    for (const RecordKind& kind : recordKinds()) {
        std::string header = "\xEF\xBB\xBF";  // as the export writes them: a spreadsheet then reads UTF-8
        for (size_t i = 0; i < kind.columns.size(); ++i) header += (i ? ";" : "") + kind.columns[i].name;
        writeFile(folder / kind.file, header + "\r\n");
        written.push_back(kind.file);
    }
    std::string readMe;
    for (const char c : readMeText()) readMe += c == '\n' ? std::string("\r\n") : std::string(1, c);
    writeFile(folder / "LEIAME.txt", "\xEF\xBB\xBF" + readMe);
    written.push_back("LEIAME.txt");
    return written;
}

}  // namespace krv::server::transfer
