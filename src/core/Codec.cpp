#include "Codec.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <stdexcept>
#include <unordered_set>

#include <msgpack.hpp>

#include "Errors.h"
#include "RowStash.h"
#include "Text.h"

namespace krv::codec {
namespace {

constexpr int8_t kTimestampExtType = -1;
constexpr uint32_t kNanosPerSecond = 1000000000u;

// ---- encoding ------------------------------------------------------------------------

struct StringSink {
    std::string& out;
    void write(const char* data, size_t size) { out.append(data, size); }
};
using Packer = msgpack::packer<StringSink>;

uint32_t checkedCount(size_t n) {
    if (n > std::numeric_limits<uint32_t>::max()) throw std::invalid_argument("Lista grande demais para codificar");
    return uint32_t(n);
}

void putBigEndian(char* at, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i, value >>= 8) at[i] = char(value & 0xFF);
}

void packString(Packer& pk, const std::string& s) {
    if (!isValidUtf8(s)) throw std::invalid_argument("Texto não é UTF-8 válido: não pode ser codificado");
    pk.pack_str(checkedCount(s.size()));
    pk.pack_str_body(s.data(), uint32_t(s.size()));
}

// The smallest of the three timestamp forms that holds the value.
void packTimestamp(Packer& pk, const DateTime& t) {
    if (t.nanoseconds >= kNanosPerSecond) throw std::invalid_argument("Data com nanossegundos inválidos");
    if (t.seconds < DateTime::kMinSeconds || t.seconds > DateTime::kMaxSeconds)
        throw std::invalid_argument("Data fora dos anos 0001 a 9999");
    char body[12];
    size_t size;
    if (t.nanoseconds == 0 && t.seconds >= 0 && t.seconds <= 0xFFFFFFFFll) {
        putBigEndian(body, uint64_t(t.seconds), 4);
        size = 4;
    } else if (t.seconds >= 0 && t.seconds < (1ll << 34)) {
        putBigEndian(body, (uint64_t(t.nanoseconds) << 34) | uint64_t(t.seconds), 8);
        size = 8;
    } else {
        putBigEndian(body, t.nanoseconds, 4);
        putBigEndian(body + 4, uint64_t(t.seconds), 8);
        size = 12;
    }
    pk.pack_ext(size, kTimestampExtType);
    pk.pack_ext_body(body, uint32_t(size));
}

void packValue(Packer& pk, const Variant& v) {
    switch (v.type()) {
    case Variant::Type::Null: pk.pack_nil(); break;
    case Variant::Type::Bool: v.asBool() ? pk.pack_true() : pk.pack_false(); break;
    case Variant::Type::Int: pk.pack_int64(v.asInt()); break;
    case Variant::Type::Double: pk.pack_double(v.asDouble()); break;
    case Variant::Type::String: packString(pk, v.str()); break;
    case Variant::Type::DateTime: packTimestamp(pk, v.asDateTime()); break;
    case Variant::Type::Array:
        pk.pack_array(checkedCount(v.array().size()));
        for (const Variant& item : v.array()) packValue(pk, item);
        break;
    case Variant::Type::Packet: {
        const std::string inner = encodePacket(v.packet());
        pk.pack_ext(inner.size(), kPacketExtType);
        pk.pack_ext_body(inner.data(), uint32_t(inner.size()));
        break;
    }
    }
}

bool cellFitsField(const Variant& v, FieldType t) {
    switch (t) {
    case FieldType::String:
    case FieldType::Fixed: return v.isString();
    case FieldType::Integer: return v.type() == Variant::Type::Int;
    case FieldType::Float: return v.isNumber();
    case FieldType::DateTime: return v.type() == Variant::Type::DateTime;
    case FieldType::Bool: return v.type() == Variant::Type::Bool;
    }
    return false;
}

void packCell(Packer& pk, const Variant& v, const FieldDef& f, size_t row) {
    if (v.isNull()) return pk.pack_nil(), void();
    if (!cellFitsField(v, f.type))
        throw std::invalid_argument("Pacote: linha " + std::to_string(row + 1) + ", campo " + f.name +
                                    ": valor não é do tipo " + fieldTypeName(f.type));
    if (f.type == FieldType::Float) pk.pack_double(v.asDouble());
    else packValue(pk, v);
}

void packPacketBody(Packer& pk, const DataPacket& p) {
    pk.pack_array(2);
    pk.pack_array(checkedCount(p.fields.size()));
    for (const FieldDef& f : p.fields) {
        if (f.size < 0) throw std::invalid_argument("Pacote: tamanho negativo no campo " + f.name);
        pk.pack_array(3);
        packString(pk, f.name);
        packString(pk, fieldTypeName(f.type));
        pk.pack_int(f.size);
    }
    pk.pack_array(checkedCount(p.rows.size()));
    for (size_t r = 0; r < p.rows.size(); ++r) {
        const Row& row = p.rows[r];
        if (row.size() != p.fields.size())
            throw std::invalid_argument("Pacote: linha " + std::to_string(r + 1) + " tem " + std::to_string(row.size()) +
                                        " valores para " + std::to_string(p.fields.size()) + " campos");
        pk.pack_array(uint32_t(row.size()));
        for (size_t c = 0; c < row.size(); ++c) packCell(pk, row[c], p.fields[c], r);
    }
}

// ---- decoding ------------------------------------------------------------------------

[[noreturn]] void fail(const std::string& what) { throw EDecodeError("Dados inválidos: " + what); }
[[noreturn]] void failPacket(const std::string& what) { throw EDecodeError("Pacote inválido: " + what); }

uint64_t readBigEndian(const char* at, int bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | uint8_t(at[i]);
    return v;
}

const char* typeName(msgpack::type::object_type t) {
    switch (t) {
    case msgpack::type::NIL: return "nulo";
    case msgpack::type::BOOLEAN: return "lógico";
    case msgpack::type::POSITIVE_INTEGER:
    case msgpack::type::NEGATIVE_INTEGER: return "inteiro";
    case msgpack::type::FLOAT32:
    case msgpack::type::FLOAT64: return "número";
    case msgpack::type::STR: return "texto";
    case msgpack::type::ARRAY: return "lista";
    case msgpack::type::MAP: return "mapa";
    case msgpack::type::BIN: return "binário";
    case msgpack::type::EXT: return "extensão";
    }
    return "desconhecido";
}

DateTime timestampOf(const char* d, size_t size) {
    DateTime t;
    switch (size) {
    case 4: t.seconds = int64_t(readBigEndian(d, 4)); break;
    case 8: {
        const uint64_t v = readBigEndian(d, 8);
        t.nanoseconds = uint32_t(v >> 34);
        t.seconds = int64_t(v & ((1ull << 34) - 1));
        break;
    }
    case 12:
        t.nanoseconds = uint32_t(readBigEndian(d, 4));
        t.seconds = int64_t(readBigEndian(d + 4, 8));
        break;
    default: fail("data com " + std::to_string(size) + " bytes (esperados 4, 8 ou 12)");
    }
    if (t.nanoseconds >= kNanosPerSecond) fail("data com nanossegundos fora do intervalo");
    if (t.seconds < DateTime::kMinSeconds || t.seconds > DateTime::kMaxSeconds) fail("data fora dos anos 0001 a 9999");
    return t;
}

std::string_view checkedText(const char* data, size_t size) {
    std::string_view s(data, size);
    if (!isValidUtf8(s)) fail("texto não é UTF-8 válido");
    return s;
}

std::string textOf(const msgpack::object& o) { return std::string(checkedText(o.via.str.ptr, o.via.str.size)); }

int64_t integerOf(const msgpack::object& o) {
    if (o.type == msgpack::type::NEGATIVE_INTEGER) return o.via.i64;
    if (o.via.u64 > uint64_t(std::numeric_limits<int64_t>::max())) fail("inteiro fora do intervalo de 64 bits");
    return int64_t(o.via.u64);
}

bool isInteger(const msgpack::object& o) {
    return o.type == msgpack::type::POSITIVE_INTEGER || o.type == msgpack::type::NEGATIVE_INTEGER;
}

// Reads the cells of a packet's rows straight from the bytes. A cell is a scalar or a
// date, and building msgpack's object tree for each of a hundred thousand rows cost
// more than everything else a list load does; so the few forms a cell may take are
// read here, and anything else is refused as a value of the wrong type.
class CellReader {
public:
    CellReader(std::string_view bytes, size_t& offset, size_t maxStringBytes)
        : bytes_(bytes), offset_(offset), maxStringBytes_(maxStringBytes) {}

