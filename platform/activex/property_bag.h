#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/activex/variant.h"

namespace ax {

// Where a control keeps its persisted properties. Keys compare without regard to case.
class PropertyBag {
public:
    virtual ~PropertyBag() = default;
    // The stored value, or def when the key is absent. May throw ax::Error (a bag that
    // cannot be read); the caller converts the value to its field type, and that
    // conversion throws on a type mismatch or an overflow.
    virtual Variant readProperty(std::string_view key, const Variant& def) = 0;
    // Stores the value; a value equal to def need not be stored. May throw ax::Error.
    virtual void writeProperty(std::string_view key, const Variant& value, const Variant& def) = 0;
};

// An ordered in-memory bag. Values equal to their default are not stored unless
// keepDefaults is set. failOn(key) makes every read and write of that key fail, for
// testing how a control stops at a failing key.
class MemoryPropertyBag : public PropertyBag {
public:
    Variant readProperty(std::string_view key, const Variant& def) override;
    void writeProperty(std::string_view key, const Variant& value, const Variant& def) override;

    bool has(std::string_view key) const;
    std::optional<Variant> get(std::string_view key) const;
    void set(std::string_view key, const Variant& value); // replaces, keeps the position
    bool remove(std::string_view key);
    void clear() { m_entries.clear(); }
    size_t size() const { return m_entries.size(); }
    std::vector<std::string> keys() const;

    void setKeepDefaults(bool keep) { m_keepDefaults = keep; }
    void failOn(std::string_view key) { m_failKey = std::string(key); }

    // The text form: one "Key = Type value" a line, in stored order, for example
    //   Zoom = Double 2.5
    //   ScrollBars = Boolean False
    //   Name = String "a \"quoted\" word"
    // Types are Empty, Null, Boolean, Byte, Integer, Long, Single, Double and String;
    // strings escape \" \\ \n \t. Blank lines and lines starting with # are skipped.
    std::string toText() const;
    // Parses the text form; on a malformed line returns nullopt and, when error is given,
    // says which line and why. Arrays and objects have no text form (toText skips them
    // with a comment).
    static std::optional<MemoryPropertyBag> fromText(std::string_view text,
                                                     std::string* error = nullptr);

private:
    std::vector<std::pair<std::string, Variant>>::iterator find(std::string_view key);
    std::vector<std::pair<std::string, Variant>>::const_iterator find(std::string_view key) const;
    void checkFail(std::string_view key) const;

    std::vector<std::pair<std::string, Variant>> m_entries;
    bool m_keepDefaults = false;
    std::string m_failKey;
};

// Case-insensitive comparison of ASCII names (keys and member names).
bool namesEqual(std::string_view a, std::string_view b);

} // namespace ax
