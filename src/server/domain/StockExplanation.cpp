#include "server/domain/StockExplanation.h"

#include <optional>
#include <string>

#include "core/NumberText.h"
#include "server/domain/Explanation.h"
#include "server/domain/StockLedger.h"

namespace krv::server {

namespace {

std::string dayMonth(DateTime day) { return day.toBr().substr(0, 5); }

std::string amount(double quantity, const std::string& unit) { return quantityText(quantity) + " " + unit; }

Row row(const char* kind, const std::string& text, std::optional<double> quantity) {
    return {Variant(std::string()),
            Variant(std::string(kind)),
            Variant(std::string()),
            Variant(text),
            Variant(),
            Variant(),
            quantity ? Variant(*quantity) : Variant()};
}

std::string sourceText(const OrderReadStore::LineFigures& line, const StockSource& source) {
    const std::string life =
        ", validade " + std::to_string(line.shelfLife) + (line.shelfLife == 1 ? " dia)" : " dias)");
    const std::string used = "Saldo de " + dayMonth(line.day) + ": " + amount(source.quantity, line.unit) + " (";
    switch (StockOrigin(source.origin)) {
        case StockOrigin::Count:
            return "Contagem de " + dayMonth(source.day) + ": " + amount(source.quantity, line.unit);
        case StockOrigin::Receipt:
            return used + "recebido em " + dayMonth(source.day) + " no pedido " + std::to_string(source.order) + life;
        case StockOrigin::PendingOrder:
            return used + "pedido " + std::to_string(source.order) + " para " + dayMonth(source.day) + life;
        case StockOrigin::Surplus:
            return used + "sobra da embalagem recebida em " + dayMonth(source.day) + life;
        case StockOrigin::Expired:
            return "Vencido em " + dayMonth(source.day) + ": " + amount(source.quantity, line.unit);
    }
    return {};
}

bool expired(const StockSource& source) { return StockOrigin(source.origin) == StockOrigin::Expired; }

}  // namespace

DataPacket explainOrderLine(const OrderReadStore::LineFigures& line) {
    DataPacket packet{explanationFields(), {}};
    const Micros need = toMicros(line.need), bought = toMicros(line.bought);
    packet.rows.push_back(row("NECESSARIO", "Necessário em " + dayMonth(line.day), line.need));
    Micros fromStock = 0;
    for (const auto& source : line.sources) {
        if (expired(source)) continue;
        fromStock += toMicros(source.quantity);
        packet.rows.push_back(row("SALDO", sourceText(line, source), -source.quantity));
    }
    for (const auto& source : line.sources)
        if (expired(source)) packet.rows.push_back(row("VENCIDO", sourceText(line, source), std::nullopt));
    const Micros rest = need - fromStock;
    if (bought != rest)
        packet.rows.push_back(row("ARREDONDA",
                                  "Arredondamento em embalagens de " + quantityText(line.package) + ": de " +
                                      quantityText(fromMicros(rest)) + " para " + quantityText(line.bought),
                                  fromMicros(bought - rest)));
    packet.rows.push_back(row("TOTAL", "Quantidade comprada", line.bought));
    return packet;
}

std::vector<Row> stockRowsFor(int64_t order, const OrderReadStore::LineFigures& line) {
    std::vector<Row> rows;
    if (line.sources.empty()) return rows;
    rows.push_back(row("PEDIDO",
                       "No pedido " + std::to_string(order) + ": necessário " + amount(line.need, line.unit) +
                           ", do saldo " + amount(line.fromStock, line.unit) + ", comprado " +
                           amount(line.bought, line.unit),
                       std::nullopt));
    for (const auto& source : line.sources)
        rows.push_back(row(expired(source) ? "VENCIDO" : "SALDO", sourceText(line, source), std::nullopt));
    return rows;
}

}  // namespace krv::server