    // The item count of a row; false, with nothing consumed, when the next value is no array.
    bool arrayHeader(uint32_t& n) {
        const uint8_t first = peek();
        if ((first & 0xF0) == 0x90) return ++offset_, n = first & 0x0F, true;
        if (first != 0xdc && first != 0xdd) return false;
        ++offset_;
        n = uint32_t(bigEndian(first == 0xdc ? 2 : 4));
        return true;
    }

    // Overwrites `cell`, whose text storage, when it has some, is reused.
    void readCell(Variant& cell, const FieldDef& f, size_t r) {
        const uint8_t first = uint8_t(*take(1));
        if (first == 0xc0) return cell = Variant(), void();
        switch (f.type) {
        case FieldType::String:
        case FieldType::Fixed: {
            const size_t n = stringLength(first, r, f);
            if (n > maxStringBytes_) fail("texto maior que o limite ou que a entrada");
            cell.setString(checkedText(take(n), n));
            return;
        }
        case FieldType::Integer: cell = integer(first, r, f); return;
        case FieldType::Float:
            if (first == 0xcb) cell = std::bit_cast<double>(bigEndian(8));
            else if (first == 0xca) cell = double(std::bit_cast<float>(uint32_t(bigEndian(4))));
            else cell = double(integer(first, r, f));
            return;
        case FieldType::DateTime: {
            int8_t type;
            const size_t n = extLength(first, type);
            if (n == kNotExt || type != kTimestampExtType) failCell(r, f, first);
            cell = timestampOf(take(n), n);
            return;
        }
        case FieldType::Bool:
            if (first != 0xc2 && first != 0xc3) failCell(r, f, first);
            cell = first == 0xc3;
            return;
        }
    }

private:
    static constexpr size_t kNotExt = size_t(-1);

