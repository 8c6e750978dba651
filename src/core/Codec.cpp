#include "Codec.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <unordered_set>

#include <msgpack.hpp>

#include "CellReader.h"
#include "Errors.h"
#include "RowStash.h"
#include "Text.h"

namespace krv::codec {
namespace {

using namespace detail;

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

// Where the rows of large packets go when the value travels in parts.
struct Spill {
    size_t above;
    std::vector<FollowingRows>& following;
};

void packValue(Packer& pk, const Variant& v, Spill* spill);

bool cellFitsField(const Variant& v, FieldType t) {
    switch (t) {
        case FieldType::String:
        case FieldType::Fixed:
            return v.isString();
        case FieldType::Integer:
            return v.type() == Variant::Type::Int;
        case FieldType::Float:
            return v.isNumber();
        case FieldType::DateTime:
            return v.type() == Variant::Type::DateTime;
        case FieldType::Bool:
            return v.type() == Variant::Type::Bool;
    }
    return false;
}

void packCell(Packer& pk, const Variant& v, const FieldDef& f, size_t row) {
    if (v.isNull()) return pk.pack_nil(), void();
    if (!cellFitsField(v, f.type))
        throw std::invalid_argument("Pacote: linha " + std::to_string(row + 1) + ", campo " + f.name +
                                    ": valor não é do tipo " + fieldTypeName(f.type));
    if (f.type == FieldType::Float)
        pk.pack_double(v.asDouble());
    else
        packValue(pk, v, nullptr);
}

void packFields(Packer& pk, const DataPacket& p) {
    pk.pack_array(checkedCount(p.fields.size()));
    for (const FieldDef& f : p.fields) {
        if (f.size < 0) throw std::invalid_argument("Pacote: tamanho negativo no campo " + f.name);
        pk.pack_array(3);
        packString(pk, f.name);
        packString(pk, fieldTypeName(f.type));
        pk.pack_int(f.size);
    }
}

// The rows one after the other, without the array header; `ends`, when given, gets where
// each row ends in `out`.
void packRows(std::string& out, const DataPacket& p, std::vector<size_t>* ends) {
    StringSink sink{out};
    Packer pk(sink);
    for (size_t r = 0; r < p.rows.size(); ++r) {
        const Row& row = p.rows[r];
        if (row.size() != p.fields.size())
            throw std::invalid_argument("Pacote: linha " + std::to_string(r + 1) + " tem " +
                                        std::to_string(row.size()) + " valores para " +
                                        std::to_string(p.fields.size()) + " campos");
        pk.pack_array(uint32_t(row.size()));
        for (size_t c = 0; c < row.size(); ++c) packCell(pk, row[c], p.fields[c], r);
        if (ends) ends->push_back(out.size());
    }
}

void packPacketBody(std::string& out, const DataPacket& p) {
    StringSink sink{out};
    Packer pk(sink);
    pk.pack_array(2);
    packFields(pk, p);
    pk.pack_array(checkedCount(p.rows.size()));
    packRows(out, p, nullptr);
}

// A packet whose rows take more than the spill's bound goes as [fields, row count] (type 3),
// its rows to the spill; any other as it always does.
void packPacket(Packer& pk, const DataPacket& p, Spill* spill) {
    std::string inner;
    int8_t type = kPacketExtType;
    if (!spill) {
        inner.reserve(64 + p.rows.size() * p.fields.size() * 8);
        packPacketBody(inner, p);
    } else {
        FollowingRows rows;
        rows.ends.reserve(p.rows.size());
        packRows(rows.bytes, p, &rows.ends);
        StringSink sink{inner};
        Packer head(sink);
        head.pack_array(2);
        packFields(head, p);
        if (rows.bytes.size() > spill->above) {
            head.pack_uint64(p.rows.size());
            type = kPacketRowsFollowExtType;
            spill->following.push_back(std::move(rows));
        } else {
            head.pack_array(checkedCount(p.rows.size()));
            inner += rows.bytes;
        }
    }
    pk.pack_ext(inner.size(), type);
    pk.pack_ext_body(inner.data(), uint32_t(inner.size()));
}

void packValue(Packer& pk, const Variant& v, Spill* spill) {
    switch (v.type()) {
        case Variant::Type::Null:
            pk.pack_nil();
            break;
        case Variant::Type::Bool:
            v.asBool() ? pk.pack_true() : pk.pack_false();
            break;
        case Variant::Type::Int:
            pk.pack_int64(v.asInt());
            break;
        case Variant::Type::Double:
            pk.pack_double(v.asDouble());
            break;
        case Variant::Type::String:
            packString(pk, v.str());
            break;
        case Variant::Type::DateTime:
            packTimestamp(pk, v.asDateTime());
            break;
        case Variant::Type::Array:
            pk.pack_array(checkedCount(v.array().size()));
            for (const Variant& item : v.array()) packValue(pk, item, spill);
            break;
        case Variant::Type::Packet:
            packPacket(pk, v.packet(), spill);
            break;
    }
}

// ---- decoding ------------------------------------------------------------------------

const char* typeName(msgpack::type::object_type t) {
    switch (t) {
        case msgpack::type::NIL:
            return "nulo";
        case msgpack::type::BOOLEAN:
            return "lógico";
        case msgpack::type::POSITIVE_INTEGER:
        case msgpack::type::NEGATIVE_INTEGER:
            return "inteiro";
        case msgpack::type::FLOAT32:
        case msgpack::type::FLOAT64:
            return "número";
        case msgpack::type::STR:
            return "texto";
        case msgpack::type::ARRAY:
            return "lista";
        case msgpack::type::MAP:
            return "mapa";
        case msgpack::type::BIN:
            return "binário";
        case msgpack::type::EXT:
            return "extensão";
    }
    return "desconhecido";
}

std::string textOf(const msgpack::object& o) { return std::string(checkedText(o.via.str.ptr, o.via.str.size)); }

int64_t integerOf(const msgpack::object& o) {
    if (o.type == msgpack::type::NEGATIVE_INTEGER) return o.via.i64;
    return checkedUnsigned(o.via.u64);
}

bool isInteger(const msgpack::object& o) {
    return o.type == msgpack::type::POSITIVE_INTEGER || o.type == msgpack::type::NEGATIVE_INTEGER;
}

class Decoder {
public:
    Decoder(const Limits& limits, RowsToCome* toCome) : limits_(limits), toCome_(toCome) {}

