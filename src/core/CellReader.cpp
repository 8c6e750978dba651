#include "CellReader.h"

#include <bit>
#include <limits>

#include "Errors.h"
#include "RowStash.h"
#include "Text.h"

namespace krv::codec::detail {
namespace {

const char* kindOf(uint8_t first) {
    if (first <= 0x7f || first >= 0xe0 || (first >= 0xcc && first <= 0xd3)) return "inteiro";
    if (first <= 0x8f || first == 0xde || first == 0xdf) return "mapa";
    if (first <= 0x9f || first == 0xdc || first == 0xdd) return "lista";
    if (first <= 0xbf || (first >= 0xd9 && first <= 0xdb)) return "texto";
    if (first == 0xc2 || first == 0xc3) return "lógico";
    if (first == 0xca || first == 0xcb) return "número";
    if (first >= 0xc4 && first <= 0xc6) return "binário";
    if ((first >= 0xc7 && first <= 0xc9) || (first >= 0xd4 && first <= 0xd8)) return "extensão";
    return "desconhecido";
}

class CellReader {
public:
    CellReader(std::string_view bytes, size_t& offset, size_t maxStringBytes)
        : bytes_(bytes), offset_(offset), maxStringBytes_(maxStringBytes) {}

    bool arrayHeader(uint32_t& n);
    // False for an empty text, which the caller notes.
    bool readCell(Variant& cell, const FieldDef& f, size_t r);

private:
    uint8_t peek() const;
    const char* take(size_t n);
    uint64_t bigEndian(int n) { return readBigEndian(take(size_t(n)), n); }
    size_t stringLength(uint8_t first, size_t r, const FieldDef& f);
    int64_t integer(uint8_t first, size_t r, const FieldDef& f);
    bool extHeader(uint8_t first, size_t& size, int8_t& type);
    [[noreturn]] static void failCell(size_t r, const FieldDef& f, uint8_t first);

