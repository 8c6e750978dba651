#include "server/domain/Explanation.h"

#include <cmath>
#include <cstdio>

namespace krv::server {

namespace {

// As the user reads numbers: decimal comma, at most four decimals, no trailing zeros.
std::string decimal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.4f", value);
    std::string out(text);
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    if (out == "-0") out = "0";
    for (char& c : out)
        if (c == '.') c = ',';
    return out;
}

// The same quantity but for the last bits of a double: sums come out of the database in
// another order than here.
bool same(double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b)); }

Row line(const StoredQuantity& s, const char* kind, const std::string& shift, const std::string& label,
         std::optional<int64_t> diners, std::optional<double> perUnit, double quantity) {
    return {Variant(s.type),
            Variant(std::string(kind)),
            Variant(shift),
            Variant(label),
            diners ? Variant(*diners) : Variant(),
            perUnit ? Variant(*perUnit) : Variant(),
            Variant(quantity)};
}

void explainOne(const StoredQuantity& s, const std::vector<MakeUpPart>& parts, std::vector<Row>& rows) {
    double base = 0;
    for (const MakeUpPart& part : parts)
        if (s.type.empty() || part.type == s.type) base += part.quantity;
    const double percent = s.increase.value_or(0);
    const double increased = base * (1 + percent / 100);
    // The calculation's own rounding, epsilon included.
    const double today = s.package ? std::ceil(increased / *s.package - 1e-9) * *s.package : increased;
    const auto total = [&] {
        return line(s, "TOTAL", "", "Quantidade armazenada", std::nullopt, std::nullopt, s.quantity);
    };
    if (!same(today, s.quantity)) {
        std::string why = s.increase
                              ? "o cardápio, os comensais, as receitas ou os consumos mudaram depois do cálculo."
                              : "o item foi calculado antes de se guardarem o acréscimo e o arredondamento usados.";
        rows.push_back(line(s, "DIFERENCA", "",
                            "Recalculada hoje: " + decimal(today) + "; diferença de " + decimal(today - s.quantity) +
                                " da armazenada: " + why,
                            std::nullopt, std::nullopt, today - s.quantity));
        rows.push_back(total());
        return;
    }
    for (const MakeUpPart& part : parts)
        if (s.type.empty() || part.type == s.type)
            rows.push_back(line(s,
                                part.type == "C"   ? "PRATO"
                                : part.type == "P" ? "PERCAPITA"
                                                   : "FIXO",
                                part.shift, part.label, part.diners, part.perUnit, part.quantity));
    if (percent != 0)
        rows.push_back(line(s, "ACRESCIMO", "", "Acréscimo de " + decimal(percent) + "%", std::nullopt, percent,
                            increased - base));
    if (s.package)
        rows.push_back(line(s, "ARREDONDA", "",
                            "Arredondamento em embalagens de " + decimal(*s.package) + ": de " + decimal(increased) +
                                " para " + decimal(s.quantity),
                            std::nullopt, *s.package, s.quantity - increased));
    rows.push_back(total());
}

}  // namespace

const std::vector<FieldDef>& explanationFields() {
    static const std::vector<FieldDef> fields{
        {"TPCONSUMO", FieldType::String, 1},    {"TPLINHA", FieldType::String, 10},
        {"CDTURNO", FieldType::String, 1},      {"DSLINHA", FieldType::String, 200},
        {"NRCOMENSAIS", FieldType::Integer, 0}, {"QTUNITARIA", FieldType::Float, 0},
        {"QTLINHA", FieldType::Float, 0}};
    return fields;
}

DataPacket explain(const std::vector<StoredQuantity>& stored, const std::vector<MakeUpPart>& parts) {
    DataPacket packet{explanationFields(), {}};
    for (const StoredQuantity& s : stored) explainOne(s, parts, packet.rows);
    return packet;
}

}  // namespace krv::server
