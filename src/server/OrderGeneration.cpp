#include "server/OrderGeneration.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <string_view>

#include "rpc/Dispatcher.h"
#include "server/OrderPreview.h"
#include "server/OrderStore.h"

namespace krv::server {

namespace {

[[noreturn]] void refuse(const std::string& message) { throw rpc::MethodFailure(message); }

bool isLetterOrDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool isCode(std::string_view text, size_t maxChars) {
    if (text.empty() || text.size() > maxChars) return false;
    for (char c : text)
        if (!isLetterOrDigit(c)) return false;
    return true;
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::toupper((unsigned char)x) == std::toupper((unsigned char)y); });
}

bool isBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// Field positions in requisitionListFields().
constexpr size_t kMark = 0, kNumber = 1, kDay = 6, kOrder = 13, kBranch = 18;

// A requisition number as the client's float field carries it.
std::optional<int64_t> requisitionNumber(const Variant& value) {
    if (value.type() == Variant::Type::Int) return value.asInt() > 0 ? std::optional(value.asInt()) : std::nullopt;
    if (value.type() != Variant::Type::Double) return std::nullopt;
    const double d = value.asDouble();
    if (!(d >= 1 && d <= 9.0e15) || d != std::trunc(d)) return std::nullopt;
    return int64_t(d);
}

}  // namespace

const std::vector<FieldDef>& requisitionListFields() {
    static const std::vector<FieldDef> fields{{"IDMARCADO", FieldType::Fixed, 1},
                                              {"NRREQUIPEDIDO", FieldType::Float, 0},
                                              {"CDSERVFILI", FieldType::String, 5},
                                              {"NMSERVICO", FieldType::String, 40},
                                              {"CDTURNO", FieldType::String, 1},
                                              {"NMTURNO", FieldType::String, 10},
                                              {"DTREQUIPEDIDO", FieldType::DateTime, 0},
                                              {"NRSEQREQUIPEDIDO", FieldType::String, 10},
                                              {"CDGRUPPROD", FieldType::String, 10},
                                              {"CDSUBGRPROD", FieldType::String, 10},
                                              {"NMSUBGRPROD", FieldType::String, 40},
                                              {"CDFILIOPELOG", FieldType::String, 4},
                                              {"NMFILIOPELOG", FieldType::String, 30},
                                              {"NRPEDEXOL", FieldType::String, 10},
                                              {"CDFILDEST", FieldType::String, 4},
                                              {"CDFILLANC", FieldType::String, 4},
                                              {"DTREQUIPEDIDO_PESQ", FieldType::String, 10},
                                              {"FILIOPELOG", FieldType::String, 34},
                                              {"CDFILIAL", FieldType::String, 4}};
    return fields;
}

std::optional<std::set<GroupingKey>> requireGroupingSelection(const Variant& value) {
    constexpr size_t kGroupChars = 10;
    constexpr const char* kWhat = "Seleção de agrupamentos";
    const auto fail = [&](const std::string& problem) { refuse(std::string(kWhat) + " " + problem); };
    if (!value.isString()) fail("deve ser um texto.");
    const std::string& text = value.str();
    if (text == "T") return std::nullopt;
    if (text.empty() || text == "_") fail("deve ser informada.");
    if (text.front() != '_' || text.back() != '_')
        fail("deve ser \"T\" ou chaves, cada uma seguida de \"_\", após um \"_\" inicial (\"_chave1_chave2_\").");
    std::set<GroupingKey> keys;
    for (size_t start = 1; start < text.size();) {
        const size_t end = text.find('_', start);
        const std::string_view key(text.data() + start, end - start);
        const std::string_view padded = key.substr(0, std::min(key.size(), kGroupChars));
        const std::string_view group = padded.substr(0, padded.find_last_not_of(' ') + 1);
        if (key.size() <= kGroupChars || !isCode(group, kGroupChars) || !isCode(key.substr(kGroupChars), 10))
            fail("deve ter, em cada chave, o grupo completado com brancos até 10 caracteres e o agrupamento.");
        keys.emplace(std::string(group), std::string(key.substr(kGroupChars)));
        start = end + 1;
    }
    return keys;
}

std::vector<ListedRequisition> requisitionsToList(db::Connection& connection, const Variant& packet) {
    if (packet.type() != Variant::Type::Packet) refuse("A lista de requisições deve ser um pacote de dados.");
    const DataPacket& list = packet.packet();
    const auto& expected = requisitionListFields();
    bool same = list.fields.size() == expected.size();
    for (size_t i = 0; same && i < expected.size(); ++i)
        same = list.fields[i].type == expected[i].type && sameName(list.fields[i].name, expected[i].name);
    if (!same) {
        std::string names;
        for (const FieldDef& field : expected) names += (names.empty() ? "" : ", ") + field.name;
        refuse("O pacote enviado não é a lista de requisições: os campos devem ser " + names + ".");
    }
    std::vector<ListedRequisition> marked;
    std::set<int64_t> seen;
    for (const Row& row : list.rows) {
        if (row.size() != expected.size()) refuse("A lista de requisições tem uma linha incompleta.");
        if (!(row[kMark].isString() && row[kMark].str() == "S") || !isBlank(row[kOrder].asString())) continue;
        const auto number = requisitionNumber(row[kNumber]);
        if (!number) refuse("A lista de requisições tem um número de requisição inválido: " + row[kNumber].asString());
        if (row[kDay].type() != Variant::Type::DateTime || !row[kBranch].isString())
            refuse("A requisição " + std::to_string(*number) + " da lista não tem filial e data.");
        if (seen.insert(*number).second) marked.push_back({*number, row[kBranch].str(), row[kDay].asDateTime().date()});
    }
    if (marked.empty()) refuse("Requisição deve ser selecionada.");
    std::vector<int64_t> numbers;
    for (const ListedRequisition& r : marked) numbers.push_back(r.number);
    const auto found = OrderStore(connection).branchAndDay(numbers);
    for (const ListedRequisition& r : marked) {
        const auto at = found.find(r.number);
        if (at == found.end() || at->second != std::pair(r.branch, r.day))
            refuse("A requisição " + std::to_string(r.number) + " não existe na filial " + r.branch + " em " +
                   r.day.toBr() + ".");
    }
    return marked;
}

GeneratedOrders generateOrders(db::Connection& connection, const OrderRequest& request,
                               const std::function<void()>& midway) {
    return connection.write([&](db::Connection& c) {
        OrderStore store(c);
        const int64_t after = store.claimOrderNumbers();
        requireAsPreviewed(c, request);
        const int64_t orders = store.insertOrders(request, after);
        if (orders == 0) refuse(kNothingPending);
        if (midway) midway();
        store.markRequisitions(request, after);
        store.insertItemsAndCount(after, orders, request.roundToPackage);
        forgetPreview(c, request.list);
        return GeneratedOrders{orders, after + 1, after + orders};
    });
}

}  // namespace krv::server