    Variant value(std::string_view bytes) {
        checkSize(bytes);
        msgpack::zone zone;
        size_t offset = 0;
        const msgpack::object o = unpackAt(zone, bytes, offset, limits_.maxDepth);
        checkEnd(bytes, offset);
        return convert(o, 0);
    }

    DataPacket packet(std::string_view bytes, CheckedForms& forms) {
        checkSize(bytes);
        msgpack::zone zone;
        size_t offset = 0;
        DataPacket p;
        p.fields = leadingFields(bytes, offset, zone, "[campos, linhas]");
        const uint32_t rowCount = arrayHeader(bytes, offset, "a lista de linhas");
        if (rowCount > bytes.size() - offset) fail("lista maior que a entrada");
        // Every row must hold one cell per field: all of them count now, so a header
        // claiming too many is refused before any row is read.
        count(rowCount);
        count(size_t(rowCount) * p.fields.size());
        readRows(bytes, offset, rowCount, p.fields, limits_.maxStringBytes, p.rows, forms.rowsWithEmptyText);
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
        if (!readArrayHeader(bytes, offset, n)) failPacket(what + " deveria ser uma lista");
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
            case msgpack::type::NIL:
                return {};
            case msgpack::type::BOOLEAN:
                return o.via.boolean;
            case msgpack::type::POSITIVE_INTEGER:
            case msgpack::type::NEGATIVE_INTEGER:
                return integerOf(o);
            case msgpack::type::FLOAT32:
            case msgpack::type::FLOAT64:
                return o.via.f64;
            case msgpack::type::STR:
                return textOf(o);
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
                    CheckedForms forms;
                    DataPacket p = packet(std::string_view(o.via.ext.data(), o.via.ext.size), forms);
                    return checkedPacket(std::move(p), std::move(forms));
                }
                if (o.via.ext.type() == kPacketRowsFollowExtType && toCome_) {
                    enter(depth + 1);
                    return packetToCome(std::string_view(o.via.ext.data(), o.via.ext.size));
                }
                fail("extensão de tipo " + std::to_string(o.via.ext.type()) + " não é aceita");
            default:
                fail(std::string(typeName(o.type)) + " não é aceito");
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
            std::transform(key.begin(), key.end(), key.begin(),
                           [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
            if (!seen.insert(std::move(key)).second) failPacket("campo " + fields.back().name + " repetido");
        }
        return fields;
    }

    // The fields of the two-element array `shape` at the start of `bytes`.
    std::vector<FieldDef> leadingFields(std::string_view bytes, size_t& offset, msgpack::zone& zone,
                                        const char* shape) {
        const uint32_t parts = arrayHeader(bytes, offset, "o pacote");
        if (parts != 2) failPacket(std::string("esperado ") + shape + ", há " + std::to_string(parts) + " elementos");
        return fieldsOf(unpackAt(zone, bytes, offset, 2));
    }

