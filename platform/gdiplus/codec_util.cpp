#include "platform/gdiplus/codec_internal.h"
#include "platform/gdiplus/pixel_format.h"

namespace gp::codec {

namespace {
thread_local int64_t t_pixelAllowance = kMaxPixels;
}

bool takePixels(int64_t count) {
    if (count < 0 || count > t_pixelAllowance)
        return false;
    t_pixelAllowance -= count;
    return true;
}

void resetPixelAllowance(int64_t count) {
    t_pixelAllowance = count;
}

void allocateFrame(FrameData& frame, int64_t width, int64_t height, PixelFormat format) {
    if (width <= 0 || height <= 0 || width > 0x7FFFFFF || height > 0x7FFFFFF)
        fail(UnknownImageFormat);
    if (width * height > kMaxPixels || !takePixels(width * height))
        fail(OutOfMemory);
    frame.width = int32_t(width);
    frame.height = int32_t(height);
    frame.format = format;
    frame.stride = strideFor(frame.width, format);
    frame.pixels.assign(size_t(frame.stride) * size_t(height), 0);
}

Palette greyPalette(int entries, bool inverted) {
    Palette p;
    p.flags = PaletteFlagsGrayScale;
    p.entries.resize(size_t(entries));
    for (int i = 0; i < entries; ++i) {
        int v = entries > 1 ? i * 255 / (entries - 1) : 0;
        if (inverted)
            v = 255 - v;
        p.entries[size_t(i)] = makeArgb(255, uint8_t(v), uint8_t(v), uint8_t(v));
    }
    return p;
}

Palette halftonePalette256() {
    Palette p;
    p.flags = PaletteFlagsHalftone;
    p.entries.reserve(256);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                p.entries.push_back(
                    makeArgb(255, uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51)));
    // The remaining 40 entries are greys between the cube's levels.
    for (int i = 0; p.entries.size() < 256; ++i) {
        int v = (i + 1) * 255 / 41;
        p.entries.push_back(makeArgb(255, uint8_t(v), uint8_t(v), uint8_t(v)));
    }
    return p;
}

Palette halftonePalette16() {
    static const ARGB vga[16] = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000,
                                 0xFF000080, 0xFF800080, 0xFF008080, 0xFF808080,
                                 0xFFC0C0C0, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                                 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
    Palette p;
    p.flags = PaletteFlagsHalftone;
    p.entries.assign(vga, vga + 16);
    return p;
}

int nearestIndex(const Palette& palette, uint8_t r, uint8_t g, uint8_t b) {
    int best = 0;
    int bestDistance = 1 << 30;
    for (size_t i = 0; i < palette.entries.size(); ++i) {
        ARGB e = palette.entries[i];
        int dr = int((e >> 16) & 0xFF) - r;
        int dg = int((e >> 8) & 0xFF) - g;
        int db = int(e & 0xFF) - b;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = int(i);
        }
    }
    return best;
}

bool isGreyRamp(const Palette& palette) {
    if (palette.entries.size() != 256)
        return false;
    for (uint32_t i = 0; i < 256; ++i)
        if ((palette.entries[i] & 0xFFFFFF) != (i << 16 | i << 8 | i))
            return false;
    return true;
}

namespace {

inline uint8_t unpremultiply(uint32_t c, uint32_t a) {
    if (a == 0)
        return 0;
    uint32_t v = (c * 255 + a / 2) / a;
    return uint8_t(v > 255 ? 255 : v);
}

inline void putPaletteEntry(const Palette& palette, unsigned index, uint8_t* out) {
    ARGB e = index < palette.entries.size() ? palette.entries[index] : 0xFF000000u;
    out[0] = uint8_t(e);
    out[1] = uint8_t(e >> 8);
    out[2] = uint8_t(e >> 16);
    out[3] = uint8_t(e >> 24);
}

inline uint16_t rd16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

} // namespace

