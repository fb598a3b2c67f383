#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/activex/events.h"
#include "platform/activex/property_bag.h"
#include "platform/activex/variant.h"

namespace ax {

enum class InvokeKind : uint16_t { Method = 1, PropGet = 2, PropPut = 4 };
enum class MemberKind : uint8_t { Method, Property };

struct ParamInfo {
    std::string name;
    VarType type = VarType::Variant;
    bool byRef = false;
    bool optional = false;
    Variant defaultValue; // for optional parameters
};

// One member of an automation interface, as type information shows it.
struct MemberInfo {
    std::string name;
    DispId id = 0;
    MemberKind kind = MemberKind::Method;
    bool readOnly = false;               // properties only
    VarType resultType = VarType::Empty; // Empty for a method without result
    std::vector<ParamInfo> params;
};

struct EventInfo {
    std::string name;
    DispId id = 0;
    std::vector<ParamInfo> params;
};

struct TypeInfo {
    std::string interfaceName;
    std::string eventInterfaceName;
    std::vector<MemberInfo> members;
    std::vector<EventInfo> events;

    // Lookups by name ignore case.
    const MemberInfo* member(std::string_view name) const;
    const MemberInfo* member(DispId id) const;
    const EventInfo* event(std::string_view name) const;
    const EventInfo* event(DispId id) const;
    size_t methodCount() const;
    size_t propertyCount() const;
};

// What a failing member reports to an automation caller (DISP_E_EXCEPTION).
struct ExcepInfo {
    int32_t number = 0;
    std::string source;
    std::string description;
};

// The dispatch facet: members by name and DISPID with Variant arguments.
class Dispatch : public Unknown {
public:
    // Case-insensitive; DISP_E_UNKNOWNNAME when there is no such member.
    virtual HResult GetIDsOfNames(std::string_view name, DispId& id) = 0;
    // args are left to right. Missing trailing arguments, and arguments passed as
    // Variant::missing(), take the parameter's default when it is optional
    // (DISP_E_PARAMNOTOPTIONAL otherwise); too many give DISP_E_BADPARAMCOUNT.
    // Arguments convert with the Variant rules (DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW;
    // argError, when given, receives the index of the failing argument). By-reference
    // parameters write their output back into by-reference Variants, converted to the
    // target's type; plain Variants are left as they were. PropPut takes one argument.
    virtual HResult Invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result,
                           ExcepInfo* excep = nullptr, uint32_t* argError = nullptr) = 0;
    virtual const TypeInfo& typeInfo() const = 0;

    HResult QueryInterface(const Guid& iid, void** out) override;
};

// Value conversions between C++ parameter types and Variants.
template <class T, class Enable = void> struct VariantTraits;

template <> struct VariantTraits<bool> {
    static constexpr VarType type = VarType::Boolean;
    static bool from(const Variant& v) { return v.toBool(); }
    static Variant to(bool v) { return Variant(v); }
};
template <> struct VariantTraits<uint8_t> {
    static constexpr VarType type = VarType::Byte;
    static uint8_t from(const Variant& v) { return v.toByte(); }
    static Variant to(uint8_t v) { return Variant(v); }
};
template <> struct VariantTraits<int16_t> {
    static constexpr VarType type = VarType::Integer;
    static int16_t from(const Variant& v) { return v.toInteger(); }
    static Variant to(int16_t v) { return Variant(v); }
};
template <> struct VariantTraits<int32_t> {
    static constexpr VarType type = VarType::Long;
    static int32_t from(const Variant& v) { return v.toLong(); }
    static Variant to(int32_t v) { return Variant(v); }
};
template <> struct VariantTraits<float> {
    static constexpr VarType type = VarType::Single;
    static float from(const Variant& v) { return v.toSingle(); }
    static Variant to(float v) { return Variant(v); }
};
template <> struct VariantTraits<double> {
    static constexpr VarType type = VarType::Double;
    static double from(const Variant& v) { return v.toDouble(); }
    static Variant to(double v) { return Variant(v); }
};
template <> struct VariantTraits<std::string> {
    static constexpr VarType type = VarType::String;
    static std::string from(const Variant& v) { return v.toString(); }
    static Variant to(const std::string& v) { return Variant(v); }
};
template <> struct VariantTraits<ComPtr<Unknown>> {
    static constexpr VarType type = VarType::Object;
    static ComPtr<Unknown> from(const Variant& v) { return v.toObject(); }
    static Variant to(const ComPtr<Unknown>& v) { return Variant(v); }
};
template <> struct VariantTraits<std::vector<uint8_t>> {
    static constexpr VarType type = VarType::Array;
    static std::vector<uint8_t> from(const Variant& v) {
        if (v.isEmpty())
            return {};
        auto a = v.toArray();
        if (a->elementType == VarType::Byte)
            return a->bytes;
        std::vector<uint8_t> out;
        for (const auto& item : a->items)
            out.push_back(item.toByte());
        return out;
    }
    static Variant to(const std::vector<uint8_t>& v) { return Variant::byteArray(v); }
};
// Enumerations travel as Long.
template <class E> struct VariantTraits<E, std::enable_if_t<std::is_enum_v<E>>> {
    static constexpr VarType type = VarType::Long;
    static E from(const Variant& v) { return static_cast<E>(v.toLong()); }
    static Variant to(E v) { return Variant(static_cast<int32_t>(v)); }
};

