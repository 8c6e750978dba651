#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "DateTime.h"

namespace krv {

struct DataPacket;
struct CheckedForms;
class Variant;

namespace codec::detail {
Variant checkedPacket(DataPacket&& packet, CheckedForms&& forms);
}

// The value that crosses every boundary: server arguments and results, data-set
// fields, report parameters. Strings are UTF-8.
class Variant {
public:
    enum class Type { Null, Bool, Int, Double, String, DateTime, Array, Packet };
    using Array = std::vector<Variant>;
    using PacketPtr = std::shared_ptr<const DataPacket>;

    Variant() = default;
    Variant(std::nullptr_t) {}
    Variant(bool v) : v_(v) {}
    Variant(int v) : v_(int64_t(v)) {}
    Variant(int64_t v) : v_(v) {}
    Variant(double v) : v_(v) {}
    Variant(const char* v) : v_(std::string(v)) {}
    Variant(std::string v) : v_(std::move(v)) {}
    Variant(DateTime v) : v_(v) {}
    Variant(Array v) : v_(std::move(v)) {}
    Variant(DataPacket packet);
    Variant(PacketPtr packet) : v_(HeldPacket{std::move(packet)}) {}

    Type type() const { return Type(v_.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isString() const { return type() == Type::String; }
    bool isNumber() const { return type() == Type::Int || type() == Type::Double; }

    // Conversions a caller may ask of any value; they never throw.
    // Null reads as "", 0, false; a number as its decimal text; a date as "dd/mm/yyyy"
    // (with " hh:mm:ss" when it has a time).
    std::string asString() const;
    int64_t asInt() const;        // doubles truncate toward zero; numeric strings parse; else 0
    double asDouble() const;      // numeric strings parse; else 0
    bool asBool() const;          // "S"/"T"/"true"/"1" and non-zero numbers are true
    DateTime asDateTime() const;  // strings in dd/mm/yyyy or ISO form parse; else epoch

    // Typed access; throws std::bad_variant_access when the type differs.
    const std::string& str() const { return std::get<std::string>(v_); }
    const Array& array() const { return std::get<Array>(v_); }
    Array& array() { return std::get<Array>(v_); }
    const DataPacket& packet() const { return *std::get<HeldPacket>(v_).packet; }
    // The packet itself: moved out when this is its only holder (a freshly decoded value),
    // copied otherwise. Throws std::bad_variant_access when this is no packet. A PacketPtr
    // handed to the constructor must point to a packet made non-const (make_shared<DataPacket>).
    DataPacket takePacket() &&;

    // What the codec established about the packet this holds when it decoded it; null for
    // a packet made any other way, and for any other value. A packet cannot change while a
    // Variant holds it (takePacket gives up both), so what this says stays true.
    const CheckedForms* checkedForms() const;

    // Makes this the text `s`, reusing the storage of the text it holds, if any: a list
    // reloaded into the rows of the previous one then allocates almost nothing.
    void setString(std::string_view s);

    bool operator==(const Variant& other) const;

private:
    friend Variant codec::detail::checkedPacket(DataPacket&& packet, CheckedForms&& forms);

    struct HeldPacket {
        PacketPtr packet;
        const CheckedForms* forms = nullptr;  // lives in the allocation `packet` owns
        bool operator==(const HeldPacket& other) const { return packet == other.packet; }
    };
    explicit Variant(HeldPacket held) : v_(std::move(held)) {}

    std::variant<std::monostate, bool, int64_t, double, std::string, DateTime, Array, HeldPacket> v_;
};

}  // namespace krv
