#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"

#include <cstddef>
#include <cstring>

namespace gp {

namespace {

constexpr int32_t kPaletteHeader = static_cast<int32_t>(offsetof(ColorPalette, Entries));

int32_t paletteBytes(const Palette& palette) {
    return kPaletteHeader + 4 * static_cast<int32_t>(palette.entries.size());
}

// A non-indexed frame reports an empty palette, whatever it was given: callers take an
// empty palette to mean "not a palette image".
const Palette& reportedPalette(const Frame& frame) {
    static const Palette kEmpty;
    return isIndexed(frame.format) ? frame.palette : kEmpty;
}

} // namespace

Status GdipGetImagePaletteSize(GpImage image, int32_t* size) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !size)
            return InvalidParameter;
        *size = paletteBytes(reportedPalette(i->active()));
        return Ok;
    });
}

Status GdipGetImagePalette(GpImage image, ColorPalette* palette, int32_t size) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !palette)
            return InvalidParameter;
        const Palette& own = reportedPalette(i->active());
        if (size < paletteBytes(own))
            return InvalidParameter;
        palette->Flags = own.flags;
        palette->Count = static_cast<UINT>(own.entries.size());
        if (!own.entries.empty())
            std::memcpy(reinterpret_cast<uint8_t*>(palette) + kPaletteHeader, own.entries.data(),
                        own.entries.size() * 4);
        return Ok;
    });
}

Status GdipSetImagePalette(GpImage image, const ColorPalette* palette) {
    return guarded([&] {
        Image* i = findBitmap(image);
        if (!i || !palette)
            return InvalidParameter;
        Frame& frame = i->active();
        if (isIndexed(frame.format) &&
            (palette->Count < 1 || palette->Count > (UINT{1} << bitsPerPixel(frame.format))))
            return InvalidParameter;
        if (palette->Count > 256)
            return InvalidParameter;
        Palette copy;
        copy.flags = palette->Flags;
        copy.entries.resize(palette->Count);
        if (palette->Count)
            std::memcpy(copy.entries.data(),
                        reinterpret_cast<const uint8_t*>(palette) + kPaletteHeader,
                        copy.entries.size() * 4);
        frame.palette = std::move(copy);
        return Ok;
    });
}

} // namespace gp
