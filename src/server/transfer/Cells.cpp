#include "server/transfer/Cells.h"

#include <charconv>
#include <cmath>

#include "core/CsvCell.h"
#include "core/Text.h"

namespace krv::server::transfer {

namespace {

// The writer puts an apostrophe before a text a spreadsheet would take for a formula, and
// before a text that already starts with one, so that taking exactly one off gives back
// every text, also one a person typed starting with an apostrophe.
constexpr std::string_view kGuarded = "=+-@\t\r'";

std::string unguarded(std::string_view cell) {
    if (cell.size() >= 2 && cell[0] == '\'' && kGuarded.find(cell[1]) != std::string_view::npos) cell.remove_prefix(1);
    return std::string(cell);
}

size_t characters(std::string_view text) {
    size_t n = 0;
    for (char c : text) n += (uint8_t(c) & 0xC0) != 0x80;
    return n;
}

bool lettersAndDigits(std::string_view text) {
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
    return true;
}

CellReading problem(std::string text) { return {{}, std::move(text)}; }

CellReading code(std::string_view cell, const Column& column) {
    if (int(cell.size()) > column.size)
        return problem("código com mais de " + std::to_string(column.size) + " caracteres: \"" + std::string(cell) +
                       "\"");
    if (!lettersAndDigits(cell)) return problem("código só pode ter letras e números: \"" + std::string(cell) + "\"");
    return {std::string(cell), {}};
}

// Product codes may come as the code picture shows them, "1.01.001.0001".
CellReading digits(std::string_view cell, const Column& column) {
    std::string bare;
    for (char c : cell)
        if (c != '.') bare += c;
    if (int(bare.size()) != column.size || bare.find_first_not_of("0123456789") != std::string::npos)
        return problem("código deve ter " + std::to_string(column.size) + " dígitos: \"" + std::string(cell) + "\"");
    return {bare, {}};
}

CellReading name(std::string_view cell, const Column& column) {
    std::string text = unguarded(cell);
    if (int(characters(text)) > column.size)
        return problem("texto com mais de " + std::to_string(column.size) + " caracteres");
    return {std::move(text), {}};
}

CellReading count(std::string_view cell) {
    const std::string_view text = trimmed(cell);
    int64_t n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || n < 0)
        return problem("número inteiro inválido: \"" + std::string(cell) + "\"");
    return {n, {}};
}

// A quantity as a spreadsheet here or abroad saves it. With both "." and ",", the dots group
// thousands and the comma is the decimal ("1.234,5"); with only a comma, it is the decimal
// ("0,25"); with only a point, it is the decimal too ("0.25"), as an English spreadsheet
// writes it: one dot alone is never read as thousands.
CellReading amount(std::string_view cell) {
    std::string text(trimmed(cell));
    const size_t comma = text.find(',');
    if (comma != std::string::npos) {
        const size_t lastDot = text.rfind('.');
        if (text.find(',', comma + 1) != std::string::npos || (lastDot != std::string::npos && lastDot > comma))
            return problem("número inválido: \"" + std::string(cell) + "\"");
        std::string plain;
        for (char c : text)
            if (c != '.') plain += c == ',' ? '.' : c;
        text = std::move(plain);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return problem("número inválido: \"" + std::string(cell) + "\"");
    if (value <= 0) return problem("a quantidade deve ser maior que zero: \"" + std::string(cell) + "\"");
    return {value, {}};
}

bool shapeOfDate(std::string_view t) {
    const auto digitsAt = [&](size_t from, size_t n) {
        return t.substr(from, n).find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (t.size() != 10) return false;
    if (t[2] == '/' && t[5] == '/') return digitsAt(0, 2) && digitsAt(3, 2) && digitsAt(6, 4);
    return t[4] == '-' && t[7] == '-' && digitsAt(0, 4) && digitsAt(5, 2) && digitsAt(8, 2);
}

CellReading date(std::string_view cell) {
    const std::string text(trimmed(cell));
    if (!shapeOfDate(text)) return problem("data em formato desconhecido (use dd/mm/aaaa): \"" + text + "\"");
    const auto parsed = text[2] == '/' ? DateTime::parseBr(text) : DateTime::parseIso(text);
    if (!parsed) return problem("data inexistente: \"" + text + "\"");
    return {*parsed, {}};
}

}  // namespace

CellReading readCell(std::string_view cell, const Column& column) {
    if (cell.empty()) {
        if (column.optional) return {};
        return problem("valor obrigatório");
    }
    switch (column.type) {
        case ColumnType::Code:
            return code(cell, column);
        case ColumnType::Digits:
            return digits(cell, column);
        case ColumnType::Name:
            return name(cell, column);
        case ColumnType::Flag:
            if (cell != "S" && cell != "N") return problem("deve ser S ou N: \"" + std::string(cell) + "\"");
            return {std::string(cell), {}};
        case ColumnType::Count:
            return count(cell);
        case ColumnType::Amount:
            return amount(cell);
        case ColumnType::Date:
            return date(cell);
    }
    return problem("tipo de coluna desconhecido");
}

std::string writeCell(const Value& value) {
    struct Writer {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(const std::string& text) const {
            return csvTextCell(!text.empty() && text[0] == '\'' ? "'" + text : text);
        }
        std::string operator()(int64_t n) const { return std::to_string(n); }
        std::string operator()(double q) const { return csvNumberCell(q); }
        std::string operator()(DateTime d) const { return d.toBr(); }
    };
    return std::visit(Writer{}, value);
}

std::string keyText(const Record& record, const std::vector<int>& columns) {
    std::string out;
    keyText(record, columns, out);
    return out;
}

void keyText(const Record& record, const std::vector<int>& columns, std::string& out) {
    out.clear();
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) out += '\x1f';
        const int column = columns[i];
        const Value& v = record[size_t(column)];
        if (const auto* text = std::get_if<std::string>(&v))
            out += *text;
        else if (const auto* n = std::get_if<int64_t>(&v))
            out += std::to_string(*n);
        else if (const auto* d = std::get_if<DateTime>(&v))
            out += d->toIso();
    }
}

}  // namespace krv::server::transfer
