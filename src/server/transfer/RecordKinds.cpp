#include "server/transfer/RecordKinds.h"

#include <algorithm>
#include <map>

namespace krv::server::transfer {

namespace {

using T = ColumnType;

Column key(const char* name, ColumnType type, int size) { return {name, type, size, true}; }
Column value(const char* name, ColumnType type, int size = 0) { return {name, type, size}; }
Column optional(const char* name, ColumnType type, int size) { return {name, type, size, false, true}; }

// Files written before products had a shelf life still import: a new product then gets 0
// (only the day it arrives), which leaves its orders as they were; a stored product keeps the
// shelf life it has, since a file that does not name the column says nothing about it (an
// older export read back must not undo what was set since).
Column shelfLife() {
    Column column = value("nrdiasvalidade", ColumnType::Count, 3650);
    column.absentAs = "0";
    return column;
}

Column countDay() {
    Column column = key("dtcontagem", ColumnType::Date, 0);
    column.notAfterToday = true;
    return column;
}

// The columns that name a branch, a service and so on in the tables that keep records alive.
Use branchUse(const char* table, const char* label, std::vector<const char*> columns) {
    Use use{table, label, {}};
    for (const char* column : columns) use.columnSets.push_back({column});
    return use;
}

std::vector<RecordKind> makeKinds() {
    const Use requisitionsOfService{"requisition", "requisições", {{"cdfilial", "cdservfili"}}};
    const Use ordersOfService{"purchase_order", "pedidos", {{"cdfilial", "cdservfili"}}};
    const Use forecastsOfService{"consumption_forecast", "previsões de consumo", {{"cdfilial", "cdservfili"}}};
    return {
        {"filiais.csv",
         "branch",
         "filial",
         {key("cdfilial", T::Code, 4), value("nmfilial", T::Name, 30), value("ol", T::Flag),
          optional("cdfiliopelog", T::Code, 4), value("dtproc", T::Date)},
         {{{3}, "branch"}},
         {branchUse("requisition", "requisições", {"cdfilial", "cdfiliopelog", "cdfildest", "cdfillanc"}),
          branchUse("purchase_order", "pedidos", {"cdfilial", "cdfiliopelog", "cdfilproc"}),
          branchUse("consumption_forecast", "previsões de consumo", {"cdfilial", "cdfiliopelog"})}},
        {"servicos.csv",
         "service",
         "serviço",
         {key("cdfilial", T::Code, 4), key("cdservfili", T::Code, 5), value("nmservico", T::Name, 40)},
         {{{0}, "branch"}},
         {requisitionsOfService, ordersOfService, forecastsOfService}},
        {"turnos.csv",
         "shift",
         "turno",
         {key("cdfilial", T::Code, 4), key("cdservfili", T::Code, 5), key("cdturno", T::Code, 1),
          value("nmturno", T::Name, 10)},
         {{{0, 1}, "service"}},
         {{"requisition", "requisições", {{"cdfilial", "cdservfili", "cdturno"}}}}},
        {"grupos_produto.csv",
         "product_group",
         "grupo de produtos",
         {key("cdgrupprod", T::Code, 10), value("nmgrupprod", T::Name, 40)},
         {},
         {{"requisition", "requisições", {{"cdgrupprod"}}}}},
        {"agrupamentos_produto.csv",
         "product_grouping",
         "agrupamento de produtos",
         {key("cdgrupprod", T::Code, 10), key("cdsubgrprod", T::Code, 10), value("nmsubgrprod", T::Name, 40)},
         {{{0}, "product_group"}},
         {{"requisition", "requisições", {{"cdgrupprod", "cdsubgrprod"}}}}},
        {"produtos.csv",
         "product",
         "produto",
         {key("cdproduto", T::Digits, 10), value("nmproduto", T::Name, 60), value("sgunidade", T::Name, 4),
          value("cdgrupprod", T::Code, 10), value("cdsubgrprod", T::Code, 10), value("qtembalagem", T::Amount),
          shelfLife()},
         {{{3, 4}, "product_grouping"}},
         {{"requisition_item", "itens de requisição", {{"cdproduto"}}},
          {"purchase_order_item", "itens de pedido", {{"cdproduto"}}},
          {"consumption_forecast", "previsões de consumo", {{"cdproduto"}}}}},
        {"tipos_prato.csv",
         "dish_type",
         "tipo de prato",
         {key("cdtipoprato", T::Code, 4), value("nmtipoprato", T::Name, 40)},
         {},
         {}},
        {"pratos.csv",
         "dish",
         "prato",
         {key("cdprato", T::Code, 4), value("nmprato", T::Name, 60), value("cdtipoprato", T::Code, 4)},
         {{{2}, "dish_type"}},
         {}},
        {"receitas.csv",
         "recipe",
         "receita",
         {key("cdprato", T::Code, 4), key("cdproduto", T::Digits, 10), value("qtpercapita", T::Amount)},
         {{{0}, "dish"}, {{1}, "product"}},
         {}},
        {"cardapios.csv",
         "menu",
         "cardápio",
         {key("cdfilial", T::Code, 4), key("cdservfili", T::Code, 5), key("cdturno", T::Code, 1),
          key("dtcardapio", T::Date, 0), key("cdprato", T::Code, 4)},
         {{{0, 1, 2}, "shift"}, {{4}, "dish"}},
         {},
         false,
         {0, 3},
         {0, 1, 2, 3}},
        {"comensais.csv",
         "diners_forecast",
         "previsão de comensais",
         {key("cdfilial", T::Code, 4), key("cdservfili", T::Code, 5), key("cdturno", T::Code, 1),
          key("dtprevisao", T::Date, 0), value("nrcomensais", T::Count)},
         {{{0, 1, 2}, "shift"}},
         {},
         false,
         {0, 3}},
        {"consumo_fixo.csv",
         "fixed_consumption",
         "consumo fixo",
         {key("cdfilial", T::Code, 4), key("cdservfili", T::Code, 5), key("cdproduto", T::Digits, 10),
          value("qtdiaria", T::Amount)},
         {{{0, 1}, "service"}, {{2}, "product"}},
         {},
         false,
         {0}},
        {"consumo_percapita.csv",
         "percapita_consumption",
         "consumo per capita",
         {key("cdfilial", T::Code, 4), key("cdservfili", T::Code, 5), key("cdproduto", T::Digits, 10),
          value("qtpercapita", T::Amount)},
         {{{0, 1}, "service"}, {{2}, "product"}},
         {},
         false,
         {0}},
        {"parametros.csv",
         "parameters",
         "parâmetros",
         {optional("cdtipopratoconsfixo", T::Code, 4), optional("cdpratoconsfixo", T::Code, 4),
          optional("cdtipopratoconsper", T::Code, 4), optional("cdpratoconsper", T::Code, 4)},
         {{{0}, "dish_type"}, {{1}, "dish"}, {{2}, "dish_type"}, {{3}, "dish"}},
         {},
         true},
        {"mascaras_codigo.csv",
         "code_picture",
         "máscara de código",
         {key("tppicture", T::Count, 0), value("dspicture", T::Name, 40)},
         {},
         {}},
        {"estoque.csv",
         "stock_count",
         "contagem de estoque",
         {key("cdfilial", T::Code, 4), key("cdproduto", T::Digits, 10), countDay(), value("qtestoque", T::Quantity)},
         {{{0}, "branch"}, {{1}, "product"}},
         {},
         false,
         {},
         {},
         true,
         true},
    };
}

// The widths codes are completed to, by column, as the screens show them: a spreadsheet
// that took "0101" for a number saved 101.
int screenWidth(const std::string& column) {
    static const std::map<std::string, int> widths = {
        {"cdfilial", 4},        {"cdfiliopelog", 4},        {"cdservfili", 4},         {"cdprato", 4},
        {"cdpratoconsfixo", 4}, {"cdpratoconsper", 4},      {"cdgrupprod", 2},         {"cdsubgrprod", 4},
        {"cdtipoprato", 2},     {"cdtipopratoconsfixo", 2}, {"cdtipopratoconsper", 2},
    };
    const auto width = widths.find(column);
    return width == widths.end() ? 0 : width->second;
}

}  // namespace

std::string RecordKind::columnNames(const std::vector<int>& indexes) const {
    std::string out;
    for (int i : indexes) out += (out.empty() ? "" : "/") + columns[size_t(i)].name;
    return out;
}

bool RecordKind::refersTo(const std::string& otherTable) const {
    return std::any_of(references.begin(), references.end(), [&](const Reference& r) { return r.kind == otherTable; });
}

const std::vector<RecordKind>& recordKinds() {
    static const std::vector<RecordKind> kinds = [] {
        std::vector<RecordKind> made = makeKinds();
        for (RecordKind& kind : made)
            for (size_t i = 0; i < kind.columns.size(); ++i) {
                if (kind.columns[i].key) kind.keys.push_back(int(i));
                if (kind.columns[i].type == ColumnType::Code) kind.columns[i].pad = screenWidth(kind.columns[i].name);
            }
        return made;
    }();
    return kinds;
}

const RecordKind* kindOfTable(const std::string& table) {
    for (const RecordKind& kind : recordKinds())
        if (kind.table == table) return &kind;
    return nullptr;
}

}  // namespace krv::server::transfer