    // [fields, row count]: the packet waits in toCome_ for its rows.
    Variant packetToCome(std::string_view bytes) {
        msgpack::zone zone;
        size_t offset = 0;
        DataPacket p;
        p.fields = leadingFields(bytes, offset, zone, "[campos, número de linhas]");
        const msgpack::object rows = unpackAt(zone, bytes, offset, 1);
        if (!isInteger(rows) || integerOf(rows) < 0) failPacket("o número de linhas deveria ser um inteiro positivo");
        checkEnd(bytes, offset);
        Variant held = checkedPacket(std::move(p), CheckedForms{});
        toCome_->expect(held, size_t(integerOf(rows)));
        return held;
    }

    const Limits& limits_;
    RowsToCome* toCome_;
    size_t elements_ = 0;
};

}  // namespace

void encodeTo(std::string& out, const Variant& value) {
    StringSink sink{out};
    Packer pk(sink);
    packValue(pk, value, nullptr);
}

void encodeTo(std::string& out, const Variant& value, size_t above, std::vector<FollowingRows>& following) {
    StringSink sink{out};
    Packer pk(sink);
    Spill spill{above, following};
    packValue(pk, value, &spill);
}

std::string encode(const Variant& value) {
    std::string out;
    encodeTo(out, value);
    return out;
}

std::string encodePacket(const DataPacket& packet) {
    std::string out;
    out.reserve(64 + packet.rows.size() * packet.fields.size() * 8);
    packPacketBody(out, packet);
    return out;
}

// Rows a data set let go of serve the packets of one decode, then are freed, so a thread
// holds on to an old list only until its next decode.
struct ReleaseKeptRows {
    ~ReleaseKeptRows() { rowstash::release(); }
};

Variant decode(std::string_view bytes, const Limits& limits) {
    const ReleaseKeptRows releaseAfter;
    return Decoder(limits, nullptr).value(bytes);
}

Variant decode(std::string_view bytes, const Limits& limits, RowsToCome& toCome) {
    const ReleaseKeptRows releaseAfter;
    return Decoder(limits, &toCome).value(bytes);
}

// The packet was made by the decode under way and is handed out only once its rows are in,
// so its rows may still be added to it here.
void RowsToCome::expect(const Variant& held, size_t rows) {
    if (rows == 0) return;
    packets_.push_back({held, const_cast<DataPacket*>(&held.packet()), const_cast<CheckedForms*>(held.checkedForms()),
                        rows});
}

void RowsToCome::add(std::string_view part, const Limits& limits) {
    if (part.size() > limits.maxBytes)
        fail(std::to_string(part.size()) + " bytes excedem o limite de " + std::to_string(limits.maxBytes));
    if (done()) fail("linhas além das anunciadas");
    Waiting& waiting = packets_[next_];
    size_t offset = 0;
    uint32_t count;
    if (!readArrayHeader(part, offset, count)) fail("a parte deveria ser uma lista de linhas");
    if (count == 0 || count > waiting.left)
        fail("parte com " + std::to_string(count) + " linhas, quando faltam " + std::to_string(waiting.left));
    const size_t width = waiting.packet->fields.size();
    if (count > part.size() - offset || size_t(count) * std::max<size_t>(width, 1) > limits.maxElements)
        fail("lista maior que o limite ou que a entrada");
    const ReleaseKeptRows releaseAfter;
    std::vector<Row> rows;
    std::vector<uint32_t> withEmptyText;
    readRows(part, offset, count, waiting.packet->fields, limits.maxStringBytes, rows, withEmptyText);
    if (offset != part.size()) fail(std::to_string(part.size() - offset) + " bytes sobrando depois do valor");
    std::vector<Row>& all = waiting.packet->rows;
    for (const uint32_t r : withEmptyText) waiting.forms->rowsWithEmptyText.push_back(uint32_t(all.size() + r));
    if (all.empty())
        all = std::move(rows);
    else
        all.insert(all.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    waiting.left -= count;
    if (waiting.left == 0) {
        waiting.held = Variant();
        ++next_;
    }
}

DataPacket decodePacket(std::string_view bytes, const Limits& limits) {
    const ReleaseKeptRows releaseAfter;
    CheckedForms unused;
    return Decoder(limits, nullptr).packet(bytes, unused);
}

namespace detail {

// The packet and what the decode found out about it share one allocation, so neither
// outlives the other, and the packet is reachable only as const from then on.
Variant checkedPacket(DataPacket&& packet, CheckedForms&& forms) {
    struct Checked {
        DataPacket packet;
        CheckedForms forms;
    };
    auto held = std::make_shared<Checked>(Checked{std::move(packet), std::move(forms)});
    return Variant(Variant::HeldPacket{Variant::PacketPtr(held, &held->packet), &held->forms});
}

}  // namespace detail
}  // namespace krv::codec
