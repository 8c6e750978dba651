#include "Variant.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "DataPacket.h"
#include "Text.h"

namespace krv {
namespace {

int64_t truncateToInt(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
    if (d <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return int64_t(d);
}

std::string numberText(double d) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, ec == std::errc() ? end : buf);
}

std::string dateText(const DateTime& t) {
    std::string s = t.toBr();
    if (t.secondOfDay() != 0) s += t.toIso().substr(10);
    return s;
}

}  // namespace

Variant::Variant(DataPacket packet) : v_(HeldPacket{std::make_shared<DataPacket>(std::move(packet))}) {}

const CheckedForms* Variant::checkedForms() const {
    const auto* held = std::get_if<HeldPacket>(&v_);
    return held ? held->forms : nullptr;
}

DataPacket Variant::takePacket() && {
    PacketPtr& p = std::get<HeldPacket>(v_).packet;
    if (p.use_count() != 1) return *p;
    // Sole holder: every packet this library makes is allocated non-const (see the
    // constructor above and the codec), so moving its content out is sound.
    DataPacket out = std::move(const_cast<DataPacket&>(*p));
    p.reset();
    v_ = std::monostate{};
    return out;
}

void Variant::setString(std::string_view s) {
    if (auto* text = std::get_if<std::string>(&v_)) {
        // Not assign(): within the capacity, appending to an emptied string is a plain
        // copy, without assign's handling of a source inside the string itself.
        text->clear();
        text->append(s);
    } else
        v_.emplace<std::string>(s);
}

std::string Variant::asString() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(v_) ? "true" : "false";
        case Type::Int:
            return std::to_string(std::get<int64_t>(v_));
        case Type::Double:
            return numberText(std::get<double>(v_));
        case Type::String:
            return std::get<std::string>(v_);
        case Type::DateTime:
            return dateText(std::get<DateTime>(v_));
        default:
            return {};
    }
}

int64_t Variant::asInt() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(v_) ? 1 : 0;
        case Type::Int:
            return std::get<int64_t>(v_);
        case Type::Double:
            return truncateToInt(std::get<double>(v_));
        case Type::String: {
            int64_t i = 0;
            if (parseInteger(str(), i)) return i;
            double d = 0;
            return parseNumber(str(), d) ? truncateToInt(d) : 0;
        }
        default:
            return 0;
    }
}

double Variant::asDouble() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(v_) ? 1 : 0;
        case Type::Int:
            return double(std::get<int64_t>(v_));
        case Type::Double:
            return std::get<double>(v_);
        case Type::String: {
            double d = 0;
            return parseNumber(str(), d) ? d : 0;
        }
        default:
            return 0;
    }
}

bool Variant::asBool() const {
    switch (type()) {
        case Type::Bool:
            return std::get<bool>(v_);
        case Type::Int:
            return std::get<int64_t>(v_) != 0;
        case Type::Double:
            return std::get<double>(v_) != 0;
        case Type::String: {
            const std::string_view s = trimmed(str());
            return equalsIgnoringAsciiCase(s, "S") || equalsIgnoringAsciiCase(s, "T") ||
                   equalsIgnoringAsciiCase(s, "true") || s == "1";
        }
        default:
            return false;
    }
}

DateTime Variant::asDateTime() const {
    if (type() == Type::DateTime) return std::get<DateTime>(v_);
    if (type() != Type::String) return {};
    const std::string s(trimmed(str()));
    if (auto d = DateTime::parseBr(s)) return *d;
    if (auto d = DateTime::parseIso(s)) return *d;
    return {};
}

bool Variant::operator==(const Variant& other) const {
    if (isNumber() && other.isNumber()) {
        if (type() == Type::Int && other.type() == Type::Int)
            return std::get<int64_t>(v_) == std::get<int64_t>(other.v_);
        return asDouble() == other.asDouble();
    }
    if (type() != other.type()) return false;
    if (type() == Type::Packet) {
        const PacketPtr& a = std::get<HeldPacket>(v_).packet;
        const PacketPtr& b = std::get<HeldPacket>(other.v_).packet;
        return a == b || (a && b && *a == *b);
    }
    return v_ == other.v_;
}

}  // namespace krv
