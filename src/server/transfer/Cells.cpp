#include "server/transfer/Cells.h"

#include <algorithm>
#include <charconv>
#include <optional>

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

bool allDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

CellReading problem(std::string text) { return {{}, std::move(text)}; }

// A code of digits shorter than its kind's width is completed with zeros as the screens
// complete a typed one: a spreadsheet that took "0101" for a number saved 101.
CellReading code(std::string_view cell, const Column& column) {
    if (column.pad && int(cell.size()) < column.pad && allDigits(cell))
        return {std::string(size_t(column.pad) - cell.size(), '0') + std::string(cell), {}, true};
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

// The number as from_chars reads it ("-1234.5"), or why its separators cannot be the file's:
// `impossible` then says which reading they would need and why it cannot be; empty for
// anything else that is not a number.
struct PlainNumber {
    std::optional<std::string> text;
    std::string impossible;
    char separator = 0;  // the one that may have been meant as the decimal one
};

std::string replaced(std::string_view text, char from, char to) {
    std::string out(text);
    std::replace(out.begin(), out.end(), from, to);
    return out;
}

// How to write the number when its one separator was meant as the decimal one.
std::string hintOf(std::string_view text, char separator, char decimal) {
    if (!separator || std::count(text.begin(), text.end(), separator) != 1 ||
        text.find(decimal) != std::string_view::npos)
        return {};
    return "; se " + std::string(separator == '.' ? "o ponto" : "a vírgula") + " é decimal, escreva \"" +
           replaced(text, separator, decimal) + "\"";
}

// A ";" file: digits, or one to three digits that are not a leading zero and then groups of
// three after dots, as a spreadsheet groups thousands; then perhaps a comma and decimals.
PlainNumber commaNumber(std::string_view text) {
    const auto thousands = [&](std::string why) {
        return PlainNumber{std::nullopt,
                           "não pode ser lido com o ponto separando milhares (" + why +
                               ") e, em arquivo separado por \";\", a vírgula é a decimal",
                           '.'};
    };
    const size_t comma = text.find(',');
    const std::string_view whole = text.substr(0, comma);
    if (comma != std::string_view::npos) {
        const std::string_view decimals = text.substr(comma + 1);
        if (decimals.find('.') != std::string_view::npos && allDigits(whole))
            return thousands("o ponto de milhares não vem depois da vírgula decimal");
        if (!allDigits(decimals)) return {};
    }
    std::string plain;
    for (size_t from = 0;;) {
        const size_t dot = whole.find('.', from);
        const std::string_view group = whole.substr(from, dot - from);
        if (!allDigits(group)) return {};
        const auto quoted = [&] { return "\"" + std::string(group) + "\""; };
        if (from == 0 && dot != std::string_view::npos && group[0] == '0')
            return thousands("nenhum milhar vem depois de um zero à esquerda");
        if (from == 0 && dot != std::string_view::npos && group.size() > 3)
            return thousands("antes do primeiro ponto vêm de 1 a 3 dígitos, não " + quoted());
        if (from != 0 && group.size() != 3) return thousands("cada milhar tem 3 dígitos, não " + quoted());
        plain += group;
        if (dot == std::string_view::npos) break;
        from = dot + 1;
    }
    if (comma == std::string_view::npos) return {plain};
    return {plain + "." + std::string(text.substr(comma + 1))};
}

// A "," file: digits and perhaps a point and decimals; nothing separates thousands.
PlainNumber pointNumber(std::string_view text) {
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const bool comma = text.find(',') != std::string_view::npos;
    if (comma || std::count(text.begin(), text.end(), '.') > 1) {
        const char separator = comma ? ',' : '.';
        if (!allDigits(replaced(replaced(text, ',', '0'), '.', '0'))) return {};
        return {std::nullopt,
                std::string(comma ? "não pode ser lido com vírgula, nem decimal nem de milhares"
                                  : "não pode ser lido com o ponto separando milhares") +
                    ": em arquivo separado por \",\" o ponto é a decimal e nada separa milhares",
                separator};
    }
    if (!allDigits(whole)) return {};
    if (point != std::string_view::npos && !allDigits(text.substr(point + 1))) return {};
    return {std::string(text)};
}

// Never read another way than the file's mark wants, so that "2.500" cannot become 2,5 nor
// "2.5" 25, and "0.030" in a file of decimal commas is not taken for 30.
PlainNumber plainNumber(std::string_view cell, DecimalMark mark) {
    std::string_view text = trimmed(cell);
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) text.remove_prefix(1);
    PlainNumber plain = mark == DecimalMark::Comma ? commaNumber(text) : pointNumber(text);
    if (plain.text && negative) plain.text->insert(0, "-");
    return plain;
}