    uint8_t peek() const {
        if (offset_ >= bytes_.size()) fail("a entrada termina no meio de um valor");
        return uint8_t(bytes_[offset_]);
    }

    const char* take(size_t n) {
        if (bytes_.size() - offset_ < n) fail("a entrada termina no meio de um valor");
        const char* at = bytes_.data() + offset_;
        offset_ += n;
        return at;
    }

    uint64_t bigEndian(int n) { return readBigEndian(take(size_t(n)), n); }

    size_t stringLength(uint8_t first, size_t r, const FieldDef& f) {
        if ((first & 0xE0) == 0xA0) return first & 0x1F;
        if (first >= 0xd9 && first <= 0xdb) return size_t(bigEndian(1 << (first - 0xd9)));
        failCell(r, f, first);
    }

    int64_t integer(uint8_t first, size_t r, const FieldDef& f) {
        if (first <= 0x7f) return first;
        if (first >= 0xe0) return int8_t(first);
        if (first >= 0xcc && first <= 0xcf) {
            const uint64_t v = bigEndian(1 << (first - 0xcc));
            if (v > uint64_t(std::numeric_limits<int64_t>::max())) fail("inteiro fora do intervalo de 64 bits");
            return int64_t(v);
        }
        if (first >= 0xd0 && first <= 0xd3) {
            const int bytes = 1 << (first - 0xd0);
            const uint64_t v = bigEndian(bytes);
            const int unused = 64 - 8 * bytes;  // sign-extend from the value's width
            return unused == 0 ? int64_t(v) : int64_t(v << unused) >> unused;
        }
        failCell(r, f, first);
    }

    // The body size of an extension, with its type; kNotExt when the value is none.
    size_t extLength(uint8_t first, int8_t& type) {
        size_t n;
        if (first >= 0xd4 && first <= 0xd8) n = size_t(1) << (first - 0xd4);
        else if (first >= 0xc7 && first <= 0xc9) n = size_t(bigEndian(1 << (first - 0xc7)));
        else return kNotExt;
        type = int8_t(*take(1));
        return n;
    }

    static const char* kindOf(uint8_t first) {
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

    [[noreturn]] static void failCell(size_t row, const FieldDef& f, uint8_t first) {
        failPacket("linha " + std::to_string(row + 1) + ", campo " + f.name + ": " + kindOf(first) +
                   " não é do tipo " + fieldTypeName(f.type));
    }

    std::string_view bytes_;
    size_t& offset_;
    size_t maxStringBytes_;
};

class Decoder {
public:
    explicit Decoder(const Limits& limits) : limits_(limits) {}

    Variant value(std::string_view bytes) {
        checkSize(bytes);
        msgpack::zone zone;
        size_t offset = 0;
        const msgpack::object o = unpackAt(zone, bytes, offset, limits_.maxDepth);
        checkEnd(bytes, offset);
        return convert(o, 0);
    }

