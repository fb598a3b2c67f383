#include "hosts/tavimo-view/script.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "platform/activex/property_bag.h"

namespace tavimo_view {

namespace {

struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

template <class T> std::string shortest(T v) {
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Infinity" : "-Infinity";
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (char ch : s) {
        if (ch == '"' || ch == '\\')
            out += '\\';
        out += ch;
    }
    return out + "\"";
}

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

// Removes a comment that starts outside a string.
std::string stripComment(const std::string& line) {
    bool inString = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char ch = line[i];
        if (inString && ch == '\\') {
            ++i;
        } else if (ch == '"') {
            inString = !inString;
        } else if (ch == '#' && !inString) {
            return line.substr(0, i);
        }
    }
    return line;
}

// One literal from the start of `text` (leading blanks skipped); `pos` moves past it.
ax::Variant parseLiteral(const std::string& text, size_t& pos) {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    if (pos >= text.size())
        throw ScriptError("value expected");
    if (text[pos] == '"') {
        std::string s;
        for (++pos; pos < text.size(); ++pos) {
            char ch = text[pos];
            if (ch == '\\' && pos + 1 < text.size()) {
                char next = text[++pos];
                s += next == 'n' ? '\n' : next == 't' ? '\t' : next;
            } else if (ch == '"') {
                ++pos;
                return ax::Variant(s);
            } else {
                s += ch;
            }
        }
        throw ScriptError("unterminated string");
    }
    size_t end = pos;
    while (end < text.size() && text[end] != ',' &&
           !std::isspace(static_cast<unsigned char>(text[end])))
        ++end;
    std::string word = text.substr(pos, end - pos);
    pos = end;
    if (ax::namesEqual(word, "True"))
        return ax::Variant(true);
    if (ax::namesEqual(word, "False"))
        return ax::Variant(false);
    int64_t whole = 0;
    auto r = std::from_chars(word.data(), word.data() + word.size(), whole);
    if (r.ec == std::errc() && r.ptr == word.data() + word.size() && whole >= INT32_MIN &&
        whole <= INT32_MAX)
        return ax::Variant(static_cast<int32_t>(whole));
    double real = 0;
    auto d = std::from_chars(word.data(), word.data() + word.size(), real);
    if (d.ec == std::errc() && d.ptr == word.data() + word.size())
        return ax::Variant(real);
    throw ScriptError("not a value: " + word);
}

std::vector<ax::Variant> parseArguments(const std::string& text) {
    std::vector<ax::Variant> args;
    size_t pos = 0;
    if (trim(text).empty())
        return args;
    for (;;) {
        args.push_back(parseLiteral(text, pos));
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
            ++pos;
        if (pos >= text.size())
            return args;
        if (text[pos] != ',')
            throw ScriptError("',' expected between arguments");
        ++pos;
    }
}

// Words of a host command; double-quoted words may hold blanks.
std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[pos]))) {
            ++pos;
            continue;
        }
        if (text[pos] == '"') {
            words.push_back(parseLiteral(text, pos).toString());
            continue;
        }
        size_t end = pos;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
            ++end;
        words.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

int toInt(const std::string& word) {
    int v = 0;
    auto r = std::from_chars(word.data(), word.data() + word.size(), v);
    if (r.ec != std::errc() || r.ptr != word.data() + word.size())
        throw ScriptError("not a whole number: " + word);
    return v;
}

ax::Variant holderFor(ax::VarType type) {
    switch (type) {
    case ax::VarType::Integer:
        return ax::Variant(int16_t{0});
    case ax::VarType::Long:
        return ax::Variant(int32_t{0});
    case ax::VarType::Single:
        return ax::Variant(0.0f);
    case ax::VarType::Double:
        return ax::Variant(0.0);
    case ax::VarType::String:
        return ax::Variant(std::string());
    case ax::VarType::Boolean:
        return ax::Variant(false);
    default:
        return ax::Variant();
    }
}

std::string describeFailure(ax::HResult hr, const ax::ExcepInfo& excep) {
    if (hr == ax::DISP_E_EXCEPTION)
        return "exception: " + excep.description;
    if (hr == ax::DISP_E_TYPEMISMATCH)
        return "type mismatch";
    if (hr == ax::DISP_E_BADPARAMCOUNT)
        return "wrong number of arguments";
    if (hr == ax::DISP_E_PARAMNOTOPTIONAL)
        return "missing argument";
    if (hr == ax::DISP_E_OVERFLOW)
        return "value out of range";
    if (hr == ax::DISP_E_MEMBERNOTFOUND)
        return "member cannot be used this way";
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(hr));
    return std::string("call failed (0x") + code + ")";
}

