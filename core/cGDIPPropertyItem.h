#pragma once

// One image property (tag) as the library hands it around: id, GDI+ type, length and a
// copy of the value bytes, with the tag's name, element size and value count. Made only by
// the library (CreatePropertyItem); hosts never see it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tavimo {

class cGDIPPropertyItem;

// Only the library's metadata reader can make the key, so only it can initialise items.
class PropertyItemKey {
    PropertyItemKey() = default;
    friend cGDIPPropertyItem CreatePropertyItemFromBuffer(const void*, uint32_t);
};

class cGDIPPropertyItem {
public:
    int32_t ID() const { return m_id; }
    // The first value byte; null when Length is below 1.
    const uint8_t* DataPtr() const;
    int32_t ItemType() const { return m_type; }
    int32_t Length() const { return m_length; }
    // The tag's name, or the id in upper-case hexadecimal for a tag outside the table.
    std::string name() const;
    int32_t ValueCount() const;
    // The index-th (1-based) 4-byte value, signed little-endian; 0 outside 1..ValueCount.
    // Throws win::VbError(9) when those 4 bytes lie beyond the value.
    int32_t ParseLong(int32_t index) const;
    // Fills `bytes` from the first value byte; nothing when Length is below 1. Throws
    // win::VbError(9) when `bytes` is longer than the value.
    void GetData(std::span<uint8_t> bytes) const;
    // Replaces `bytes` by all value bytes (nothing happens when Length is below 1).
    void GetDataB(std::vector<uint8_t>& bytes) const;
    int32_t DataBufferSize() const { return m_length * ElementDataSize(); }
    int32_t ElementDataSize() const;

    // Sets id, length and type; copies bufferSize - header bytes of value from `value` when
    // there is one. `bufferSize` is that of a whole GDI+ item buffer (header then value).
    bool InitFromBuffer(PropertyItemKey, int32_t id, int32_t length, int32_t type,
                        const void* value, int32_t bufferSize);

private:
    int32_t m_id = 0;
    int32_t m_length = 0;
    int32_t m_type = 0;
    std::vector<uint8_t> m_value;
};

// The name of a tag id, as cGDIPPropertyItem::name gives it.
std::string PropertyTagName(uint32_t id);

} // namespace tavimo
