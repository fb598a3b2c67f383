#include "platform/activex/property_bag.h"

#include <sstream>

namespace ax {

bool namesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::vector<std::pair<std::string, Variant>>::iterator
MemoryPropertyBag::find(std::string_view key) {
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (namesEqual(it->first, key))
            return it;
    return m_entries.end();
}

std::vector<std::pair<std::string, Variant>>::const_iterator
MemoryPropertyBag::find(std::string_view key) const {
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        if (namesEqual(it->first, key))
            return it;
    return m_entries.end();
}

void MemoryPropertyBag::checkFail(std::string_view key) const {
    if (!m_failKey.empty() && namesEqual(m_failKey, key))
        throw Error(E_FAIL, 5, "Property bag failure at \"" + std::string(key) + "\"");
}

Variant MemoryPropertyBag::readProperty(std::string_view key, const Variant& def) {
    checkFail(key);
    auto it = find(key);
    return it == m_entries.end() ? def.deref() : it->second;
}

void MemoryPropertyBag::writeProperty(std::string_view key, const Variant& value,
                                      const Variant& def) {
    checkFail(key);
    if (!m_keepDefaults && value.sameValue(def)) {
        remove(key);
        return;
    }
    set(key, value);
}

bool MemoryPropertyBag::has(std::string_view key) const {
    return find(key) != m_entries.end();
}

std::optional<Variant> MemoryPropertyBag::get(std::string_view key) const {
    auto it = find(key);
    if (it == m_entries.end())
        return std::nullopt;
    return it->second;
}

void MemoryPropertyBag::set(std::string_view key, const Variant& value) {
    auto it = find(key);
    if (it != m_entries.end())
        it->second = value.deref();
    else
        m_entries.emplace_back(std::string(key), value.deref());
}

bool MemoryPropertyBag::remove(std::string_view key) {
    auto it = find(key);
    if (it == m_entries.end())
        return false;
    m_entries.erase(it);
    return true;
}

std::vector<std::string> MemoryPropertyBag::keys() const {
    std::vector<std::string> out;
    for (const auto& e : m_entries)
        out.push_back(e.first);
    return out;
}

namespace {

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out + "\"";
}

bool unquote(std::string_view s, std::string& out) {
    if (s.size() < 2 || s.front() != '"' || s.back() != '"')
        return false;
    s = s.substr(1, s.size() - 2);
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"')
            return false;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= s.size())
            return false;
        switch (s[i]) {
        case '"':
            out += '"';
            break;
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        default:
            return false;
        }
    }
    return true;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string MemoryPropertyBag::toText() const {
    std::ostringstream out;
    for (const auto& [key, value] : m_entries) {
        VarType t = value.type();
        switch (t) {
        case VarType::Empty:
        case VarType::Null:
            out << key << " = " << typeName(t) << "\n";
            break;
        case VarType::String:
            out << key << " = String " << quote(value.toString()) << "\n";
            break;
        case VarType::Boolean:
        case VarType::Byte:
        case VarType::Integer:
        case VarType::Long:
        case VarType::Single:
        case VarType::Double:
            out << key << " = " << typeName(t) << " " << value.toString() << "\n";
            break;
        default:
            out << "# " << key << " (" << typeName(t) << ") has no text form\n";
        }
    }
    return out.str();
}

std::optional<MemoryPropertyBag> MemoryPropertyBag::fromText(std::string_view text,
                                                             std::string* error) {
    MemoryPropertyBag bag;
    size_t lineNo = 0;
    auto fail = [&](const std::string& why) -> std::optional<MemoryPropertyBag> {
        if (error)
            *error = "line " + std::to_string(lineNo) + ": " + why;
        return std::nullopt;
    };
    while (!text.empty()) {
        ++lineNo;
        size_t nl = text.find('\n');
        std::string_view line = trimmed(text.substr(0, nl));
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        if (line.empty() || line.front() == '#')
            continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return fail("expected \"key = Type value\"");
        std::string_view key = trimmed(line.substr(0, eq));
        std::string_view rest = trimmed(line.substr(eq + 1));
        if (key.empty())
            return fail("empty key");
        size_t sp = rest.find(' ');
        std::string_view type = rest.substr(0, sp);
        std::string_view value =
            sp == std::string_view::npos ? std::string_view() : trimmed(rest.substr(sp + 1));
        Variant v;
        try {
            if (type == "Empty" && value.empty()) {
                v = Variant();
            } else if (type == "Null" && value.empty()) {
                v = Variant::null();
            } else if (type == "String") {
                std::string s;
                if (!unquote(value, s))
                    return fail("malformed string");
                v = Variant(s);
            } else if (type == "Boolean") {
                if (value == "True")
                    v = Variant(true);
                else if (value == "False")
                    v = Variant(false);
                else
                    return fail("Boolean must be True or False");
            } else {
                VarType target;
                if (type == "Byte")
                    target = VarType::Byte;
                else if (type == "Integer")
                    target = VarType::Integer;
                else if (type == "Long")
                    target = VarType::Long;
                else if (type == "Single")
                    target = VarType::Single;
                else if (type == "Double")
                    target = VarType::Double;
                else
                    return fail("unknown type \"" + std::string(type) + "\"");
                double d = 0;
                if (!parseNumber(value, d) || value == "True" || value == "False")
                    return fail("not a number");
                // Integers must be written whole; a fraction would silently round.
                if (target != VarType::Single && target != VarType::Double && d != roundHalfEven(d))
                    return fail("not a whole number");
                v = Variant(d).convertedTo(target);
            }
        } catch (const Error& e) {
            return fail(e.description());
        }
        bag.set(key, v);
    }
    return bag;
}

} // namespace ax