void rowToBgra(const FrameData& frame, int32_t y, uint8_t* out) {
    const uint8_t* src = rowOf(frame, y);
    const int32_t w = frame.width;
    switch (frame.format) {
    case PixelFormat1bppIndexed:
        for (int32_t x = 0; x < w; ++x)
            putPaletteEntry(frame.palette, (src[x >> 3] >> (7 - (x & 7))) & 1, out + 4 * x);
        break;
    case PixelFormat4bppIndexed:
        for (int32_t x = 0; x < w; ++x)
            putPaletteEntry(frame.palette, (src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF, out + 4 * x);
        break;
    case PixelFormat8bppIndexed:
        for (int32_t x = 0; x < w; ++x)
            putPaletteEntry(frame.palette, src[x], out + 4 * x);
        break;
    case PixelFormat16bppGrayScale:
        for (int32_t x = 0; x < w; ++x) {
            uint8_t v = uint8_t(rd16(src + 2 * x) >> 8);
            out[4 * x] = out[4 * x + 1] = out[4 * x + 2] = v;
            out[4 * x + 3] = 255;
        }
        break;
    case PixelFormat16bppRGB555:
    case PixelFormat16bppARGB1555:
        for (int32_t x = 0; x < w; ++x) {
            uint16_t v = rd16(src + 2 * x);
            uint8_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            out[4 * x] = uint8_t(b << 3 | b >> 2);
            out[4 * x + 1] = uint8_t(g << 3 | g >> 2);
            out[4 * x + 2] = uint8_t(r << 3 | r >> 2);
            out[4 * x + 3] = frame.format == PixelFormat16bppRGB555 || (v & 0x8000) ? 255 : 0;
        }
        break;
    case PixelFormat16bppRGB565:
        for (int32_t x = 0; x < w; ++x) {
            uint16_t v = rd16(src + 2 * x);
            uint8_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
            out[4 * x] = uint8_t(b << 3 | b >> 2);
            out[4 * x + 1] = uint8_t(g << 2 | g >> 4);
            out[4 * x + 2] = uint8_t(r << 3 | r >> 2);
            out[4 * x + 3] = 255;
        }
        break;
    case PixelFormat24bppRGB:
        for (int32_t x = 0; x < w; ++x) {
            out[4 * x] = src[3 * x];
            out[4 * x + 1] = src[3 * x + 1];
            out[4 * x + 2] = src[3 * x + 2];
            out[4 * x + 3] = 255;
        }
        break;
    case PixelFormat32bppRGB:
        for (int32_t x = 0; x < w; ++x) {
            std::memcpy(out + 4 * x, src + 4 * x, 3);
            out[4 * x + 3] = 255;
        }
        break;
    case PixelFormat32bppARGB:
        std::memcpy(out, src, size_t(w) * 4);
        break;
    case PixelFormat32bppPARGB:
        for (int32_t x = 0; x < w; ++x) {
            uint32_t a = src[4 * x + 3];
            for (int c = 0; c < 3; ++c)
                out[4 * x + c] = unpremultiply(src[4 * x + c], a);
            out[4 * x + 3] = uint8_t(a);
        }
        break;
    case PixelFormat48bppRGB:
        for (int32_t x = 0; x < w; ++x) {
            for (int c = 0; c < 3; ++c)
                out[4 * x + c] = uint8_t(rd16(src + 6 * x + 2 * c) >> 8);
            out[4 * x + 3] = 255;
        }
        break;
    case PixelFormat64bppARGB:
        for (int32_t x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                out[4 * x + c] = uint8_t(rd16(src + 8 * x + 2 * c) >> 8);
        break;
    case PixelFormat64bppPARGB:
        for (int32_t x = 0; x < w; ++x) {
            uint32_t a = rd16(src + 8 * x + 6) >> 8;
            for (int c = 0; c < 3; ++c)
                out[4 * x + c] = unpremultiply(rd16(src + 8 * x + 2 * c) >> 8, a);
            out[4 * x + 3] = uint8_t(a);
        }
        break;
    default:
        std::memset(out, 0, size_t(w) * 4);
        break;
    }
}

bool frameIsValid(const FrameData& frame) {
    if (!isKnownPixelFormat(frame.format))
        return false;
    if (frame.width <= 0 || frame.height <= 0 || int64_t(frame.width) * frame.height > kMaxPixels)
        return false;
    const int64_t row = rowBytes(frame.width, frame.format);
    if (frame.stride < row)
        return false;
    return int64_t(frame.pixels.size()) >= int64_t(frame.stride) * (frame.height - 1) + row;
}

PropertyItem makeItem(uint32_t id, uint16_t type, const void* data, size_t size) {
    PropertyItem item;
    item.id = id;
    item.type = type;
    const auto* p = static_cast<const uint8_t*>(data);
    item.value.assign(p, p + size);
    return item;
}

PropertyItem makeAscii(uint32_t id, const std::string& text) {
    return makeItem(id, PropertyTagTypeASCII, text.c_str(), text.size() + 1);
}

PropertyItem makeLong(uint32_t id, uint32_t value) {
    return makeItem(id, PropertyTagTypeLong, &value, 4);
}

PropertyItem makeShort(uint32_t id, uint16_t value) {
    return makeItem(id, PropertyTagTypeShort, &value, 2);
}

PropertyItem makeRational(uint32_t id, uint32_t num, uint32_t den) {
    uint32_t v[2] = {num, den};
    return makeItem(id, PropertyTagTypeRational, v, 8);
}

const PropertyItem* findItem(const std::vector<PropertyItem>& items, uint32_t id) {
    for (const PropertyItem& item : items)
        if (item.id == id)
            return &item;
    return nullptr;
}

} // namespace gp::codec
