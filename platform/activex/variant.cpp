#include "platform/activex/variant.h"

#include "platform/win/vb_number.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace ax {

size_t SafeArray::size() const {
    return elementType == VarType::Byte ? bytes.size() : items.size();
}

Variant Variant::null() {
    Variant v;
    v.m_type = VarType::Null;
    return v;
}

Variant Variant::error(int32_t code) {
    Variant v;
    v.m_type = VarType::Error;
    v.m_value = code;
    return v;
}

Variant Variant::missing() {
    return error(DISP_E_PARAMNOTFOUND);
}

bool Variant::isMissing() const {
    const Variant& d = deref();
    return d.m_type == VarType::Error && std::get<int32_t>(d.m_value) == DISP_E_PARAMNOTFOUND;
}

Variant Variant::byRef(Variant& target) {
    Variant v;
    v.m_ref = &target.deref();
    return v;
}

Variant Variant::byteArray(std::vector<uint8_t> bytes) {
    auto a = std::make_shared<SafeArray>();
    a->elementType = VarType::Byte;
    a->bytes = std::move(bytes);
    return Variant(std::move(a));
}

Variant Variant::stringArray(const std::vector<std::string>& items) {
    auto a = std::make_shared<SafeArray>();
    a->elementType = VarType::String;
    for (const auto& s : items)
        a->items.emplace_back(s);
    return Variant(std::move(a));
}

void Variant::assign(const Variant& v) {
    Variant value = v.deref(); // copy first: v may alias this
    Variant& target = deref();
    target.m_type = value.m_type;
    target.m_value = std::move(value.m_value);
}

double roundHalfEven(double v) {
    return win::roundHalfEven(v);
}

std::string numberText(double v) {
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Infinity" : "-Infinity";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

namespace {

bool iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

bool parseNumber(std::string_view text, double& out) {
    std::string_view s = trim(text);
    if (s.empty())
        return false;
    if (iequals(s, "True")) {
        out = -1;
        return true;
    }
    if (iequals(s, "False")) {
        out = 0;
        return true;
    }
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h')) {
        uint32_t value = 0;
        auto res = std::from_chars(s.data() + 2, s.data() + s.size(), value, 16);
        if (res.ec != std::errc() || res.ptr != s.data() + s.size())
            return false;
        // Hexadecimal literals of up to 8 digits are 32-bit patterns, as in BASIC.
        double d = s.size() - 2 <= 4 ? static_cast<double>(static_cast<int16_t>(value))
                                     : static_cast<double>(static_cast<int32_t>(value));
        out = negative ? -d : d;
        return true;
    }
    if (s.empty() || s.front() == '+' || s.front() == '-')
        return false;
    double d = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), d);
    if (res.ec == std::errc::result_out_of_range)
        throw Error::overflow();
    if (res.ec != std::errc() || res.ptr != s.data() + s.size())
        return false;
    out = negative ? -d : d;
    return true;
}

double Variant::numeric() const {
    const Variant& d = deref();
    switch (d.m_type) {
    case VarType::Empty:
        return 0;
    case VarType::Boolean:
        return std::get<bool>(d.m_value) ? -1 : 0;
    case VarType::Byte:
        return std::get<uint8_t>(d.m_value);
    case VarType::Integer:
        return std::get<int16_t>(d.m_value);
    case VarType::Long:
        return std::get<int32_t>(d.m_value);
    case VarType::Single:
        return std::get<float>(d.m_value);
    case VarType::Double:
        return std::get<double>(d.m_value);
    case VarType::String: {
        double v = 0;
        if (!parseNumber(std::get<std::string>(d.m_value), v))
            throw Error::typeMismatch();
        return v;
    }
    default:
        throw Error::typeMismatch();
    }
}

namespace {

template <class T> T toIntegral(double v) {
    if (std::isnan(v))
        throw Error::overflow();
    double r = roundHalfEven(v);
    if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
        throw Error::overflow();
    return static_cast<T>(r);
}

} // namespace

bool Variant::toBool() const {
    const Variant& d = deref();
    if (d.m_type == VarType::Boolean)
        return std::get<bool>(d.m_value);
    return numeric() != 0;
}

