// TIFF-structured tag directories (TIFF 6.0 IFDs, as EXIF 2.3 reuses them).

#include "platform/gdiplus/exif.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace gp::exif {

namespace {

constexpr uint32_t kExifIfd = 0x8769, kGpsIfd = 0x8825, kInteropIfd = 0xA005;
constexpr size_t kMaxEntries = 4096;
constexpr size_t kMaxItems = 8192;

// Baseline tags of IFD1 and the thumbnail ids they become.
constexpr struct {
    uint16_t tag;
    uint16_t id;
} kThumbnailIds[] = {
    {0x0100, 0x5020}, {0x0101, 0x5021}, {0x0102, 0x5022}, {0x0103, 0x5023}, {0x0106, 0x5024},
    {0x010E, 0x5025}, {0x010F, 0x5026}, {0x0110, 0x5027}, {0x0111, 0x5028}, {0x0112, 0x5029},
    {0x0115, 0x502A}, {0x0116, 0x502B}, {0x0117, 0x502C}, {0x011A, 0x502D}, {0x011B, 0x502E},
    {0x011C, 0x502F}, {0x0128, 0x5030}, {0x012D, 0x5031}, {0x0131, 0x5032}, {0x0132, 0x5033},
    {0x013B, 0x5034}, {0x013E, 0x5035}, {0x013F, 0x5036}, {0x0211, 0x5037}, {0x0212, 0x5038},
    {0x0213, 0x5039}, {0x0214, 0x503A}, {0x8298, 0x503B},
};

struct Block {
    std::span<const uint8_t> data;
    bool big = false;

    bool in(size_t at, size_t n) const { return at <= data.size() && data.size() - at >= n; }
    uint16_t u16(size_t at) const {
        return big ? uint16_t(data[at] << 8 | data[at + 1])
                   : uint16_t(data[at] | data[at + 1] << 8);
    }
    uint32_t u32(size_t at) const {
        return big ? uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 |
                         uint32_t(data[at + 2]) << 8 | data[at + 3]
                   : uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 |
                         uint32_t(data[at + 2]) << 16 | uint32_t(data[at + 3]) << 24;
    }
};

struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    size_t valueAt; // offset of the value bytes in the block
    size_t size;
};

// Copies an entry's value into machine (little-endian) order, element by element.
std::vector<uint8_t> valueOf(const Block& b, const Entry& e) {
    std::vector<uint8_t> v(b.data.begin() + std::ptrdiff_t(e.valueAt),
                           b.data.begin() + std::ptrdiff_t(e.valueAt + e.size));
    if (!b.big)
        return v;
    size_t unit = typeSize(e.type);
    if (e.type == PropertyTagTypeRational || e.type == PropertyTagTypeSRational)
        unit = 4;
    if (unit > 1)
        for (size_t i = 0; i + unit <= v.size(); i += unit)
            std::reverse(v.begin() + std::ptrdiff_t(i), v.begin() + std::ptrdiff_t(i + unit));
    return v;
}

// Reads the entries of the IFD at `offset`; returns the next IFD's offset (0 when none).
uint32_t readIfd(const Block& b, uint32_t offset, std::vector<Entry>& entries) {
    if (!b.in(offset, 2))
        return 0;
    size_t count = b.u16(offset);
    if (count > kMaxEntries || !b.in(offset + 2, count * 12))
        count = std::min(count, (b.data.size() - offset - 2) / 12);
    for (size_t i = 0; i < count; ++i) {
        size_t at = offset + 2 + i * 12;
        Entry e{b.u16(at), b.u16(at + 2), b.u32(at + 4), 0, 0};
        uint32_t unit = typeSize(e.type);
        if (unit == 0)
            continue;
        uint64_t size = uint64_t(unit) * e.count;
        if (size > b.data.size())
            continue;
        e.size = size_t(size);
        e.valueAt = size <= 4 ? at + 8 : b.u32(at + 8);
        if (!b.in(e.valueAt, e.size))
            continue;
        entries.push_back(e);
    }
    size_t next = offset + 2 + count * 12;
    return b.in(next, 4) ? b.u32(next) : 0;
}

struct Walker {
    Block b;
    std::vector<PropertyItem>& out;
    std::set<uint32_t> visited;
    bool capLayoutArrays = false;

    void add(uint32_t id, uint16_t type, std::vector<uint8_t> value) {
        if (out.size() >= kMaxItems)
            return;
        PropertyItem item;
        item.id = id;
        item.type = type;
        item.value = std::move(value);
        out.push_back(std::move(item));
    }
    bool has(uint32_t id) const {
        return std::any_of(out.begin(), out.end(),
                           [&](const PropertyItem& i) { return i.id == id; });
    }

