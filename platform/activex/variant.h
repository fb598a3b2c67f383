#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/activex/error.h"
#include "platform/activex/object.h"

namespace ax {

// Variant type codes with their automation values.
enum class VarType : uint16_t {
    Empty = 0,
    Null = 1,
    Integer = 2, // 16-bit
    Long = 3,    // 32-bit
    Single = 4,
    Double = 5,
    String = 8,
    Object = 9,
    Error = 10,
    Boolean = 11,
    Variant = 12,
    Byte = 17,
    Array = 0x2000,
};

class Variant;

// A one-dimensional array. Byte arrays keep their bytes contiguous; other element types
// are Variants. Arrays are shared between the Variants that hold them (like an array
// passed by reference), so a sink's change to a by-reference array is seen by the raiser.
struct SafeArray {
    VarType elementType = VarType::Variant;
    int32_t lowerBound = 0;
    std::vector<uint8_t> bytes; // elementType Byte
    std::vector<Variant> items; // any other element type
    size_t size() const;
};

// A typed value as automation passes it, with the BASIC conversions between types.
// A Variant made with byRef(target) stands for the target: reads see the target's value,
// assign() writes into it.
class Variant {
public:
    Variant() = default;
    Variant(bool v) : m_type(VarType::Boolean), m_value(v) {}
    Variant(uint8_t v) : m_type(VarType::Byte), m_value(v) {}
    Variant(int16_t v) : m_type(VarType::Integer), m_value(v) {}
    Variant(int32_t v) : m_type(VarType::Long), m_value(v) {}
    Variant(float v) : m_type(VarType::Single), m_value(v) {}
    Variant(double v) : m_type(VarType::Double), m_value(v) {}
    Variant(std::string v) : m_type(VarType::String), m_value(std::move(v)) {}
    Variant(const char* v) : Variant(std::string(v)) {}
    Variant(ComPtr<Unknown> v) : m_type(VarType::Object), m_value(std::move(v)) {}
    Variant(std::shared_ptr<SafeArray> v) : m_type(VarType::Array), m_value(std::move(v)) {}

    static Variant null();
    // The "argument not given" marker (an Error value DISP_E_PARAMNOTFOUND).
    static Variant missing();
    static Variant error(int32_t code);
    static Variant byRef(Variant& target);
    static Variant byteArray(std::vector<uint8_t> bytes);
    static Variant stringArray(const std::vector<std::string>& items);

    // The type of the value (a by-reference Variant answers its target's type).
    VarType type() const { return deref().m_type; }
    bool isByRef() const { return m_ref != nullptr; }
    bool isEmpty() const { return type() == VarType::Empty; }
    bool isMissing() const;
    const Variant& deref() const { return m_ref ? m_ref->deref() : *this; }
    Variant& deref() { return m_ref ? m_ref->deref() : *this; }

    // Stores v: into the target when by reference, else replaces this value.
    void assign(const Variant& v);

    // Conversions with the BASIC rules. Reals become integers rounded to the nearest,
    // halves to even; out-of-range values throw Error::overflow(). Booleans are -1 and 0
    // as numbers and "True"/"False" as text; any non-zero number is True. Text converts
    // to numbers without locale ("1.5", "-2", "1E3", "&H10", "True"); other text, Null,
    // objects and arrays throw Error::typeMismatch(). Empty is 0, False or "".
    bool toBool() const;
    uint8_t toByte() const;
    int16_t toInteger() const;
    int32_t toLong() const;
    float toSingle() const;
    double toDouble() const;
    std::string toString() const;
    ComPtr<Unknown> toObject() const;           // Nothing (null) for Empty
    std::shared_ptr<SafeArray> toArray() const; // throws unless an array

    // The value converted to type t (throws like the conversions above).
    Variant convertedTo(VarType t) const;
    // As convertedTo, reporting the failure as a result code instead.
    HResult changeType(VarType t, Variant& out) const noexcept;

    // Same type and same value (arrays: same array). Used to leave defaults unstored.
    bool sameValue(const Variant& other) const;

    // A short readable form for diagnostics and test messages: "Long 5", "String \"a\"".
    std::string describe() const;

private:
    double numeric() const; // the value as a number, or throws
    VarType m_type = VarType::Empty;
    std::variant<std::monostate, bool, uint8_t, int16_t, int32_t, float, double, std::string,
                 ComPtr<Unknown>, std::shared_ptr<SafeArray>>
        m_value;
    Variant* m_ref = nullptr;
};

const char* typeName(VarType t);

// Rounds to the nearest integer with halves to even (the conversion every integer
// target uses).
double roundHalfEven(double v);

// The shortest text that reads back as the same number (no locale, "." as the point).
std::string numberText(double v);
// Parses such text (leading/trailing blanks allowed); false when it is not a number.
bool parseNumber(std::string_view text, double& out);

} // namespace ax
