// Icon and cursor decoder: the first directory entry, as a DIB with its AND mask or as an
// embedded PNG, always into 32bppARGB.

#include "platform/gdiplus/codec_internal.h"

#include <algorithm>

namespace gp::codec {

void decodeIcon(Bytes bytes, DecodedImage& out) {
    Reader r{bytes};
    r.u16();
    r.u16();
    if (r.u16() == 0)
        fail();
    r.pos = 6 + 8;
    const uint32_t size = r.u32();
    const uint32_t offset = r.u32();
    if (offset >= bytes.size() || size < 8)
        fail();
    Bytes image = bytes.subspan(offset, std::min<size_t>(size, bytes.size() - offset));

    FrameData colour;
    static const uint8_t kPng[] = {0x89, 'P', 'N', 'G'};
    if (image.size() >= 4 && std::equal(kPng, kPng + 4, image.begin())) {
        DecodedImage png;
        decodePng(image, png, {});
        colour = std::move(png.frames.at(0));
        colour.properties.clear();
    } else {
        Reader h{image};
        h.u32();
        h.s32();
        const int32_t doubledHeight = h.s32();
        const int32_t height = doubledHeight / 2;
        if (height <= 0)
            fail();
        const size_t bitsAt = decodeDib(image, Bytes(), colour, height);
        // The AND mask follows the colour pixels: 1 bit per pixel, rows bottom-up.
        const size_t colourStride =
            size_t(((int64_t(colour.width) * bitsPerPixel(colour.format) + 31) / 32) * 4);
        const size_t maskAt = bitsAt + colourStride * size_t(height);
        const size_t maskStride = size_t((colour.width + 31) / 32) * 4;
        FrameData argb;
        allocateFrame(argb, colour.width, colour.height, PixelFormat32bppARGB);
        bool anyAlpha = false;
        for (int32_t y = 0; y < colour.height; ++y) {
            rowToBgra(colour, y, rowOf(argb, y));
        }
        if (colour.format == PixelFormat32bppARGB)
            for (size_t i = 3; i < argb.pixels.size(); i += 4)
                anyAlpha |= argb.pixels[i] != 0;
        if (!anyAlpha) {
            const bool haveMask =
                maskAt <= image.size() && (image.size() - maskAt) / maskStride >= size_t(height);
            for (int32_t y = 0; y < colour.height; ++y) {
                uint8_t* dst = rowOf(argb, y);
                const uint8_t* mask =
                    haveMask ? image.data() + maskAt + size_t(height - 1 - y) * maskStride
                             : nullptr;
                for (int32_t x = 0; x < colour.width; ++x) {
                    bool transparent = mask && ((mask[x >> 3] >> (7 - (x & 7))) & 1);
                    dst[4 * x + 3] = transparent ? 0 : 255;
                }
            }
        }
        argb.dpiX = argb.dpiY = 96.0;
        colour = std::move(argb);
    }
    if (colour.format != PixelFormat32bppARGB) {
        FrameData argb;
        allocateFrame(argb, colour.width, colour.height, PixelFormat32bppARGB);
        for (int32_t y = 0; y < colour.height; ++y)
            rowToBgra(colour, y, rowOf(argb, y));
        argb.dpiX = colour.dpiX;
        argb.dpiY = colour.dpiY;
        colour = std::move(argb);
    }
    out.frames.push_back(std::move(colour));
}

} // namespace gp::codec