std::string numberProblem(const char* what, std::string_view cell, DecimalMark mark, const PlainNumber& read) {
    const std::string quoted = "\"" + std::string(cell) + "\"";
    if (!read.impossible.empty())
        return std::string(what) + ": " + quoted + " " + read.impossible +
               hintOf(trimmed(cell), read.separator, mark == DecimalMark::Comma ? ',' : '.');
    return std::string(what) + ": " + quoted +
           (mark == DecimalMark::Comma
                ? " (arquivo separado por \";\": vírgula decimal e ponto só entre milhares, como 1.234,5)"
                : " (arquivo separado por \",\": ponto decimal e sem separador de milhares, como 1234.5)");
}

CellReading count(std::string_view cell, DecimalMark mark) {
    const PlainNumber read = plainNumber(cell, mark);
    const auto& text = read.text;
    int64_t n = 0;
    if (!text) return problem(numberProblem("número inteiro inválido", cell, mark, read));
    const char* last = text->data() + text->size();
    const auto [end, error] = std::from_chars(text->data(), last, n);
    if (error != std::errc() || end != last || n < 0)
        return problem(numberProblem("número inteiro inválido", cell, mark, read));
    return {n, {}};
}

// A whole number within the column's limit, when it has one (a shelf life of up to ten years).
CellReading atMost(CellReading read, const Column& column, std::string_view cell) {
    if (read.problem.empty() && column.size && std::get<int64_t>(read.value) > column.size)
        return problem("número acima de " + std::to_string(column.size) + ": \"" + std::string(cell) + "\"");
    return read;
}

CellReading amount(std::string_view cell, DecimalMark mark, bool zeroAllowed = false) {
    const PlainNumber read = plainNumber(cell, mark);
    const auto& text = read.text;
    double value = 0;
    // The text is digits and one decimal point by now: only a number too large is left to refuse.
    if (!text || std::from_chars(text->data(), text->data() + text->size(), value).ec != std::errc())
        return problem(numberProblem("número inválido", cell, mark, read));
    if (zeroAllowed && value < 0) return problem("a quantidade não pode ser negativa: \"" + std::string(cell) + "\"");
    if (!zeroAllowed && value <= 0)
        return problem("a quantidade deve ser maior que zero: \"" + std::string(cell) + "\"");
    return {value == 0 ? 0.0 : value, {}};  // "-0" is a count of nothing, written back as 0
}

bool shapeOfDate(std::string_view t) {
    const auto digitsAt = [&](size_t from, size_t n) {
        return t.substr(from, n).find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (t.size() != 10) return false;
    if (t[2] == '/' && t[5] == '/') return digitsAt(0, 2) && digitsAt(3, 2) && digitsAt(6, 4);
    return t[4] == '-' && t[7] == '-' && digitsAt(0, 4) && digitsAt(5, 2) && digitsAt(8, 2);
}

// A spreadsheet's short form "14/12/26" (LibreOffice's own in Portuguese) with its century:
// no date of this system is before 2000.
std::string withCentury(std::string text) {
    if (text.size() == 8 && text[2] == '/' && text[5] == '/' && allDigits(text.substr(6))) text.insert(6, "20");
    return text;
}

CellReading date(std::string_view cell) {
    const std::string written(trimmed(cell));
    const std::string text = withCentury(written);
    if (!shapeOfDate(text)) return problem("data em formato desconhecido (use dd/mm/aaaa): \"" + written + "\"");
    const auto parsed = text[2] == '/' ? DateTime::parseBr(text) : DateTime::parseIso(text);
    if (!parsed) return problem("data inexistente: \"" + written + "\"");
    return {*parsed, {}};
}

}  // namespace

DecimalMark decimalMarkOf(char fieldSeparator) {
    return fieldSeparator == ',' ? DecimalMark::Point : DecimalMark::Comma;
}

CellReading readCell(std::string_view cell, const Column& column, DecimalMark mark) {
    if (cell.empty()) {
        if (column.optional) return {};
        return problem("valor obrigatório");
    }
    switch (column.type) {
        case ColumnType::Code:
        case ColumnType::Digits: {
            // Spaces a person typed around a code are no part of it.
            const std::string_view bare = trimmed(cell);
            if (bare.empty()) return column.optional ? CellReading{} : problem("valor obrigatório");
            CellReading read = column.type == ColumnType::Code ? code(bare, column) : digits(bare, column);
            read.trimmed = bare.size() != cell.size();
            return read;
        }
        case ColumnType::Name:
            return name(cell, column);
        case ColumnType::Flag:
            if (cell != "S" && cell != "N") return problem("deve ser S ou N: \"" + std::string(cell) + "\"");
            return {std::string(cell), {}};
        case ColumnType::Count:
            return atMost(count(cell, mark), column, cell);
        case ColumnType::Amount:
            return amount(cell, mark);
        case ColumnType::Quantity:
            return amount(cell, mark, true);
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
