#include "platform/activex/dispatch.h"

namespace ax {

const MemberInfo* TypeInfo::member(std::string_view name) const {
    for (const auto& m : members)
        if (namesEqual(m.name, name))
            return &m;
    return nullptr;
}

const MemberInfo* TypeInfo::member(DispId id) const {
    for (const auto& m : members)
        if (m.id == id)
            return &m;
    return nullptr;
}

const EventInfo* TypeInfo::event(std::string_view name) const {
    for (const auto& e : events)
        if (namesEqual(e.name, name))
            return &e;
    return nullptr;
}

const EventInfo* TypeInfo::event(DispId id) const {
    for (const auto& e : events)
        if (e.id == id)
            return &e;
    return nullptr;
}

size_t TypeInfo::methodCount() const {
    size_t n = 0;
    for (const auto& m : members)
        n += m.kind == MemberKind::Method;
    return n;
}

size_t TypeInfo::propertyCount() const {
    return members.size() - methodCount();
}

HResult Dispatch::QueryInterface(const Guid& iid, void** out) {
    if (!out)
        return E_POINTER;
    if (iid == IID_IDispatch) {
        AddRef();
        *out = static_cast<Dispatch*>(this);
        return S_OK;
    }
    return Unknown::QueryInterface(iid, out);
}

namespace detail {

std::vector<std::pair<std::string, std::string>> parseParamSpec(std::string_view spec) {
    std::vector<std::pair<std::string, std::string>> out;
    auto trim = [](std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '[' || s.front() == ']'))
            s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '[' || s.back() == ']'))
            s.remove_suffix(1);
        return s;
    };
    while (!spec.empty()) {
        size_t comma = spec.find(',');
        std::string_view item = trim(spec.substr(0, comma));
        spec = comma == std::string_view::npos ? std::string_view() : spec.substr(comma + 1);
        if (item.empty())
            continue;
        size_t eq = item.find('=');
        if (eq == std::string_view::npos)
            out.emplace_back(std::string(item), std::string());
        else
            out.emplace_back(std::string(trim(item.substr(0, eq))),
                             std::string(trim(item.substr(eq + 1))));
    }
    return out;
}

Variant defaultFromText(std::string_view text, VarType type) {
    if (text == "\"\"")
        return Variant(std::string());
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        return Variant(std::string(text.substr(1, text.size() - 2)));
    Variant v{std::string(text)};
    if (type == VarType::Variant || type == VarType::Array || type == VarType::Object)
        return v;
    return v.convertedTo(type);
}

} // namespace detail

} // namespace ax