namespace detail {

// Parses "a, b, [c=1]"-style parameter specs: names in order; "=value" marks an
// optional parameter with its default ("" for an empty string, True/False, numbers).
std::vector<std::pair<std::string, std::string>> parseParamSpec(std::string_view spec);
Variant defaultFromText(std::string_view text, VarType type);

template <class A>
constexpr bool isOutParam =
    std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;

template <class A> ParamInfo paramInfo() {
    ParamInfo p;
    p.type = VariantTraits<std::remove_cvref_t<A>>::type;
    p.byRef = isOutParam<A>;
    return p;
}

template <class A> struct ArgHolder {
    using T = std::remove_cvref_t<A>;
    T value;
    explicit ArgHolder(const Variant& v) : value(VariantTraits<T>::from(v)) {}
    A get() { return value; }
    void writeBack(Variant& arg) const {
        if constexpr (isOutParam<A>) {
            if (!arg.isByRef())
                return;
            Variant out = VariantTraits<T>::to(value);
            VarType target = arg.type();
            if (target != VarType::Empty && target != VarType::Variant && target != out.type() &&
                target != VarType::Array)
                out = out.convertedTo(target);
            arg.assign(out);
        }
    }
};

template <class R> VarType resultType() {
    if constexpr (std::is_void_v<R>)
        return VarType::Empty;
    else
        return VariantTraits<std::remove_cvref_t<R>>::type;
}

} // namespace detail

