#include "server/domain/StockKeeping.h"

#include <algorithm>
#include <cmath>

#include "core/NumberText.h"
#include "server/checks/Arguments.h"
#include "server/domain/OrderShipment.h"
#include "server/domain/StockLedger.h"

namespace krv::server {

namespace {

void requireNotAfterToday(DateTime day, DateTime now, const std::string& what) {
    if (day > now.date()) refuse(what + " " + day.toBr() + " é posterior a hoje (" + now.date().toBr() + ").");
}

}  // namespace

int64_t receiveOrders(db::Connection& connection, const ReceiptRequest& request) {
    requireNotAfterToday(request.day, request.now, "A data de recebimento");
    return connection.write([&](db::Connection& c) {
        OrderReadStore store(c);
        const auto states = store.states(request.orders, request.viewer);
        for (const int64_t number : request.orders) {
            const auto at = states.find(number);
            if (at == states.end()) refuse("Pedido " + std::to_string(number) + " não existe.");
            if (at->second.situation == OrderSituation::Cancelled)
                refuse("Pedido " + std::to_string(number) + " está cancelado e não pode ser recebido.");
            if (at->second.receivedOn) refuse(alreadyReceived(number, *at->second.receivedOn));
        }
        for (const int64_t number : request.orders) {
            const auto ordered = store.orderedLines(number);
            for (const auto& [product, quantity] : request.lines) {
                const auto line = ordered.find(product);
                if (line == ordered.end())
                    refuse("O produto " + product + " não está no pedido " + std::to_string(number) + ".");
                // Compared at the stored precision: ten times 7,46 is 74,6, not a hair less.
                if (!std::isfinite(quantity) || quantity < 0 ||
                    toMicros(quantity) > toMicros(kMostReceivedTimesOrdered * line->second))
                    refuse("Quantidade recebida do produto " + product + " deve ser de 0 a " +
                           quantityText(kMostReceivedTimesOrdered * line->second) + " (10 vezes o pedido).");
            }
            store.markReceived(number, request.day, request.lines, request.operatorCode, request.now);
        }
        return int64_t(request.orders.size());
    });
}

int64_t saveCounts(db::Connection& connection, const std::string& kitchen, const std::vector<StockStore::Count>& counts,
                   const std::string& operatorCode, DateTime now) {
    if (counts.empty()) refuse("Nenhuma contagem informada.");
    for (const StockStore::Count& count : counts) {
        requireNotAfterToday(count.day, now, "A contagem de " + count.product + " em");
        if (!std::isfinite(count.quantity) || count.quantity < 0)
            refuse("A contagem do produto " + count.product + " deve ser um número maior ou igual a 0.");
    }
    return connection.write([&](db::Connection& c) {
        StockStore store(c);
        for (const StockStore::Count& count : counts)
            if (!store.productIfAny(count.product)) refuse("Produto " + count.product + " não cadastrado.");
        std::vector<StockStore::Count> rounded = counts;
        for (StockStore::Count& count : rounded) count.quantity = roundedQuantity(count.quantity);
        store.saveCounts(kitchen, rounded, operatorCode, now);
        return int64_t(counts.size());
    });
}

const std::vector<FieldDef>& balanceFields() {
    static const std::vector<FieldDef> fields{
        {"CDPRODUTO", FieldType::String, 10},   {"NMPRODUTO", FieldType::String, 60},
        {"SGUNIDADE", FieldType::String, 4},    {"NRDIASVALIDADE", FieldType::Integer, 0},
        {"DTCONTAGEM", FieldType::DateTime, 0}, {"QTCONTAGEM", FieldType::Float, 0},
        {"QTSALDO", FieldType::Float, 0}};
    return fields;
}

DataPacket kitchenBalance(db::Connection& connection, const std::string& kitchen, DateTime day) {
    StockStore store(connection);
    const auto products = store.kitchenProducts(kitchen, day);
    int longest = 0;
    for (const auto& product : products) longest = std::max(longest, product.shelfLife);
    std::map<std::string, std::vector<StockEvent>> events;
    std::map<std::string, int> shelfLife;
    for (const auto& product : products) shelfLife[product.code] = product.shelfLife;
    const DateTime from = day.addDays(-longest);
    store.ledgerRows({kitchen}, from, from, day, [&](const StockRow& row) {
        const auto life = shelfLife.find(row.product);
        if (life == shelfLife.end() || row.day < day.addDays(-life->second)) return;
        events[row.product].push_back(eventOf(row));
    });
    DataPacket packet{balanceFields(), {}};
    for (const auto& product : products)
        packet.rows.push_back(
            {Variant(product.code), Variant(product.name), Variant(product.unit), Variant(int64_t(product.shelfLife)),
             product.countedOn ? Variant(*product.countedOn) : Variant(),
             product.counted ? Variant(*product.counted) : Variant(),
             Variant(fromMicros(availableAt(std::move(events[product.code]), product.shelfLife, day)))});
    return packet;
}

}  // namespace krv::server