class Runner {
public:
    Runner(std::ostream& out, ScriptHost& host) : m_out(out), m_host(host) {}

    void statement(const std::string& line) {
        if (line[0] == '!')
            return command(splitWords(line.substr(1)));
        size_t end = 0;
        while (end < line.size() &&
               (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_'))
            ++end;
        if (end == 0)
            throw ScriptError("member name expected");
        std::string name = line.substr(0, end);
        std::string rest = trim(line.substr(end));
        ax::HostedControl& c = m_host.control();
        const ax::MemberInfo* member = c.dispatch->typeInfo().member(name);
        if (!member)
            throw ScriptError("unknown member: " + name);
        if (!rest.empty() && rest[0] == '=') {
            size_t pos = 1;
            ax::Variant value = parseLiteral(rest, pos);
            if (!trim(rest.substr(pos)).empty())
                throw ScriptError("one value expected after '='");
            invoke(*member, ax::InvokeKind::PropPut, {value}, nullptr);
            return;
        }
        std::vector<ax::Variant> given = parseArguments(rest);
        if (member->kind == ax::MemberKind::Property) {
            if (!given.empty())
                throw ScriptError("a property takes no arguments; use '=' to set it");
            ax::Variant result;
            invoke(*member, ax::InvokeKind::PropGet, {}, &result);
            m_out << formatValue(result) << '\n';
            return;
        }
        // By-reference parameters get holders, whether given or not, and print after.
        std::vector<ax::Variant> holders(member->params.size());
        std::vector<ax::Variant> args;
        for (size_t i = 0; i < member->params.size(); ++i) {
            const ax::ParamInfo& p = member->params[i];
            if (p.byRef) {
                holders[i] = i < given.size() ? given[i] : holderFor(p.type);
                args.push_back(ax::Variant::byRef(holders[i]));
            } else if (i < given.size()) {
                args.push_back(given[i]);
            } else {
                break;
            }
        }
        if (given.size() > member->params.size())
            throw ScriptError("too many arguments for " + member->name);
        ax::Variant result;
        invoke(*member, ax::InvokeKind::Method, std::move(args), &result);
        if (!result.isEmpty())
            m_out << formatValue(result) << '\n';
        for (size_t i = 0; i < member->params.size(); ++i)
            if (member->params[i].byRef)
                m_out << member->params[i].name << '=' << formatValue(holders[i]) << '\n';
    }

private:
    void invoke(const ax::MemberInfo& member, ax::InvokeKind kind, std::vector<ax::Variant> args,
                ax::Variant* result) {
        ax::ExcepInfo excep;
        ax::HResult hr =
            m_host.control().dispatch->Invoke(member.id, kind, args, result, &excep, nullptr);
        if (ax::Failed(hr))
            throw ScriptError(member.name + ": " + describeFailure(hr, excep));
    }

    void need(const std::vector<std::string>& w, size_t count, const char* usage) {
        if (w.size() != count)
            throw ScriptError(std::string("usage: !") + usage);
    }

    void command(const std::vector<std::string>& w) {
        if (w.empty())
            throw ScriptError("host command expected after '!'");
        const std::string& cmd = w[0];
        ax::HeadlessHost& host = m_host.host();
        if (cmd == "snapshot") {
            need(w, 2, "snapshot PATH");
            std::string error;
            if (!m_host.snapshot(w[1], error))
                throw ScriptError("snapshot: " + error);
        } else if (cmd == "resize") {
            need(w, 3, "resize W H");
            int width = toInt(w[1]), height = toInt(w[2]);
            if (width < 1 || height < 1)
                throw ScriptError("resize: the size must be positive");
            m_host.resize(width, height);
        } else if (cmd == "advance") {
            need(w, 2, "advance MS");
            int ms = toInt(w[1]);
            if (ms < 0)
                throw ScriptError("advance: negative time");
            m_host.advance(static_cast<uint64_t>(ms));
        } else if (cmd == "events") {
            need(w, 1, "events");
            auto& records = m_host.control().events->records;
            for (const auto& r : records) {
                m_out << r.name;
                if (!r.args.empty()) {
                    m_out << '(';
                    for (size_t i = 0; i < r.args.size(); ++i)
                        m_out << (i ? ", " : "") << formatValue(r.args[i]);
                    m_out << ')';
                }
                m_out << '\n';
            }
            records.clear();
        } else if (cmd == "mouse") {
            need(w, 6, "mouse down|move|up BUTTON SHIFT X Y");
            int button = toInt(w[2]), shift = toInt(w[3]), x = toInt(w[4]), y = toInt(w[5]);
            if (w[1] == "down")
                host.mouseDown(m_host.control(), button, shift, x, y);
            else if (w[1] == "move")
                host.mouseMove(m_host.control(), button, shift, x, y);
            else if (w[1] == "up")
                host.mouseUp(m_host.control(), button, shift, x, y);
            else
                throw ScriptError("mouse: down, move or up expected");
        } else if (cmd == "key") {
            need(w, 4, "key down|up KEYCODE SHIFT");
            int key = toInt(w[2]), shift = toInt(w[3]);
            if (w[1] == "down")
                host.keyDown(m_host.control(), key, shift);
            else if (w[1] == "up")
                host.keyUp(m_host.control(), key, shift);
            else
                throw ScriptError("key: down or up expected");
        } else if (cmd == "wheel") {
            need(w, 2, "wheel DELTA");
            host.wheel(m_host.control(), toInt(w[1]));
        } else if (cmd == "drop") {
            if (w.size() < 2)
                throw ScriptError("usage: !drop PATH ...");
            host.dropFiles(m_host.control(), std::vector<std::string>(w.begin() + 1, w.end()));
        } else if (cmd == "save") {
            need(w, 2, "save BAG");
            ax::MemoryPropertyBag bag;
            if (ax::Failed(m_host.control().control->save(bag)))
                throw ScriptError("save: the control could not save its properties");
            std::ofstream f(w[1], std::ios::binary);
            f << bag.toText();
            if (!f.flush())
                throw ScriptError("save: cannot write " + w[1]);
        } else if (cmd == "load") {
            need(w, 2, "load BAG");
            std::ifstream f(w[1], std::ios::binary);
            if (!f)
                throw ScriptError("load: cannot read " + w[1]);
            std::stringstream text;
            text << f.rdbuf();
            std::string why;
            auto bag = ax::MemoryPropertyBag::fromText(text.str(), &why);
            if (!bag)
                throw ScriptError("load: " + why);
            std::string error;
            if (!m_host.reload(*bag, error))
                throw ScriptError("load: " + error);
        } else {
            throw ScriptError("unknown host command: !" + cmd);
        }
    }

    std::ostream& m_out;
    ScriptHost& m_host;
};

} // namespace

std::string formatValue(const ax::Variant& value) {
    const ax::Variant& v = value.deref();
    switch (v.type()) {
    case ax::VarType::Empty:
        return "Empty";
    case ax::VarType::Null:
        return "Null";
    case ax::VarType::Boolean:
        return v.toBool() ? "True" : "False";
    case ax::VarType::Byte:
    case ax::VarType::Integer:
    case ax::VarType::Long:
        return std::to_string(v.toLong());
    case ax::VarType::Single:
        return shortest(v.toSingle());
    case ax::VarType::Double:
        return shortest(v.toDouble());
    case ax::VarType::String:
        return quote(v.toString());
    case ax::VarType::Object:
        return v.toObject() ? "Object" : "Nothing";
    case ax::VarType::Error:
        return "Error";
    default:
        if (static_cast<uint16_t>(v.type()) & static_cast<uint16_t>(ax::VarType::Array)) {
            auto a = v.toArray();
            size_t n =
                a ? (a->elementType == ax::VarType::Byte ? a->bytes.size() : a->items.size()) : 0;
            return "Array(" + std::to_string(n) + ")";
        }
        return v.describe();
    }
}

int runScript(std::istream& in, std::ostream& out, std::ostream& err, ScriptHost& host) {
    Runner runner(out, host);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        std::string line = trim(stripComment(raw));
        if (line.empty())
            continue;
        try {
            runner.statement(line);
            host.settle();
            out.flush();
        } catch (const std::exception& e) {
            out.flush();
            err << "line " << number << ": " << e.what() << '\n';
            return 2;
        }
    }
    return 0;
}

} // namespace tavimo_view
