#include "core/image_metadata.h"

#include "platform/gdiplus/gdiplus.h"
#include "platform/win/codepage.h"
#include "platform/win/vb_number.h"

#include <cstdio>
#include <cstring>

namespace tavimo {

namespace {

// Receives the item CreatePropertyItem reads; one per thread, reused for every read.
thread_local std::vector<uint8_t> t_itemBuffer;

template <class T> T readLE(const std::vector<uint8_t>& bytes, size_t offset) {
    if (offset + sizeof(T) > bytes.size())
        throw win::VbError(win::kVbSubscript);
    T v;
    std::memcpy(&v, &bytes[offset], sizeof(T));
    return v;
}

std::string byteCount(int32_t length) { return std::to_string(length) + " Byte"; }

void appendValue(std::string& out, int32_t i, const std::string& text) {
    if (i > 1)
        out += ", ";
    out += text;
}

std::vector<std::string> splitNumbers(const std::string& text) {
    std::string compact;
    for (char c : text)
        if (c != ' ')
            compact += c;
    std::vector<std::string> pieces;
    if (compact.empty())
        return pieces;
    size_t start = 0;
    for (;;) {
        size_t comma = compact.find(',', start);
        pieces.push_back(compact.substr(start, comma == std::string::npos ? std::string::npos
                                                                           : comma - start));
        if (comma == std::string::npos)
            return pieces;
        start = comma + 1;
    }
}

} // namespace

int32_t GetPropertyCount(ImageId id, uint32_t& count) {
    count = 0;
    return gp::GdipGetPropertyCount(GetGdiImage(id), &count);
}

int32_t GetImagePropertyCount(ImageId id, uint32_t& count) {
    count = 0;
    if (FindImageIndex(id) < 0)
        return OK;
    return GetPropertyCount(id, count);
}

int32_t GetPropertyItemSize(ImageId id, uint32_t tag, uint32_t& size) {
    size = 0;
    return gp::GdipGetPropertyItemSize(GetGdiImage(id), tag, &size);
}

cGDIPPropertyItem CreatePropertyItemFromBuffer(const void* buffer, uint32_t size) {
    cGDIPPropertyItem item;
    const auto* header = static_cast<const gp::GdipPropertyItem*>(buffer);
    item.InitFromBuffer(PropertyItemKey{}, static_cast<int32_t>(header->id),
                        static_cast<int32_t>(header->length), header->type, header->value,
                        static_cast<int32_t>(size));
    return item;
}

std::optional<cGDIPPropertyItem> CreatePropertyItem(ImageId id, uint32_t tag) {
    uint32_t size = 0;
    if (GetPropertyItemSize(id, tag, size) != OK || size < sizeof(gp::GdipPropertyItem))
        return std::nullopt;
    t_itemBuffer.assign(size, 0);
    auto* header = reinterpret_cast<gp::GdipPropertyItem*>(t_itemBuffer.data());
    if (gp::GdipGetPropertyItem(GetGdiImage(id), tag, size, header) != gp::Ok)
        return cGDIPPropertyItem{};
    return CreatePropertyItemFromBuffer(t_itemBuffer.data(), size);
}

std::optional<cGDIPPropertyItem> GetPropertyItemByIndex(ImageId id, int32_t index,
                                                        uint32_t count) {
    if (index < 1 || static_cast<uint32_t>(index) > count)
        return std::nullopt;
    std::vector<gp::PROPID> ids(count, 0);
    gp::GdipGetPropertyIdList(GetGdiImage(id), count, ids.data());
    return CreatePropertyItem(id, ids[static_cast<size_t>(index - 1)]);
}

std::string GetExifTagValue(ImageId id, int32_t index) {
    if (FindImageIndex(id) < 0)
        return {};
    uint32_t count = 0;
    GetImagePropertyCount(id, count);
    if (index < 1 || static_cast<uint32_t>(index) > count)
        return {};
    auto item = GetPropertyItemByIndex(id, index, count);
    if (!item)
        return {};
    std::vector<uint8_t> bytes;
    item->GetDataB(bytes);
    return FormatPropertyValue(static_cast<uint32_t>(item->ID()), item->ItemType(), item->Length(),
                               item->ValueCount(), bytes);
}

std::string FormatPropertyValue(uint32_t tagId, int32_t type, int32_t length, int32_t valueCount,
                                const std::vector<uint8_t>& bytes) {
    if (tagId == 0x02BC)
        type = 2;
    bool asciiWhateverType = tagId == 37510 || tagId == 50341;
    if (length > 9999)
        return byteCount(length);
    if (asciiWhateverType)
        type = 2;

    std::string out;
    switch (type) {
    case 1:
        for (int32_t i = 1; i <= valueCount; ++i)
            appendValue(out, i, win::Str(readLE<uint8_t>(bytes, static_cast<size_t>(i - 1))));
        return out;
    case 2: {
        if (bytes.empty())
            return "0";
        // Every byte is a character of the code page, a terminating zero included.
        std::string text = win::cp1252ToUtf8(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        if (tagId == 37510) {
            // Drop the eight-character character-code header of a user comment.
            size_t skip = 0;
            for (int chars = 0; chars < 8 && skip < text.size(); ++chars) {
                unsigned char c = static_cast<unsigned char>(text[skip]);
                skip += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            }
            text.erase(0, std::min(skip, text.size()));
        }
        return text;
    }
    case 3:
    case 8:
        for (int32_t i = 1; i <= valueCount; ++i)
            appendValue(out, i,
                        win::Str(readLE<uint16_t>(bytes, static_cast<size_t>(i - 1) * 2)));
        return out;
    case 4:
    case 9:
        for (int32_t i = 1; i <= valueCount; ++i)
            appendValue(out, i, win::Str(readLE<int32_t>(bytes, static_cast<size_t>(i - 1) * 4)));
        return out;
    case 5:
    case 10:
        for (int32_t i = 1; i <= valueCount; ++i) {
            size_t at = static_cast<size_t>(i - 1) * 8;
            double numerator = readLE<int32_t>(bytes, at);
            double denominator = readLE<int32_t>(bytes, at + 4);
            if (denominator == 0)
                throw win::VbError(win::kVbDivisionByZero);
            appendValue(out, i, win::Str(numerator / denominator));
        }
        return out;
    case 7:
        for (int32_t i = 1; i <= valueCount; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X", readLE<uint8_t>(bytes, static_cast<size_t>(i - 1)));
            appendValue(out, i, hex);
        }
        return out;
    default:
        return byteCount(length);
    }
}

int32_t SetPropertyItem(ImageId id, const gp::GdipPropertyItem& item, bool markModified) {
    int32_t status = gp::GdipSetPropertyItem(GetGdiImage(id), &item);
    if (status == OK && markModified)
        MarkImageModified(id);
    return status;
}

int32_t SetAsciiTag(ImageId id, uint32_t tag, const std::string& text, bool markModified) {
    if (text.empty() || FindImageIndex(id) < 0)
        return InvalidParameter;
    std::string value = text;
    if (tag == 37510 && value.rfind("ASCII", 0) != 0)
        value = std::string(8, ' ') + value;
    std::string ansi = win::utf8ToCp1252(value);
    std::vector<uint8_t> bytes(ansi.begin(), ansi.end());
    bytes.push_back(0);
    if (tag == 37510)
        std::memcpy(bytes.data(), "ASCII", 5);
    gp::GdipPropertyItem item{tag, static_cast<uint32_t>(ansi.size()), gp::PropertyTagTypeASCII,
                              bytes.data()};
    return SetPropertyItem(id, item, markModified);
}

int32_t SetLongArrayTag(ImageId id, uint32_t tag, const std::string& text, bool markModified,
                        bool isSigned) {
    std::vector<std::string> pieces = splitNumbers(text);
    if (pieces.empty())
        return InvalidParameter;
    std::vector<int32_t> values;
    for (const std::string& piece : pieces)
        values.push_back(win::toInt32(win::Val(piece)));
    gp::GdipPropertyItem item{tag, static_cast<uint32_t>(values.size() * 4),
                              static_cast<uint16_t>(isSigned ? gp::PropertyTagTypeSLong
                                                             : gp::PropertyTagTypeLong),
                              values.data()};
    return SetPropertyItem(id, item, markModified);
}

int32_t SetShortArrayTag(ImageId id, uint32_t tag, const std::string& text, bool markModified) {
    std::vector<std::string> pieces = splitNumbers(text);
    if (pieces.empty())
        return InvalidParameter;
    std::vector<uint16_t> values;
    for (const std::string& piece : pieces) {
        // The type is the unsigned SHORT, so 0..65535 is stored as it is (a loop count
        // above 32767 must survive); negative values down to -32768 keep their 16 bits.
        int32_t v = win::toInt32(win::Val(piece));
        if (v < -32768 || v > 65535)
            throw win::VbError(win::kVbOverflow);
        values.push_back(static_cast<uint16_t>(v));
    }
    gp::GdipPropertyItem item{tag, static_cast<uint32_t>(values.size() * 2),
                              gp::PropertyTagTypeShort, values.data()};
    return SetPropertyItem(id, item, markModified);
}

int32_t SetRawTag(ImageId id, uint32_t tag, uint16_t type, const std::vector<uint8_t>& bytes,
                  bool markModified) {
    gp::GdipPropertyItem item{tag, static_cast<uint32_t>(bytes.size()), type,
                              const_cast<uint8_t*>(bytes.data())};
    return SetPropertyItem(id, item, markModified);
}

int32_t SetTagFromPointer(ImageId id, uint32_t tag, uint16_t type, uint32_t length,
                          const void* value, bool markModified) {
    try {
        gp::GdipPropertyItem item{tag, length, type, const_cast<void*>(value)};
        return SetPropertyItem(id, item, markModified);
    } catch (...) {
        return InvalidParameter;
    }
}

int32_t RemovePropertyItem(ImageId id, uint32_t tag) {
    return gp::GdipRemovePropertyItem(GetGdiImage(id), tag);
}

} // namespace tavimo