    std::string_view bytes_;
    size_t& offset_;
    size_t maxStringBytes_;
};

}  // namespace

void fail(const std::string& what) { throw EDecodeError("Dados inválidos: " + what); }
void failPacket(const std::string& what) { throw EDecodeError("Pacote inválido: " + what); }

int64_t checkedUnsigned(uint64_t value) {
    if (value > uint64_t(std::numeric_limits<int64_t>::max()))
        fail("inteiro " + std::to_string(value) + " acima do maior aceito, 9223372036854775807 (2^63-1)");
    return int64_t(value);
}

uint64_t readBigEndian(const char* at, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | uint8_t(at[i]);
    return v;
}

DateTime timestampOf(const char* body, size_t size) {
    DateTime t;
    switch (size) {
        case 4:
            t.seconds = int64_t(readBigEndian(body, 4));
            break;
        case 8: {
            const uint64_t v = readBigEndian(body, 8);
            t.nanoseconds = uint32_t(v >> 34);
            t.seconds = int64_t(v & ((1ull << 34) - 1));
            break;
        }
        case 12:
            t.nanoseconds = uint32_t(readBigEndian(body, 4));
            t.seconds = int64_t(readBigEndian(body + 4, 8));
            break;
        default:
            fail("data com " + std::to_string(size) + " bytes (esperados 4, 8 ou 12)");
    }
    if (t.nanoseconds >= kNanosPerSecond) fail("data com nanossegundos fora do intervalo");
    if (t.seconds < DateTime::kMinSeconds || t.seconds > DateTime::kMaxSeconds) fail("data fora dos anos 0001 a 9999");
    return t;
}

std::string_view checkedText(const char* data, size_t size) {
    const std::string_view s(data, size);
    if (!isAscii(s) && !isValidUtf8(s)) fail("texto não é UTF-8 válido");
    return s;
}

bool CellReader::arrayHeader(uint32_t& n) {
    const uint8_t first = peek();
    if ((first & 0xF0) == 0x90) {
        ++offset_;
        n = first & 0x0F;
        return true;
    }
    if (first != 0xdc && first != 0xdd) return false;
    ++offset_;
    n = uint32_t(bigEndian(first == 0xdc ? 2 : 4));
    return true;
}

bool CellReader::readCell(Variant& cell, const FieldDef& f, size_t r) {
    const uint8_t first = uint8_t(*take(1));
    if (first == 0xc0) return cell = Variant(), true;
    switch (f.type) {
        case FieldType::String:
        case FieldType::Fixed: {
            const size_t n = stringLength(first, r, f);
            if (n > maxStringBytes_) fail("texto maior que o limite ou que a entrada");
            cell.setString(checkedText(take(n), n));
            return n != 0;
        }
        case FieldType::Integer:
            cell = integer(first, r, f);
            return true;
        case FieldType::Float:
            if (first == 0xcb)
                cell = std::bit_cast<double>(bigEndian(8));
            else if (first == 0xca)
                cell = double(std::bit_cast<float>(uint32_t(bigEndian(4))));
            else
                cell = double(integer(first, r, f));
            return true;
        case FieldType::DateTime: {
            size_t n;
            int8_t type;
            if (!extHeader(first, n, type) || type != kTimestampExtType) failCell(r, f, first);
            cell = timestampOf(take(n), n);
            return true;
        }
        case FieldType::Bool:
            if (first != 0xc2 && first != 0xc3) failCell(r, f, first);
            cell = first == 0xc3;
            return true;
    }
    return true;
}

uint8_t CellReader::peek() const {
    if (offset_ >= bytes_.size()) fail("a entrada termina no meio de um valor");
    return uint8_t(bytes_[offset_]);
}

const char* CellReader::take(size_t n) {
    if (bytes_.size() - offset_ < n) fail("a entrada termina no meio de um valor");
    const char* at = bytes_.data() + offset_;
    offset_ += n;
    return at;
}

size_t CellReader::stringLength(uint8_t first, size_t r, const FieldDef& f) {
    if ((first & 0xE0) == 0xA0) return first & 0x1F;
    if (first >= 0xd9 && first <= 0xdb) return size_t(bigEndian(1 << (first - 0xd9)));
    failCell(r, f, first);
}

int64_t CellReader::integer(uint8_t first, size_t r, const FieldDef& f) {
    if (first <= 0x7f) return first;
    if (first >= 0xe0) return int8_t(first);
    if (first >= 0xcc && first <= 0xcf) {
        return checkedUnsigned(bigEndian(1 << (first - 0xcc)));
    }
    if (first >= 0xd0 && first <= 0xd3) {
        const int bytes = 1 << (first - 0xd0);
        const uint64_t v = bigEndian(bytes);
        const int unused = 64 - 8 * bytes;  // sign-extend from the value's width
        return unused == 0 ? int64_t(v) : int64_t(v << unused) >> unused;
    }
    failCell(r, f, first);
}

// The body size and type of an extension; false when the value is none.
bool CellReader::extHeader(uint8_t first, size_t& size, int8_t& type) {
    if (first >= 0xd4 && first <= 0xd8)
        size = size_t(1) << (first - 0xd4);
    else if (first >= 0xc7 && first <= 0xc9)
        size = size_t(bigEndian(1 << (first - 0xc7)));
    else
        return false;
    type = int8_t(*take(1));
    return true;
}

void CellReader::failCell(size_t r, const FieldDef& f, uint8_t first) {
    failPacket("linha " + std::to_string(r + 1) + ", campo " + f.name + ": " + kindOf(first) + " não é do tipo " +
               fieldTypeName(f.type));
}

bool readArrayHeader(std::string_view bytes, size_t& offset, uint32_t& n) {
    return CellReader(bytes, offset, 0).arrayHeader(n);
}

void readRows(std::string_view bytes, size_t& offset, uint32_t rowCount, const std::vector<FieldDef>& fields,
              size_t maxStringBytes, std::vector<Row>& rows, std::vector<uint32_t>& rowsWithEmptyText) {
    CellReader reader(bytes, offset, maxStringBytes);
    const size_t width = fields.size();
    rows = rowstash::takeList(rowCount);
    const size_t reused = rows.size();
    for (uint32_t r = 0; r < rowCount; ++r) {
        uint32_t cells;
        if (!reader.arrayHeader(cells)) failPacket("a linha " + std::to_string(r + 1) + " deveria ser uma lista");
        if (cells != width)
            failPacket("linha " + std::to_string(r + 1) + " tem " + std::to_string(cells) + " valores para " +
                       std::to_string(width) + " campos");
        // A kept row keeps its first cells, with their text storage, to be overwritten.
        Row* row;
        if (r < reused) {
            row = &rows[r];
            if (!rowstash::fits(*row, width)) Row().swap(*row);
            if (r + 1 < reused) rowstash::prefetch(rows[r + 1]);
        } else {
            row = &rows.emplace_back();
        }
        row->resize(width);
        bool noEmptyText = true;
        for (size_t c = 0; c < width; ++c) noEmptyText &= reader.readCell((*row)[c], fields[c], r);
        if (!noEmptyText) rowsWithEmptyText.push_back(r);
    }
}

}  // namespace krv::codec::detail
