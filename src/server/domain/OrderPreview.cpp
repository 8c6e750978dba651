#include "server/domain/OrderPreview.h"

#include "rpc/Dispatcher.h"
#include "server/domain/OrderNetting.h"
#include "server/stores/OrderPreviewStore.h"
#include "server/stores/OrderStore.h"

namespace krv::server {

namespace {

constexpr size_t kNamedChanges = 3;

// Everything the user chose that shapes the orders, as one text.
std::string argumentsOf(const OrderRequest& request) {
    return std::string(request.perShift ? "S" : "N") + "|" + request.branch.value_or("") + "|" +
           request.service.value_or("") + "|" + (request.roundToPackage ? "S" : "N") + "|" +
           request.period.start.toIso() + "|" + request.period.end.toIso() + (request.netStock ? "|S" : "");
}

// "a requisição 12 recebeu pedido; a requisição 15 foi recalculada", the first few of them.
std::string changesBetween(const OrderPreviewStore::Digests& previewed, const OrderPreviewStore::Digests& now) {
    std::vector<std::string> changes;
    const auto note = [&](int64_t number, const char* what) {
        changes.push_back("a requisição " + std::to_string(number) + " " + what);
    };
    for (const auto& [number, digest] : previewed) {
        const auto at = now.find(number);
        if (at == now.end())
            note(number, "recebeu pedido");
        else if (at->second != digest)
            note(number, "foi recalculada");
    }
    for (const auto& [number, digest] : now)
        if (!previewed.count(number)) note(number, "ficou sem pedido");
    std::string text;
    for (size_t i = 0; i < changes.size() && i < kNamedChanges; ++i) text += (i ? "; " : "") + changes[i];
    if (changes.size() > kNamedChanges) text += " e mais " + std::to_string(changes.size() - kNamedChanges);
    return text;
}

// The lines the netted generation would write, numbered as it would number their orders.
DataPacket nettedPreview(db::Connection& c, const OrderRequest& request) {
    NettedOrders netted = netOrders(c, request);
    if (netted.groups.empty()) throw rpc::MethodFailure(kNothingPending);
    const auto orders = numberBuyingOrders(netted, 0);
    return OrderPreviewStore(c).nettedLines(orders, netted.lines, netted.roundedRequisitions);
}

}  // namespace

DataPacket previewOrders(db::Connection& connection, const OrderRequest& request) {
    // The lines and the remembered state come from one snapshot: what is remembered is
    // exactly what the lines were computed from.
    return connection.write(
        [&](db::Connection& c) {
            claimKitchensOf(c, request);
            OrderPreviewStore store(c);
            DataPacket lines = request.netStock ? nettedPreview(c, request) : store.lines(request);
            if (!request.netStock && lines.rows.empty()) throw rpc::MethodFailure(kNothingPending);
            for (Row& row : lines.rows) {
                if (row[7].isNull()) continue;
                const double ordered = row[11].asDouble(), packageSize = row[12].asDouble();
                row[13] = Variant(ordered / packageSize);
                row[14] = Variant(ordered - (row[10].asDouble() - row[15].asDouble()));
            }
            store.remember(request.list, {argumentsOf(request), store.openListed(request)});
            return lines;
        },
        db::WriteKind::Claimed);
}

void requireAsPreviewed(db::Connection& connection, const OrderRequest& request) {
    OrderPreviewStore store(connection);
    const auto preview = store.remembered(request.list);
    if (!preview) return;  // never previewed: callers that do not preview keep generating as before
    const std::string again = " Nada foi gerado; confirme de novo para ver a nova prévia.";
    if (preview->arguments != argumentsOf(request))
        throw rpc::MethodFailure("A geração foi pedida com outras opções que as da prévia." + again);
    const std::string changes = changesBetween(preview->requisitions, store.openListed(request));
    if (!changes.empty())
        throw rpc::MethodFailure("As requisições marcadas mudaram desde a prévia: " + changes + "." + again);
}

void claimKitchensOf(db::Connection& connection, const OrderRequest& request) {
    std::vector<std::string> kitchens = OrderStore(connection).kitchensOfList(request.list);
    if (request.branch) kitchens.push_back(*request.branch);
    connection.claim(db::ClaimKind::Kitchen, std::move(kitchens));
}

void forgetPreview(db::Connection& connection, int64_t list) { OrderPreviewStore(connection).forget(list); }

}  // namespace krv::server
