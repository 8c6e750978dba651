#include "server/domain/Explanation.h"

#include <cmath>
#include <cstdio>

#include "core/NumberText.h"

namespace krv::server {

namespace {

// As the user reads numbers: decimal comma, the stored decimals at most, no trailing zeros.
std::string decimal(double value) {
    char text[400];
    std::snprintf(text, sizeof text, "%.*f", kQuantityDecimals, value);
    std::string out(text);
    while (out.back() == '0') out.pop_back();
    if (out.back() == '.') out.pop_back();
    if (out == "-0") out = "0";
    for (char& c : out)
        if (c == '.') c = ',';
    return out;
}

// Quantities in millionths, the stored precision: as whole numbers the lines add up to the
// stored quantity exactly, and each line is a decimal the user can add up by hand.
int64_t millionths(double quantity) { return std::llround(roundedQuantity(quantity) * 1e6); }
double quantityOf(int64_t millionths) { return double(millionths) / 1e6; }

Row line(const StoredQuantity& s, const char* kind, const std::string& shift, const std::string& label,
         std::optional<int64_t> diners, std::optional<double> perUnit, int64_t quantity) {
    return {Variant(s.type),
            Variant(std::string(kind)),
            Variant(shift),
            Variant(label),
            diners ? Variant(*diners) : Variant(),
            perUnit ? Variant(*perUnit) : Variant(),
            Variant(quantityOf(quantity))};
}

void explainOne(const StoredQuantity& s, const std::vector<MakeUpPart>& parts, std::vector<Row>& rows) {
    double base = 0;
    int64_t running = 0;  // what the lines so far add up to
    for (const MakeUpPart& part : parts)
        if (s.type.empty() || part.type == s.type) {
            base += part.quantity;
            running += millionths(part.quantity);
        }
    const double percent = s.increase.value_or(0);
    const double increased = base * (1 + percent / 100);
    // The calculation's own rounding, epsilon included. Sums come out of the database in
    // another order than here: a millionth either way is the same quantity.
    const int64_t today = millionths(s.package ? std::ceil(increased / *s.package - 1e-9) * *s.package : increased);
    const int64_t stored = millionths(s.quantity);
    const auto total = [&] {
        return line(s, "TOTAL", "", "Quantidade armazenada", std::nullopt, std::nullopt, stored);
    };
    if (std::llabs(today - stored) > 1) {
        std::string why = s.increase
                              ? "o cardápio, os comensais, as receitas ou os consumos mudaram depois do cálculo."
                              : "o item foi calculado antes de se guardarem o acréscimo e o arredondamento usados.";
        rows.push_back(line(s, "DIFERENCA", "",
                            "Recalculada hoje: " + decimal(quantityOf(today)) + "; diferença de " +
                                decimal(quantityOf(today - stored)) + " da armazenada: " + why,
                            std::nullopt, std::nullopt, today - stored));
        rows.push_back(total());
        return;
    }
    for (const MakeUpPart& part : parts)
        if (s.type.empty() || part.type == s.type)
            rows.push_back(line(s,
                                part.type == "C"   ? "PRATO"
                                : part.type == "P" ? "PERCAPITA"
                                                   : "FIXO",
                                part.shift, part.label, part.diners, part.perUnit, millionths(part.quantity)));
    if (percent != 0) {
        const int64_t afterIncrease = millionths(increased);
        rows.push_back(line(s, "ACRESCIMO", "", "Acréscimo de " + decimal(percent) + "%", std::nullopt, percent,
                            afterIncrease - running));
        running = afterIncrease;
    }
    if (s.package) {
        rows.push_back(line(s, "ARREDONDA", "",
                            "Arredondamento em embalagens de " + decimal(*s.package) + ": de " +
                                decimal(quantityOf(running)) + " para " + decimal(quantityOf(stored)),
                            std::nullopt, *s.package, stored - running));
        running = stored;
    }
    // Parts rounded one by one may differ from their sum rounded by a millionth or so.
    if (running != stored)
        rows.push_back(line(s, "ARREDONDA", "",
                            "Arredondamento a " + std::to_string(kQuantityDecimals) + " casas decimais: de " +
                                decimal(quantityOf(running)) + " para " + decimal(quantityOf(stored)),
                            std::nullopt, std::nullopt, stored - running));
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
