#include "platform/win/clipboard.h"

#include "platform/win/gdi.h"
#include "platform/win/gdi_metafile.h"
#include "platform/win/gdi_objects.h"

#include <mutex>
#include <vector>

namespace win {

namespace {

// What the clipboard holds: at most one object, with its own handles (never a caller's).
struct Store {
    PictureType type = PICTYPE_NONE;
    uint32_t handle = 0;
    HPALETTE palette = 0;
    int32_t xExt = 0, yExt = 0; // metafile picture size (HIMETRIC)
};

std::mutex& clipboardMutex() {
    static std::mutex m;
    return m;
}

Store& store() {
    static Store s;
    return s;
}

void release(Store& s) {
    switch (s.type) {
    case PICTYPE_BITMAP:
        DeleteObject(s.handle);
        break;
    case PICTYPE_METAFILE:
        DeleteMetaFile(s.handle);
        break;
    case PICTYPE_ENHMETAFILE:
        DeleteEnhMetaFile(s.handle);
        break;
    default:
        break;
    }
    if (s.palette)
        DeleteObject(s.palette);
    s = Store{};
}

HPALETTE copyPalette(HPALETTE palette) {
    std::vector<PALETTEENTRY> entries;
    if (!palette || !paletteEntries(palette, &entries) || entries.empty())
        return 0;
    std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(buffer.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = uint16_t(entries.size());
    std::copy(entries.begin(), entries.end(), lp->palPalEntry);
    return CreatePalette(lp);
}

uint32_t copyHandle(PictureType type, uint32_t handle) {
    switch (type) {
    case PICTYPE_BITMAP:
        return copyBitmap(handle);
    case PICTYPE_METAFILE:
        return CopyMetaFile(handle);
    case PICTYPE_ENHMETAFILE:
        return CopyEnhMetaFile(handle);
    default:
        return 0;
    }
}

bool formatSuits(PictureType type, uint32_t format) {
    switch (type) {
    case PICTYPE_BITMAP:
        return format == CF_BITMAP || format == CF_DIB;
    case PICTYPE_METAFILE:
        return format == CF_METAFILEPICT;
    case PICTYPE_ENHMETAFILE:
        return format == CF_ENHMETAFILE;
    default:
        return false;
    }
}

} // namespace

void Clipboard::Clear() {
    std::lock_guard lock(clipboardMutex());
    release(store());
}

bool Clipboard::GetFormat(uint32_t format) {
    std::lock_guard lock(clipboardMutex());
    const Store& s = store();
    if (format == CF_PALETTE)
        return s.type == PICTYPE_BITMAP && s.palette != 0;
    return s.type != PICTYPE_NONE && formatSuits(s.type, format);
}

PicturePtr Clipboard::GetData(uint32_t format) {
    try {
        std::lock_guard lock(clipboardMutex());
        const Store& s = store();
        bool present = format == CF_PALETTE
                           ? (s.type == PICTYPE_BITMAP && s.palette != 0)
                           : (s.type != PICTYPE_NONE && formatSuits(s.type, format));
        if (!present)
            return nullptr;
        PICTDESC d;
        d.picType = uint32_t(s.type);
        uint32_t copy = copyHandle(s.type, s.handle);
        if (!copy)
            return nullptr;
        if (s.type == PICTYPE_METAFILE) {
            d.wmf.hmeta = copy;
            d.wmf.xExt = s.xExt;
            d.wmf.yExt = s.yExt;
        } else {
            d.bmp.hbitmap = copy;
            d.bmp.hpal = s.type == PICTYPE_BITMAP ? copyPalette(s.palette) : 0;
        }
        PicturePtr p;
        if (OleCreatePictureIndirect(&d, true, &p) != S_OK) {
            Store temp{s.type, copy, s.type == PICTYPE_BITMAP ? d.bmp.hpal : 0, 0, 0};
            release(temp);
            return nullptr;
        }
        return p;
    } catch (...) {
        return nullptr;
    }
}

bool Clipboard::SetData(const Picture* picture, uint32_t format) {
    try {
        if (!picture)
            return false;
        const PictureType type = picture->Type();
        if (format == 0)
            format = type == PICTYPE_BITMAP     ? CF_BITMAP
                     : type == PICTYPE_METAFILE ? CF_METAFILEPICT
                                                : CF_ENHMETAFILE;
        if (!formatSuits(type, format))
            return false;
        Store fresh;
        fresh.type = type;
        fresh.handle = copyHandle(type, picture->Handle());
        if (!fresh.handle)
            return false;
        if (type == PICTYPE_BITMAP)
            fresh.palette = copyPalette(picture->hPal());
        fresh.xExt = picture->Width();
        fresh.yExt = picture->Height();
        std::lock_guard lock(clipboardMutex());
        release(store());
        store() = fresh;
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace win