    // Walks one directory; `kind` 0 = IFD0/Exif (ids as they are), 1 = GPS, 2 = Interop.
    void directory(uint32_t offset, int kind) {
        if (!visited.insert(offset).second)
            return;
        std::vector<Entry> entries;
        readIfd(b, offset, entries);
        for (const Entry& e : entries) {
            // Interop ids up to 0x001E are GPS ids too; reading them would make them pass
            // for GPS values.
            if (kind == 2 && (e.tag <= 0x001E || has(e.tag)))
                continue;
            if (capLayoutArrays && e.size > 65536 &&
                (e.tag == 0x0111 || e.tag == 0x0117 || e.tag == 0x0144 || e.tag == 0x0145))
                continue;
            add(e.tag, e.type, valueOf(b, e));
            bool pointer = e.tag == kExifIfd || e.tag == kGpsIfd || e.tag == kInteropIfd;
            if (kind != 1 && pointer && (e.type == PropertyTagTypeLong || e.type == 13) &&
                e.count >= 1)
                directory(b.u32(e.valueAt), e.tag == kGpsIfd ? 1 : e.tag == kInteropIfd ? 2 : 0);
        }
    }

    void thumbnail(uint32_t offset) {
        if (offset == 0 || !visited.insert(offset).second)
            return;
        std::vector<Entry> entries;
        readIfd(b, offset, entries);
        uint32_t dataAt = 0, dataLength = 0, stripAt = 0, stripLength = 0;
        uint32_t compression = 6;
        auto firstValue = [&](const Entry& e) -> uint32_t {
            return e.type == PropertyTagTypeShort ? b.u16(e.valueAt) : b.u32(e.valueAt);
        };
        for (const Entry& e : entries) {
            if (e.tag == 0x0201)
                dataAt = firstValue(e);
            else if (e.tag == 0x0202)
                dataLength = firstValue(e);
            if (e.tag == 0x0111 && e.count == 1)
                stripAt = firstValue(e);
            if (e.tag == 0x0117 && e.count == 1)
                stripLength = firstValue(e);
            if (e.tag == 0x0103)
                compression = firstValue(e);
            for (const auto& m : kThumbnailIds)
                if (m.tag == e.tag)
                    add(m.id, e.type, valueOf(b, e));
        }
        if (dataLength == 0 && stripLength != 0) {
            dataAt = stripAt;
            dataLength = stripLength;
        }
        if (dataLength == 0 || !b.in(dataAt, dataLength))
            return;
        std::span<const uint8_t> data = b.data.subspan(dataAt, dataLength);
        uint32_t format = compression == 6 ? 1 : 0; // 1 JPEG, 0 raw RGB
        uint32_t width = 0, height = 0;
        if (format == 1) {
            // The size comes from the thumbnail's SOF marker.
            for (size_t i = 2; i + 9 < data.size();) {
                if (data[i] != 0xFF) {
                    ++i;
                    continue;
                }
                uint8_t m = data[i + 1];
                if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) {
                    height = uint32_t(data[i + 5] << 8 | data[i + 6]);
                    width = uint32_t(data[i + 7] << 8 | data[i + 8]);
                    break;
                }
                if (m == 0xD8 || m == 0x01 || (m >= 0xD0 && m <= 0xD7) || m == 0xFF) {
                    i += m == 0xFF ? 1 : 2;
                    continue;
                }
                i += 2 + size_t(data[i + 2] << 8 | data[i + 3]);
            }
        }
        auto addLong = [&](uint32_t id, uint32_t v) {
            std::vector<uint8_t> bytes(4);
            std::memcpy(bytes.data(), &v, 4);
            add(id, PropertyTagTypeLong, std::move(bytes));
        };
        addLong(0x5012, format);
        addLong(0x5013, width);
        addLong(0x5014, height);
        addLong(0x5015, 24);
        addLong(0x5016, 1);
        addLong(0x5017, format == 1 ? 0 : dataLength);
        addLong(0x5018, dataLength);
        addLong(0x5019, format == 1 ? dataLength : 0);
        add(0x501B, PropertyTagTypeByte, std::vector<uint8_t>(data.begin(), data.end()));
    }
};

} // namespace

uint32_t typeSize(uint16_t type) {
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
        return 1;
    case 3:
    case 8:
        return 2;
    case 4:
    case 9:
    case 11:
    case 13: // IFD offset
        return 4;
    case 5:
    case 10:
    case 12:
        return 8;
    default:
        return 0;
    }
}

