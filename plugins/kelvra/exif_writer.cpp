// EXIF block (APP1 payload: "Exif\0\0" and a little-endian TIFF structure, CIPA DC-008)
// built from a bitmap's EXIF, EXIF-main and GPS tags. FreeImage's JPEG writer only writes a
// raw EXIF block, so without this every tag set on a bitmap would be lost in a JPEG save.

#include "plugins/kelvra/exif_writer.h"

#include <algorithm>
#include <cstring>

namespace kelvra {
namespace {

struct Entry {
    uint16_t id;
    uint16_t type;
    uint32_t count;
    std::vector<uint8_t> value;
};

constexpr uint16_t kExifPointer = 0x8769;
constexpr uint16_t kGpsPointer = 0x8825;
constexpr uint16_t kInteropPointer = 0xA005;
constexpr size_t kMaxPayload = 65533; // an APP1 segment's length field counts itself

unsigned typeWidth(int type) {
    switch (type) {
    case FIDT_BYTE:
    case FIDT_ASCII:
    case FIDT_SBYTE:
    case FIDT_UNDEFINED:
        return 1;
    case FIDT_SHORT:
    case FIDT_SSHORT:
        return 2;
    case FIDT_LONG:
    case FIDT_SLONG:
    case FIDT_FLOAT:
        return 4;
    case FIDT_RATIONAL:
    case FIDT_SRATIONAL:
    case FIDT_DOUBLE:
        return 8;
    default:
        return 0; // IFD offsets, palettes and 64-bit types have no place in an EXIF block
    }
}

// Tags that describe a TIFF file's own layout (and offsets into it): meaningless, even
// harmful, in a JPEG's EXIF block. GDI+'s own tags (0x5000 to 0x5FFF: thumbnail, tables)
// are not EXIF either.
bool isLayoutTag(uint16_t id) {
    switch (id) {
    case 0x00FE:
    case 0x00FF:
    case 0x0100:
    case 0x0101:
    case 0x0102:
    case 0x0103:
    case 0x0106:
    case 0x0107:
    case 0x0111:
    case 0x0115:
    case 0x0116:
    case 0x0117:
    case 0x0118:
    case 0x0119:
    case 0x011C:
    case 0x0140:
    case 0x0144:
    case 0x0145:
    case 0x014A:
    case 0x0152:
    case 0x0201:
    case 0x0202:
    case kExifPointer:
    case kGpsPointer:
    case kInteropPointer:
        return true;
    default:
        return id >= 0x5000 && id <= 0x5FFF;
    }
}

void collect(FIBITMAP* dib, FREE_IMAGE_MDMODEL model, std::vector<Entry>& ifd0,
             std::vector<Entry>& exif, std::vector<Entry>& gps) {
    FITAG* tag = nullptr;
    FIMETADATA* md = FreeImage_FindFirstMetadata(model, dib, &tag);
    if (!md)
        return;
    do {
        if (!tag)
            continue;
        uint16_t id = FreeImage_GetTagID(tag);
        int type = FreeImage_GetTagType(tag);
        uint32_t count = FreeImage_GetTagCount(tag);
        uint32_t length = FreeImage_GetTagLength(tag);
        const auto* value = static_cast<const uint8_t*>(FreeImage_GetTagValue(tag));
        unsigned width = typeWidth(type);
        if (width == 0 || count == 0 || !value || static_cast<uint64_t>(count) * width != length)
            continue;
        if (length > kMaxPayload)
            continue;
        Entry entry{id, static_cast<uint16_t>(type), count, {value, value + length}};
        if (model == FIMD_EXIF_GPS) {
            if (id <= 0x001F)
                gps.push_back(std::move(entry));
        } else if (!isLayoutTag(id)) {
            // Image-description tags (below 0x8000) belong to the first IFD wherever they were
            // filed, so that readers find them where the standard puts them.
            (id < 0x8000 ? ifd0 : exif).push_back(std::move(entry));
        }
    } while (FreeImage_FindNextMetadata(md, &tag));
    FreeImage_FindCloseMetadata(md);
}

// Sorts by id and keeps the first of each id (the first model collected wins).
void normalise(std::vector<Entry>& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.id < b.id; });
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const Entry& a, const Entry& b) { return a.id == b.id; }),
                  entries.end());
}

void put16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct WrittenIfd {
    size_t start;                    // offset of the IFD from the TIFF header
    std::vector<size_t> valueFields; // offset of each entry's value field
};

// Appends one IFD (entries, next-IFD link 0, then the values that do not fit in an entry),
// starting on a word boundary as TIFF wants.
WrittenIfd appendIfd(std::vector<uint8_t>& out, const std::vector<Entry>& entries) {
    if (out.size() % 2)
        out.push_back(0);
    size_t start = out.size();
    out.resize(start + 2 + 12 * entries.size() + 4, 0);
    put16(out, start, static_cast<uint16_t>(entries.size()));
    std::vector<size_t> valueFields;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        size_t at = start + 2 + 12 * i;
        put16(out, at, e.id);
        put16(out, at + 2, e.type);
        put32(out, at + 4, e.count);
        valueFields.push_back(at + 8);
        if (e.value.size() <= 4) {
            std::memcpy(out.data() + at + 8, e.value.data(), e.value.size());
        } else {
            if (out.size() % 2)
                out.push_back(0);
            put32(out, at + 8, static_cast<uint32_t>(out.size()));
            out.insert(out.end(), e.value.begin(), e.value.end());
        }
    }
    return {start, valueFields};
}

} // namespace

std::vector<uint8_t> buildExifBlock(FIBITMAP* dib) {
    std::vector<Entry> ifd0, exif, gps;
    collect(dib, FIMD_EXIF_MAIN, ifd0, exif, gps);
    collect(dib, FIMD_EXIF_EXIF, ifd0, exif, gps);
    collect(dib, FIMD_EXIF_GPS, ifd0, exif, gps);
    if (ifd0.empty() && exif.empty() && gps.empty())
        return {};
    normalise(ifd0);
    normalise(exif);
    normalise(gps);
    if (!exif.empty())
        ifd0.push_back({kExifPointer, FIDT_LONG, 1, std::vector<uint8_t>(4, 0)});
    if (!gps.empty())
        ifd0.push_back({kGpsPointer, FIDT_LONG, 1, std::vector<uint8_t>(4, 0)});
    normalise(ifd0);

    std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
    WrittenIfd first = appendIfd(tiff, ifd0);
    auto linkTo = [&](uint16_t pointerId, const std::vector<Entry>& entries) {
        if (entries.empty())
            return;
        WrittenIfd sub = appendIfd(tiff, entries);
        for (size_t i = 0; i < ifd0.size(); ++i)
            if (ifd0[i].id == pointerId)
                put32(tiff, first.valueFields[i], static_cast<uint32_t>(sub.start));
    };
    linkTo(kExifPointer, exif);
    linkTo(kGpsPointer, gps);

    static const uint8_t kSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (tiff.size() + sizeof kSignature > kMaxPayload)
        return {}; // too large for one segment: better none than a cut one
    std::vector<uint8_t> block(kSignature, kSignature + sizeof kSignature);
    block.insert(block.end(), tiff.begin(), tiff.end());
    return block;
}

} // namespace kelvra