// A dispatch table over the C++ interface I: each entry knows its type information and
// how to call the member with Variant arguments. DISPIDs are given in the order entries
// are added, starting at 1, so the table's order is the interface's order.
template <class I> class DispatchTable {
public:
    using Invoker = std::function<void(I&, std::span<Variant>, Variant*)>;

    explicit DispatchTable(std::string interfaceName, std::string eventInterfaceName = {}) {
        m_type.interfaceName = std::move(interfaceName);
        m_type.eventInterfaceName = std::move(eventInterfaceName);
    }

    template <class R, class... A>
    void method(std::string name, R (I::*fn)(A...), std::string_view spec = {}) {
        MemberInfo info;
        info.name = std::move(name);
        info.kind = MemberKind::Method;
        info.resultType = detail::resultType<R>();
        info.params = {detail::paramInfo<A>()...};
        applySpec(info, spec);
        Entry e;
        e.method = [fn](I& obj, std::span<Variant> args, Variant* result) {
            callWith<R, A...>(obj, fn, args, result, std::index_sequence_for<A...>{});
        };
        add(std::move(info), std::move(e));
    }

    // A property with a get and, unless put is null, a let.
    template <class T, class U> void property(std::string name, T (I::*get)(), void (I::*put)(U)) {
        MemberInfo info;
        info.name = std::move(name);
        info.kind = MemberKind::Property;
        info.resultType = detail::resultType<T>();
        info.readOnly = put == nullptr;
        Entry e;
        e.get = [get](I& obj, std::span<Variant>, Variant* result) {
            Variant v = VariantTraits<std::remove_cvref_t<T>>::to((obj.*get)());
            if (result)
                *result = v;
        };
        if (put)
            e.put = [put](I& obj, std::span<Variant> args, Variant*) {
                (obj.*put)(VariantTraits<std::remove_cvref_t<U>>::from(args[0]));
            };
        add(std::move(info), std::move(e));
    }

    void event(std::string name, DispId id, std::vector<ParamInfo> params) {
        m_type.events.push_back({std::move(name), id, std::move(params)});
    }

    const TypeInfo& typeInfo() const { return m_type; }

    HResult getIDsOfNames(std::string_view name, DispId& id) const {
        const MemberInfo* m = m_type.member(name);
        if (!m)
            return DISP_E_UNKNOWNNAME;
        id = m->id;
        return S_OK;
    }

    HResult invoke(I& obj, DispId id, InvokeKind kind, std::span<Variant> args, Variant* result,
                   ExcepInfo* excep, uint32_t* argError) const {
        if (id < 1 || static_cast<size_t>(id) > m_entries.size())
            return DISP_E_MEMBERNOTFOUND;
        const Entry& e = m_entries[static_cast<size_t>(id - 1)];
        const MemberInfo& info = m_type.members[static_cast<size_t>(id - 1)];
        const Invoker* call = nullptr;
        std::vector<Variant> filled;
        if (info.kind == MemberKind::Property) {
            if (kind == InvokeKind::PropPut) {
                if (!e.put)
                    return DISP_E_MEMBERNOTFOUND;
                if (args.size() != 1)
                    return DISP_E_BADPARAMCOUNT;
                call = &e.put;
            } else {
                if (!args.empty())
                    return DISP_E_BADPARAMCOUNT;
                call = &e.get;
            }
            filled.assign(args.begin(), args.end());
            // Keep the caller's by-reference links: copies of by-ref Variants still point
            // at the caller's values.
        } else {
            if (kind == InvokeKind::PropPut)
                return DISP_E_MEMBERNOTFOUND;
            if (args.size() > info.params.size())
                return DISP_E_BADPARAMCOUNT;
            for (size_t i = 0; i < info.params.size(); ++i) {
                bool given = i < args.size() && !args[i].isMissing();
                if (given) {
                    filled.push_back(args[i]);
                } else if (info.params[i].optional) {
                    filled.push_back(info.params[i].defaultValue);
                } else {
                    if (argError)
                        *argError = static_cast<uint32_t>(i);
                    return DISP_E_PARAMNOTOPTIONAL;
                }
            }
            call = &e.method;
        }
        try {
            Variant out;
            (*call)(obj, filled, &out);
            if (result)
                *result = out;
            return S_OK;
        } catch (const ArgError& a) {
            if (argError)
                *argError = a.index;
            return a.code;
        } catch (const Error& err) {
            if (kind == InvokeKind::PropPut &&
                (err.code() == DISP_E_TYPEMISMATCH || err.code() == DISP_E_OVERFLOW))
                return err.code();
            if (excep)
                *excep = {err.number(), m_type.interfaceName, err.description()};
            return DISP_E_EXCEPTION;
        } catch (const std::exception& ex) {
            if (excep)
                *excep = {440, m_type.interfaceName, ex.what()};
            return DISP_E_EXCEPTION;
        } catch (...) {
            if (excep)
                *excep = {440, m_type.interfaceName, "Automation error"};
            return DISP_E_EXCEPTION;
        }
    }

private:
    struct Entry {
        Invoker method, get, put;
    };
    struct ArgError {
        HResult code;
        uint32_t index;
    };

    void add(MemberInfo info, Entry e) {
        info.id = static_cast<DispId>(m_entries.size() + 1);
        m_type.members.push_back(std::move(info));
        m_entries.push_back(std::move(e));
    }

    static void applySpec(MemberInfo& info, std::string_view spec) {
        auto names = detail::parseParamSpec(spec);
        for (size_t i = 0; i < info.params.size(); ++i) {
            if (i < names.size()) {
                info.params[i].name = names[i].first;
                if (!names[i].second.empty()) {
                    info.params[i].optional = true;
                    info.params[i].defaultValue =
                        detail::defaultFromText(names[i].second, info.params[i].type);
                }
            } else {
                info.params[i].name = "arg" + std::to_string(i + 1);
            }
        }
    }

    template <class A> static detail::ArgHolder<A> hold(std::span<Variant> args, size_t i) {
        try {
            return detail::ArgHolder<A>(args[i]);
        } catch (const Error& e) {
            throw ArgError{e.code(), static_cast<uint32_t>(i)};
        }
    }

    template <class R, class... A, size_t... N>
    static void callWith(I& obj, R (I::*fn)(A...), std::span<Variant> args, Variant* result,
                         std::index_sequence<N...>) {
        (void)args; // unused by members without parameters
        std::tuple<detail::ArgHolder<A>...> holders{hold<A>(args, N)...};
        if constexpr (std::is_void_v<R>) {
            (obj.*fn)(std::get<N>(holders).get()...);
        } else {
            R r = (obj.*fn)(std::get<N>(holders).get()...);
            if (result)
                *result = VariantTraits<std::remove_cvref_t<R>>::to(r);
        }
        (std::get<N>(holders).writeBack(args[N]), ...);
    }

    TypeInfo m_type;
    std::vector<Entry> m_entries;
};

} // namespace ax