bool readExif(std::span<const uint8_t> tiff, std::vector<PropertyItem>& out) {
    if (tiff.size() < 8)
        return false;
    Block b{tiff, tiff[0] == 'M'};
    if (!((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M')) ||
        b.u16(2) != 42)
        return false;
    Walker w{b, out, {}};
    uint32_t ifd0 = b.u32(4);
    w.directory(ifd0, 0);
    std::vector<Entry> ignored;
    uint32_t ifd1 = readIfd(b, ifd0, ignored);
    w.thumbnail(ifd1);
    // A type-13 pointer reads back as LONG.
    for (PropertyItem& item : out)
        if (item.type == 13)
            item.type = PropertyTagTypeLong;
    return true;
}

bool readTiffDirectory(std::span<const uint8_t> tiff, uint64_t offset,
                       std::vector<PropertyItem>& out) {
    if (tiff.size() < 8 || offset > 0xFFFFFFFFu)
        return false;
    Block b{tiff, tiff[0] == 'M'};
    if (!((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M')) ||
        b.u16(2) != 42)
        return false;
    Walker w{b, out, {}};
    w.capLayoutArrays = true;
    w.directory(uint32_t(offset), 0);
    for (PropertyItem& item : out)
        if (item.type == 13)
            item.type = PropertyTagTypeLong;
    return true;
}

bool isStructuralTag(uint32_t id) {
    switch (id) {
    case 0x0100:
    case 0x0101:
    case 0x0102:
    case 0x0103:
    case 0x0106:
    case 0x0111:
    case 0x0115:
    case 0x0116:
    case 0x0117:
    case 0x011C:
    case 0x0140:
    case 0x0142:
    case 0x0143:
    case 0x0144:
    case 0x0145:
    case 0x0152:
    case 0x0201:
    case 0x0202:
    case 0x014A: // SubIFDs
    case kExifIfd:
    case kGpsIfd:
    case kInteropIfd:
    case 0x882A: // rejected by callers' own save preparation; never copied
    case 0x5090:
    case 0x5091:
        return true;
    default:
        return false;
    }
}

namespace {

enum class Home { None, Ifd0, Exif, Gps };

Home homeOf(uint32_t id) {
    if (isStructuralTag(id))
        return Home::None;
    if (id <= 0x001E)
        return Home::Gps;
    if (id >= 0x5000 && id <= 0x5FFF)
        return Home::None; // the thumbnail is written from 0x501B; the rest is derived
    if (id == 0x8773 || id == 0x02BC)
        return Home::None; // ICC and XMP have their own segments
    if (id == 0x8298 || id == 0x83BB || id == 0x8649 || id == 0xC4A5)
        return Home::Ifd0;
    if ((id >= 0x8280 && id <= 0x88FF) || (id >= 0x9000 && id <= 0x92FF) ||
        (id >= 0xA000 && id <= 0xA4FF))
        return Home::Exif;
    if (id > 0xFFFF)
        return Home::None;
    return Home::Ifd0;
}

struct IfdWriter {
    std::vector<uint8_t>& out;

    void at16(size_t pos, uint16_t v) {
        out[pos] = uint8_t(v);
        out[pos + 1] = uint8_t(v >> 8);
    }
    void at32(size_t pos, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[pos + size_t(i)] = uint8_t(v >> (8 * i));
    }

    struct Tag {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        std::vector<uint8_t> value;
    };

    // Writes an IFD at the end of `out`; returns its offset and the position of its
    // next-IFD field. Values are little-endian already (machine order).
    size_t write(std::vector<Tag> tags, size_t* nextField) {
        std::stable_sort(tags.begin(), tags.end(),
                         [](const Tag& a, const Tag& b) { return a.tag < b.tag; });
        if (out.size() & 1)
            out.push_back(0);
        size_t start = out.size();
        out.resize(start + 2 + tags.size() * 12 + 4, 0);
        at16(start, uint16_t(tags.size()));
        for (size_t i = 0; i < tags.size(); ++i) {
            size_t e = start + 2 + i * 12;
            at16(e, tags[i].tag);
            at16(e + 2, tags[i].type);
            at32(e + 4, tags[i].count);
            if (tags[i].value.size() <= 4) {
                if (!tags[i].value.empty())
                    std::memcpy(&out[e + 8], tags[i].value.data(), tags[i].value.size());
            } else {
                if (out.size() & 1)
                    out.push_back(0);
                at32(e + 8, uint32_t(out.size()));
                out.insert(out.end(), tags[i].value.begin(), tags[i].value.end());
            }
        }
        *nextField = start + 2 + tags.size() * 12;
        return start;
    }
};

IfdWriter::Tag tagOf(const PropertyItem& item) {
    uint32_t unit = typeSize(item.type);
    IfdWriter::Tag t{uint16_t(item.id), item.type, uint32_t(item.value.size() / (unit ? unit : 1)),
                     item.value};
    t.value.resize(size_t(t.count) * unit);
    return t;
}

IfdWriter::Tag longTag(uint16_t tag, uint32_t v) {
    IfdWriter::Tag t{tag, PropertyTagTypeLong, 1, std::vector<uint8_t>(4)};
    std::memcpy(t.value.data(), &v, 4);
    return t;
}

} // namespace

std::vector<uint8_t> buildExif(const std::vector<PropertyItem>& items) {
    std::vector<IfdWriter::Tag> ifd0, exifIfd, gps;
    for (const PropertyItem& item : items) {
        // Values shorter than one element of their type cannot be written.
        if (typeSize(item.type) == 0 || item.type == 13 ||
            item.value.size() < typeSize(item.type) || item.value.size() > 60000)
            continue;
        switch (homeOf(item.id)) {
        case Home::Ifd0:
            ifd0.push_back(tagOf(item));
            break;
        case Home::Exif:
            exifIfd.push_back(tagOf(item));
            break;
        case Home::Gps:
            gps.push_back(tagOf(item));
            break;
        case Home::None:
            break;
        }
    }
    const PropertyItem* thumb = nullptr;
    for (const PropertyItem& item : items)
        if (item.id == 0x501B && item.value.size() > 4 && item.value.size() < 60000 &&
            item.value[0] == 0xFF && item.value[1] == 0xD8)
            thumb = &item;
    if (ifd0.empty() && exifIfd.empty() && gps.empty() && !thumb)
        return {};

    std::vector<uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
    IfdWriter w{out};
    // Pointers are placeholders first and are patched once their directories exist.
    if (!exifIfd.empty())
        ifd0.push_back(longTag(uint16_t(kExifIfd), 0));
    if (!gps.empty())
        ifd0.push_back(longTag(uint16_t(kGpsIfd), 0));
    size_t next0 = 0;
    size_t ifd0At = w.write(ifd0, &next0);
    auto patchPointer = [&](uint16_t tag, size_t target) {
        uint16_t n = uint16_t(out[ifd0At] | out[ifd0At + 1] << 8);
        for (size_t i = 0; i < n; ++i) {
            size_t e = ifd0At + 2 + i * 12;
            if (uint16_t(out[e] | out[e + 1] << 8) == tag)
                w.at32(e + 8, uint32_t(target));
        }
    };
    size_t ignored = 0;
    if (!exifIfd.empty())
        patchPointer(uint16_t(kExifIfd), w.write(exifIfd, &ignored));
    if (!gps.empty())
        patchPointer(uint16_t(kGpsIfd), w.write(gps, &ignored));
    if (thumb) {
        std::vector<IfdWriter::Tag> ifd1;
        ifd1.push_back({0x0103, PropertyTagTypeShort, 1, {6, 0}});
        ifd1.push_back(longTag(0x0201, 0));
        ifd1.push_back(longTag(0x0202, uint32_t(thumb->value.size())));
        for (const PropertyItem& item : items)
            for (const auto& m : kThumbnailIds)
                if (m.id == item.id && !isStructuralTag(m.tag) && typeSize(item.type) != 0 &&
                    item.value.size() >= typeSize(item.type) && item.value.size() <= 60000) {
                    IfdWriter::Tag t = tagOf(item);
                    t.tag = m.tag;
                    ifd1.push_back(t);
                }
        size_t ifd1At = w.write(ifd1, &ignored);
        w.at32(next0, uint32_t(ifd1At));
        if (out.size() & 1)
            out.push_back(0);
        size_t dataAt = out.size();
        out.insert(out.end(), thumb->value.begin(), thumb->value.end());
        // The interchange-format offset is the second entry after sorting (0x0103, 0x0201...).
        uint16_t n = uint16_t(out[ifd1At] | out[ifd1At + 1] << 8);
        for (size_t i = 0; i < n; ++i) {
            size_t e = ifd1At + 2 + i * 12;
            if (uint16_t(out[e] | out[e + 1] << 8) == 0x0201)
                w.at32(e + 8, uint32_t(dataAt));
        }
    }
    return out;
}

} // namespace gp::exif