    DataPacket packet(std::string_view bytes) {
        checkSize(bytes);
        msgpack::zone zone;
        size_t offset = 0;
        const uint32_t parts = arrayHeader(bytes, offset, "o pacote");
        if (parts != 2) failPacket("esperado [campos, linhas], há " + std::to_string(parts) + " elementos");
        DataPacket p;
        p.fields = fieldsOf(unpackAt(zone, bytes, offset, 2));
        const uint32_t rowCount = arrayHeader(bytes, offset, "a lista de linhas");
        if (rowCount > bytes.size() - offset) fail("lista maior que a entrada");
        count(rowCount);
        p.rows.reserve(rowCount);
        const size_t width = p.fields.size();
        CellReader reader(bytes, offset, limits_.maxStringBytes);
        for (uint32_t r = 0; r < rowCount; ++r) {
            uint32_t cells;
            if (!reader.arrayHeader(cells)) failPacket("a linha " + std::to_string(r + 1) + " deveria ser uma lista");
            if (cells != width)
                failPacket("linha " + std::to_string(r + 1) + " tem " + std::to_string(cells) + " valores para " +
                           std::to_string(width) + " campos");
            count(width);
            Row& row = p.rows.emplace_back(rowstash::take());
            row.resize(width);
            for (size_t c = 0; c < width; ++c) reader.readCell(row[c], p.fields[c], r);
        }
        checkEnd(bytes, offset);
        return p;
    }

private:
    void checkSize(std::string_view bytes) const {
        if (bytes.size() > limits_.maxBytes)
            fail(std::to_string(bytes.size()) + " bytes excedem o limite de " + std::to_string(limits_.maxBytes));
    }

    static void checkEnd(std::string_view bytes, size_t offset) {
        if (offset != bytes.size()) fail(std::to_string(bytes.size() - offset) + " bytes sobrando depois do valor");
    }

    // The header of an array that the packet's layout requires at this place.
    static uint32_t arrayHeader(std::string_view bytes, size_t& offset, const std::string& what) {
        uint32_t n;
        if (!CellReader(bytes, offset, 0).arrayHeader(n)) failPacket(what + " deveria ser uma lista");
        return n;
    }

    // One value at `offset`, parsed by msgpack under limits that no array or string can
    // claim more than the input holds, so a short hostile header cannot make it allocate much.
    msgpack::object unpackAt(msgpack::zone& zone, std::string_view bytes, size_t& offset, size_t depth) const {
        const size_t available = bytes.size() - offset;
        const msgpack::unpack_limit limit(std::min(limits_.maxElements, available), 0,
                                          std::min(limits_.maxStringBytes, available), 0, available, depth);
        // Strings and extensions point into `bytes`, which outlives the conversion.
        const auto referenceAll = [](msgpack::type::object_type, std::size_t, void*) { return true; };
        try {
            return msgpack::unpack(zone, bytes.data(), bytes.size(), offset, referenceAll, nullptr, limit);
        } catch (const msgpack::insufficient_bytes&) {
            fail("a entrada termina no meio de um valor");
        } catch (const msgpack::depth_size_overflow&) {
            fail("aninhamento acima do limite (" + std::to_string(depth) + ")");
        } catch (const msgpack::map_size_overflow&) {
            fail("mapas não são aceitos");
        } catch (const msgpack::bin_size_overflow&) {
            fail("dados binários não são aceitos");
        } catch (const msgpack::str_size_overflow&) {
            fail("texto maior que o limite ou que a entrada");
        } catch (const msgpack::array_size_overflow&) {
            fail("lista maior que o limite ou que a entrada");
        } catch (const msgpack::size_overflow&) {
            fail("extensão maior que a entrada");
        } catch (const msgpack::unpack_error& e) {
            fail(std::string("byte de formato desconhecido (") + e.what() + ")");
        }
    }

    void count(size_t n) {
        elements_ += n;
        if (elements_ > limits_.maxElements) fail("mais de " + std::to_string(limits_.maxElements) + " elementos");
    }

    void enter(size_t depth) const {
        if (depth > limits_.maxDepth) fail("aninhamento acima do limite (" + std::to_string(limits_.maxDepth) + ")");
    }