uint8_t Variant::toByte() const {
    return toIntegral<uint8_t>(numeric());
}
int16_t Variant::toInteger() const {
    return toIntegral<int16_t>(numeric());
}
int32_t Variant::toLong() const {
    return toIntegral<int32_t>(numeric());
}

float Variant::toSingle() const {
    double v = numeric();
    if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<float>::max())
        throw Error::overflow();
    return static_cast<float>(v);
}

double Variant::toDouble() const {
    return numeric();
}

std::string Variant::toString() const {
    const Variant& d = deref();
    switch (d.m_type) {
    case VarType::Empty:
        return {};
    case VarType::String:
        return std::get<std::string>(d.m_value);
    case VarType::Boolean:
        return std::get<bool>(d.m_value) ? "True" : "False";
    case VarType::Single: {
        // Shortest text of the Single itself, so "0.1" stays "0.1".
        float f = std::get<float>(d.m_value);
        if (!std::isfinite(f))
            return numberText(static_cast<double>(f));
        char buf[32];
        auto res = std::to_chars(buf, buf + sizeof buf, f);
        return std::string(buf, res.ptr);
    }
    case VarType::Byte:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
        return numberText(d.numeric());
    default:
        throw Error::typeMismatch();
    }
}

ComPtr<Unknown> Variant::toObject() const {
    const Variant& d = deref();
    if (d.m_type == VarType::Empty)
        return {};
    if (d.m_type != VarType::Object)
        throw Error::typeMismatch();
    return std::get<ComPtr<Unknown>>(d.m_value);
}

std::shared_ptr<SafeArray> Variant::toArray() const {
    const Variant& d = deref();
    if (d.m_type != VarType::Array)
        throw Error::typeMismatch();
    return std::get<std::shared_ptr<SafeArray>>(d.m_value);
}

Variant Variant::convertedTo(VarType t) const {
    switch (t) {
    case VarType::Empty:
        return Variant();
    case VarType::Boolean:
        return Variant(toBool());
    case VarType::Byte:
        return Variant(toByte());
    case VarType::Integer:
        return Variant(toInteger());
    case VarType::Long:
        return Variant(toLong());
    case VarType::Single:
        return Variant(toSingle());
    case VarType::Double:
        return Variant(toDouble());
    case VarType::String:
        return Variant(toString());
    case VarType::Object:
        return Variant(toObject());
    case VarType::Array:
        return Variant(toArray());
    case VarType::Variant:
        return deref();
    default:
        if (t == type())
            return deref();
        throw Error::typeMismatch();
    }
}

HResult Variant::changeType(VarType t, Variant& out) const noexcept {
    try {
        out = convertedTo(t);
        return S_OK;
    } catch (const Error& e) {
        return e.code();
    } catch (...) {
        return E_FAIL;
    }
}

bool Variant::sameValue(const Variant& other) const {
    const Variant& a = deref();
    const Variant& b = other.deref();
    return a.m_type == b.m_type && a.m_value == b.m_value;
}

const char* typeName(VarType t) {
    switch (t) {
    case VarType::Empty:
        return "Empty";
    case VarType::Null:
        return "Null";
    case VarType::Integer:
        return "Integer";
    case VarType::Long:
        return "Long";
    case VarType::Single:
        return "Single";
    case VarType::Double:
        return "Double";
    case VarType::String:
        return "String";
    case VarType::Object:
        return "Object";
    case VarType::Error:
        return "Error";
    case VarType::Boolean:
        return "Boolean";
    case VarType::Variant:
        return "Variant";
    case VarType::Byte:
        return "Byte";
    case VarType::Array:
        return "Array";
    }
    return "Unknown";
}

std::string Variant::describe() const {
    const Variant& d = deref();
    switch (d.m_type) {
    case VarType::Empty:
    case VarType::Null:
        return typeName(d.m_type);
    case VarType::String:
        return std::string("String \"") + std::get<std::string>(d.m_value) + "\"";
    case VarType::Object:
        return std::get<ComPtr<Unknown>>(d.m_value) ? "Object" : "Nothing";
    case VarType::Error:
        return "Error " + std::to_string(std::get<int32_t>(d.m_value));
    case VarType::Array:
        return "Array(" + std::to_string(std::get<std::shared_ptr<SafeArray>>(d.m_value)->size()) +
               ")";
    default:
        return std::string(typeName(d.m_type)) + " " + d.toString();
    }
}

} // namespace ax
