#include "server/domain/OrderGeneration.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string_view>
#include <unordered_set>

#include "server/checks/Arguments.h"
#include "server/domain/OrderNetting.h"
#include "server/domain/OrderPreview.h"
#include "server/stores/OrderStore.h"

namespace krv::server {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::toupper((unsigned char)x) == std::toupper((unsigned char)y); });
}

bool isBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// A requisition number as the client's float field carries it.
std::optional<int64_t> requisitionNumber(const Variant& value) {
    if (value.type() == Variant::Type::Int) return value.asInt() > 0 ? std::optional(value.asInt()) : std::nullopt;
    if (value.type() != Variant::Type::Double) return std::nullopt;
    const double d = value.asDouble();
    if (!(d >= 1 && d <= 9.0e15) || d != std::trunc(d)) return std::nullopt;
    return int64_t(d);
}

GeneratedOrders generateNetted(db::Connection& c, const OrderRequest& request, int64_t after,
                               const std::function<void()>& midway) {
    NettedOrders netted = netOrders(c, request);
    if (netted.groups.empty()) refuse(kNothingPending);
    const auto made = numberBuyingOrders(netted, after);
    GeneratedOrders generated{int64_t(made.size()), made.empty() ? 0 : after + 1,
                              made.empty() ? 0 : after + int64_t(made.size()), 0};
    for (const OrderStore::Group& group : netted.groups) generated.metFromStock += int64_t(group.requisitions.size());
    for (const auto& [number, group] : made) generated.metFromStock -= int64_t(group->requisitions.size());
    if (midway) midway();
    OrderStore(c).insertNetted(request, made, netted.lines, after + int64_t(made.size()));
    forgetPreview(c, request.list);
    return generated;
}

}  // namespace

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
    marked.reserve(list.rows.size());
    std::unordered_set<int64_t> seen(list.rows.size());
    for (const Row& row : list.rows) {
        if (row.size() != expected.size()) refuse("A lista de requisições tem uma linha incompleta.");
        if (!(row[kListMark].isString() && row[kListMark].str() == "S") || !isBlank(row[kListOrder].asString()))
            continue;
        const auto number = requisitionNumber(row[kListNumber]);
        if (!number)
            refuse("A lista de requisições tem um número de requisição inválido: " + row[kListNumber].asString());
        if (row[kListDay].type() != Variant::Type::DateTime || !row[kListBranch].isString())
            refuse("A requisição " + std::to_string(*number) + " da lista não tem filial e data.");
        if (seen.insert(*number).second)
            marked.push_back({*number, row[kListBranch].str(), row[kListDay].asDateTime().date()});
    }
    if (marked.empty()) refuse("Requisição deve ser selecionada.");
    std::vector<int64_t> numbers;
    numbers.reserve(marked.size());
    for (const ListedRequisition& r : marked) numbers.push_back(r.number);
    // In number order each chunk of the lookup reads neighbouring rows, not pages all over the table.
    std::sort(numbers.begin(), numbers.end());
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
    return connection.write(
        [&](db::Connection& c) {
            OrderStore store(c);
            claimKitchensOf(c, request);
            requireAsPreviewed(c, request);
            const int64_t after = store.claimOrderNumbers();
            if (request.netStock) return generateNetted(c, request, after, midway);
            const int64_t orders = store.insertOrders(request, after);
            if (orders == 0) refuse(kNothingPending);
            if (midway) midway();
            store.markRequisitions(request, after);
            store.insertItemsAndCount(after, orders, request.roundToPackage);
            forgetPreview(c, request.list);
            return GeneratedOrders{orders, after + 1, after + orders};
        },
        db::WriteKind::Claimed);
}

}  // namespace krv::server
