#include "filters/core_image_access.h"

#include "core/image_table.h"
#include "platform/gdiplus/gdiplus.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace tavimo {

namespace {

// The layer's record of each open lock, by the buffer address handed out.
struct OpenLock {
    gp::BitmapData data;
    bool write;
};
thread_local std::map<void*, OpenLock> t_locks;

} // namespace

CoreImageAccess& coreImageAccess() {
    thread_local CoreImageAccess access;
    return access;
}

gp::Status CoreImageAccess::imageSize(ImageId image, int32_t& width, int32_t& height) {
    width = height = 0;
    gp::GpImage img = GetGdiImage(image);
    gp::UINT w = 0, h = 0;
    gp::Status s = gp::GdipGetImageWidth(img, &w);
    if (s == gp::Ok) {
        s = gp::GdipGetImageHeight(img, &h);
    }
    if (s != gp::Ok) {
        return s;
    }
    width = static_cast<int32_t>(w);
    height = static_cast<int32_t>(h);
    return gp::Ok;
}

gp::Status CoreImageAccess::pixelFormat(ImageId image, gp::PixelFormat& format) {
    return gp::GdipGetImagePixelFormat(GetGdiImage(image), &format);
}

gp::Status CoreImageAccess::palette(ImageId image, gp::Palette& palette) {
    gp::GpImage img = GetGdiImage(image);
    int32_t size = 0;
    gp::Status s = gp::GdipGetImagePaletteSize(img, &size);
    if (s != gp::Ok) {
        return s;
    }
    if (size < 8) {
        return gp::GenericError;
    }
    std::vector<uint32_t> buffer((static_cast<size_t>(size) + 3) / 4);
    auto* record = reinterpret_cast<gp::ColorPalette*>(buffer.data());
    s = gp::GdipGetImagePalette(img, record, size);
    if (s != gp::Ok) {
        return s;
    }
    palette.flags = record->Flags;
    palette.entries.assign(record->Entries, record->Entries + record->Count);
    return gp::Ok;
}

gp::Status CoreImageAccess::setPalette(ImageId image, const gp::Palette& palette) {
    std::vector<uint32_t> buffer(2 + std::max<size_t>(palette.entries.size(), 1));
    auto* record = reinterpret_cast<gp::ColorPalette*>(buffer.data());
    record->Flags = palette.flags;
    record->Count = static_cast<gp::UINT>(palette.entries.size());
    std::memcpy(record->Entries, palette.entries.data(), palette.entries.size() * 4);
    gp::Status s = gp::GdipSetImagePalette(GetGdiImage(image), record);
    if (s == gp::Ok) {
        MarkImageModified(image);
    }
    return s;
}

gp::Status CoreImageAccess::lockBits(ImageId image, const FilterRect& rect, int32_t mode,
                                     gp::PixelFormat format, FilterLockData& data) {
    gp::Rect r{rect.X, rect.Y, rect.Width, rect.Height};
    gp::BitmapData bd{};
    if (mode & kLockUserBuffer) {
        bd.Stride = data.stride;
        bd.Scan0 = data.scan0;
    }
    gp::Status s =
        gp::GdipBitmapLockBits(GetGdiImage(image), &r, static_cast<gp::UINT>(mode), format, &bd);
    if (s != gp::Ok) {
        return s;
    }
    data.width = static_cast<int32_t>(bd.Width);
    data.height = static_cast<int32_t>(bd.Height);
    data.stride = bd.Stride;
    data.format = bd.PixelFormat;
    data.scan0 = bd.Scan0;
    t_locks[bd.Scan0] = OpenLock{bd, (mode & kLockWrite) != 0};
    return gp::Ok;
}

gp::Status CoreImageAccess::unlockBits(ImageId image, FilterLockData& data) {
    auto it = t_locks.find(data.scan0);
    if (it == t_locks.end()) {
        return gp::InvalidParameter;
    }
    OpenLock lock = it->second;
    t_locks.erase(it);
    gp::Status s = gp::GdipBitmapUnlockBits(GetGdiImage(image), &lock.data);
    if (s == gp::Ok && lock.write) {
        MarkImageModified(image);
    }
    return s;
}

int CoreImageAccess::gdiplusMajorVersion() {
    // The version text the session recorded at start-up, "6.1.7601.0" for our layer.
    const std::string& text = GdiplusVersionText();
    int major = std::atoi(text.c_str());
    return major > 0 ? major : 6;
}

} // namespace tavimo