    Variant convert(const msgpack::object& o, size_t depth) {
        switch (o.type) {
        case msgpack::type::NIL: return {};
        case msgpack::type::BOOLEAN: return o.via.boolean;
        case msgpack::type::POSITIVE_INTEGER:
        case msgpack::type::NEGATIVE_INTEGER: return integerOf(o);
        case msgpack::type::FLOAT32:
        case msgpack::type::FLOAT64: return o.via.f64;
        case msgpack::type::STR: return textOf(o);
        case msgpack::type::ARRAY: {
            enter(depth + 1);
            count(o.via.array.size);
            Variant::Array items;
            items.reserve(o.via.array.size);
            for (uint32_t i = 0; i < o.via.array.size; ++i) items.push_back(convert(o.via.array.ptr[i], depth + 1));
            return items;
        }
        case msgpack::type::EXT:
            if (o.via.ext.type() == kTimestampExtType) return timestampOf(o.via.ext.data(), o.via.ext.size);
            if (o.via.ext.type() == kPacketExtType) {
                enter(depth + 1);
                return packet(std::string_view(o.via.ext.data(), o.via.ext.size));
            }
            fail("extensão de tipo " + std::to_string(o.via.ext.type()) + " não é aceita");
        default: fail(std::string(typeName(o.type)) + " não é aceito");
        }
    }

    static const msgpack::object_array& arrayOf(const msgpack::object& o, const std::string& what) {
        if (o.type != msgpack::type::ARRAY) failPacket(what + " deveria ser uma lista, é " + typeName(o.type));
        return o.via.array;
    }

    FieldDef fieldOf(const msgpack::object& o, size_t index) {
        const std::string where = "campo " + std::to_string(index + 1);
        const msgpack::object_array& a = arrayOf(o, where);
        if (a.size != 3 || a.ptr[0].type != msgpack::type::STR || a.ptr[1].type != msgpack::type::STR ||
            !isInteger(a.ptr[2]))
            failPacket(where + " deveria ser [nome, tipo, tamanho]");
        FieldDef f;
        f.name = textOf(a.ptr[0]);
        if (f.name.empty()) failPacket(where + " sem nome");
        const std::string type(a.ptr[1].via.str.ptr, a.ptr[1].via.str.size);
        if (!fieldTypeFromName(type, f.type)) failPacket("campo " + f.name + " de tipo desconhecido '" + type + "'");
        const int64_t size = integerOf(a.ptr[2]);
        if (size < 0 || uint64_t(size) > std::min<uint64_t>(limits_.maxStringBytes, std::numeric_limits<int>::max()))
            failPacket("campo " + f.name + " com tamanho absurdo " + std::to_string(size));
        f.size = int(size);
        return f;
    }

    std::vector<FieldDef> fieldsOf(const msgpack::object& o) {
        const msgpack::object_array& a = arrayOf(o, "a lista de campos");
        count(a.size);
        std::vector<FieldDef> fields;
        fields.reserve(a.size);
        std::unordered_set<std::string> seen;
        for (uint32_t i = 0; i < a.size; ++i) {
            fields.push_back(fieldOf(a.ptr[i], i));
            std::string key = fields.back().name;
            std::transform(key.begin(), key.end(), key.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
            if (!seen.insert(std::move(key)).second) failPacket("campo " + fields.back().name + " repetido");
        }
        return fields;
    }

    const Limits& limits_;
    size_t elements_ = 0;
};

}  // namespace

void encodeTo(std::string& out, const Variant& value) {
    StringSink sink{out};
    Packer pk(sink);
    packValue(pk, value);
}

std::string encode(const Variant& value) {
    std::string out;
    encodeTo(out, value);
    return out;
}

std::string encodePacket(const DataPacket& packet) {
    std::string out;
    out.reserve(64 + packet.rows.size() * packet.fields.size() * 8);
    StringSink sink{out};
    Packer pk(sink);
    packPacketBody(pk, packet);
    return out;
}

// Rows a data set let go of serve the packets of one decode, then are freed, so a thread
// holds on to an old list only until its next decode.
struct ReleaseKeptRows {
    ~ReleaseKeptRows() { rowstash::release(); }
};

Variant decode(std::string_view bytes, const Limits& limits) {
    const ReleaseKeptRows releaseAfter;
    return Decoder(limits).value(bytes);
}

DataPacket decodePacket(std::string_view bytes, const Limits& limits) {
    const ReleaseKeptRows releaseAfter;
    return Decoder(limits).packet(bytes);
}

}  // namespace krv::codec
