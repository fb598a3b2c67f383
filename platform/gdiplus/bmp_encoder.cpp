// Windows bitmap encoder: BITMAPINFOHEADER, rows bottom-up.

#include "platform/gdiplus/codec_internal.h"

#include <cmath>

namespace gp::codec {

namespace {

int32_t pelsPerMetre(double dpi) {
    return int32_t(std::lround(dpi / 0.0254));
}

} // namespace

void encodeBmp(const FrameData& frame, std::vector<uint8_t>& out) {
    // The written depth: indexed, 16-bit RGB and 24/32-bit formats keep theirs; formats with
    // more or premultiplied channels are written as 32-bit B,G,R,A, 16-bit grey and 48-bit
    // as 24-bit.
    int bits = 32;
    bool direct = false;
    bool bitfields = false;
    switch (frame.format) {
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
    case PixelFormat24bppRGB:
    case PixelFormat32bppRGB:
    case PixelFormat32bppARGB:
    case PixelFormat16bppRGB555:
        bits = bitsPerPixel(frame.format);
        direct = true;
        break;
    case PixelFormat16bppRGB565:
        bits = 16;
        direct = bitfields = true;
        break;
    case PixelFormat16bppGrayScale:
    case PixelFormat48bppRGB:
        bits = 24;
        break;
    default:
        bits = 32;
        break;
    }
    const uint32_t colours =
        bits <= 8 ? uint32_t(std::min<size_t>(frame.palette.entries.size(), size_t(1) << bits)) : 0;
    const uint32_t tableBytes = colours * 4 + (bitfields ? 12 : 0);
    const uint32_t rowBytes = uint32_t(((int64_t(frame.width) * bits + 31) / 32) * 4);
    const uint64_t imageBytes = uint64_t(rowBytes) * uint64_t(frame.height);
    if (imageBytes + 54 + tableBytes > 0xFFFFFFFFu)
        fail(InvalidParameter);
    const uint32_t offBits = 14 + 40 + tableBytes;
    out.clear();
    out.reserve(size_t(offBits + imageBytes));
    out.push_back('B');
    out.push_back('M');
    put32(out, uint32_t(offBits + imageBytes));
    put32(out, 0);
    put32(out, offBits);
    put32(out, 40);
    put32(out, uint32_t(frame.width));
    put32(out, uint32_t(frame.height));
    put16(out, 1);
    put16(out, uint16_t(bits));
    put32(out, bitfields ? 3 : 0);
    put32(out, uint32_t(imageBytes));
    put32(out, uint32_t(pelsPerMetre(frame.dpiX)));
    put32(out, uint32_t(pelsPerMetre(frame.dpiY)));
    put32(out, colours);
    put32(out, 0);
    if (bitfields) {
        put32(out, 0xF800);
        put32(out, 0x07E0);
        put32(out, 0x001F);
    }
    for (uint32_t i = 0; i < colours; ++i)
        put32(out, frame.palette.entries[i] & 0x00FFFFFFu);
    const size_t start = out.size();
    out.resize(size_t(start + imageBytes), 0);
    std::vector<uint8_t> bgra(direct ? 0 : size_t(frame.width) * 4);
    for (int32_t y = 0; y < frame.height; ++y) {
        uint8_t* dst = out.data() + start + size_t(frame.height - 1 - y) * rowBytes;
        if (direct) {
            std::memcpy(dst, rowOf(frame, y), (size_t(frame.width) * size_t(bits) + 7) / 8);
            continue;
        }
        rowToBgra(frame, y, bgra.data());
        if (bits == 32) {
            std::memcpy(dst, bgra.data(), bgra.size());
        } else {
            for (int32_t x = 0; x < frame.width; ++x)
                std::memcpy(dst + 3 * x, bgra.data() + 4 * x, 3);
        }
    }
}

} // namespace gp::codec
