// Windows bitmap (DIB) decoder: core, info, V4 and V5 headers; 1/4/8-bit colour tables,
// RLE4/RLE8, 16/32-bit bit fields, top-down rows.

#include "platform/gdiplus/codec_internal.h"

#include <bit>
#include <cmath>

namespace gp::codec {

namespace {

constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Channel(uint32_t m = 0) : mask(m) {
        if (m) {
            shift = std::countr_zero(m);
            bits = std::popcount(m >> shift);
            if (bits > 8) {
                shift += bits - 8;
                bits = 8;
            }
        }
    }
    uint8_t get(uint32_t v) const {
        if (!mask)
            return 0;
        uint32_t c = ((v & mask) >> shift) & ((1u << bits) - 1);
        // Replicate the top bits into the low ones so that full scale reads 255.
        uint32_t out = c << (8 - bits);
        for (int have = bits; have < 8; have += bits)
            out |= out >> have;
        return uint8_t(out);
    }
};

double dpiFromPelsPerMetre(int32_t ppm) {
    return ppm > 0 ? ppm * 0.0254 : 96.0;
}

// Expands RLE-coded rows into an indexed frame (rows stored bottom-up in the file).
void decodeRle(Bytes bits, FrameData& frame, bool rle4) {
    Reader r{bits};
    int32_t x = 0;
    int32_t y = frame.height - 1; // file row 0 is the bottom
    auto put = [&](uint8_t index) {
        if (x < frame.width && y >= 0) {
            uint8_t* row = rowOf(frame, y);
            if (rle4)
                row[x >> 1] |= (x & 1) ? (index & 0x0F) : uint8_t(index << 4);
            else
                row[x] = index;
        }
        ++x;
    };
    while (true) {
        if (!r.has(2))
            fail(); // every RLE bitmap ends with an end-of-bitmap code
        uint8_t count = r.u8();
        uint8_t value = r.u8();
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(rle4 ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            --y;
        } else if (value == 1) { // end of bitmap
            return;
        } else if (value == 2) { // delta
            x += r.u8();
            y -= r.u8();
        } else { // absolute run of `value` pixels, padded to 16 bits
            size_t bytes = rle4 ? (size_t(value) + 1) / 2 : value;
            if (!r.has(bytes))
                fail();
            for (int i = 0; i < value; ++i) {
                uint8_t b = bits[r.pos + size_t(rle4 ? i / 2 : i)];
                put(rle4 ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
            }
            r.pos += bytes + (bytes & 1);
        }
        if (y < -1)
            return; // rows beyond the top are dropped, as the data cannot be placed
    }
}

} // namespace

size_t decodeDib(Bytes header, Bytes bits, FrameData& frame, int32_t heightOverride) {
    Reader h{header};
    const uint32_t headerSize = h.u32();
    int64_t width = 0, height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = BI_RGB, clrUsed = 0;
    int32_t xppm = 0, yppm = 0;
    size_t entrySize = 4;
    uint32_t masks[4] = {0, 0, 0, 0};
    bool headerHasMasks = false;

    if (headerSize == 12) {
        width = h.u16();
        height = int16_t(h.u16());
        h.u16();
        bitCount = h.u16();
        entrySize = 3;
    } else if (headerSize >= 16 && headerSize <= 124) {
        width = h.s32();
        height = h.s32();
        h.u16();
        bitCount = h.u16();
        if (headerSize >= 20)
            compression = h.u32();
        if (headerSize >= 40) {
            h.u32(); // image size
            xppm = h.s32();
            yppm = h.s32();
            clrUsed = h.u32();
            h.u32();
        }
        h.pos = headerSize;
        if (headerSize >= 52) {
            Reader m{header, 40};
            masks[0] = m.u32();
            masks[1] = m.u32();
            masks[2] = m.u32();
            if (headerSize >= 56)
                masks[3] = m.u32();
            headerHasMasks = true;
        }
    } else {
        fail();
    }
    if (heightOverride != 0)
        height = heightOverride;
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0)
        fail();

    if ((compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) && !headerHasMasks) {
        masks[0] = h.u32();
        masks[1] = h.u32();
        masks[2] = h.u32();
        if (compression == BI_ALPHABITFIELDS)
            masks[3] = h.u32();
    }

    frame.dpiX = dpiFromPelsPerMetre(xppm);
    frame.dpiY = dpiFromPelsPerMetre(yppm);

    // Colour table.
    if (bitCount <= 8) {
        if (bitCount != 1 && bitCount != 4 && bitCount != 8)
            fail();
        uint32_t maxEntries = 1u << bitCount;
        uint32_t entries = clrUsed != 0 && clrUsed < maxEntries ? clrUsed : maxEntries;
        frame.palette.entries.clear();
        frame.palette.flags = 0;
        for (uint32_t i = 0; i < entries; ++i) {
            // A short table (the pixels overlap it) keeps the entries that are there.
            if (!h.has(entrySize))
                break;
            uint8_t b = h.u8(), g = h.u8(), r = h.u8();
            if (entrySize == 4)
                h.u8();
            frame.palette.entries.push_back(makeArgb(255, r, g, b));
        }
        if (frame.palette.entries.empty())
            fail();
    }

    // Icons keep their pixels right after the colour table.
    const size_t bitsAt = h.pos;
    if (bits.data() == nullptr)
        bits = header.subspan(std::min(bitsAt, header.size()));

    const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
    if (rle) {
        if ((compression == BI_RLE8 && bitCount != 8) ||
            (compression == BI_RLE4 && bitCount != 4) || topDown)
            fail();
        allocateFrame(frame, width, height,
                      bitCount == 8 ? PixelFormat8bppIndexed : PixelFormat4bppIndexed);
        decodeRle(bits, frame, compression == BI_RLE4);
        return bitsAt;
    }
    if (compression != BI_RGB && compression != BI_BITFIELDS && compression != BI_ALPHABITFIELDS)
        fail();

    const size_t srcStride = size_t(((width * bitCount + 31) / 32) * 4);
    if (srcStride == 0 || bits.size() / srcStride < size_t(height))
        fail();
    auto srcRow = [&](int64_t y) {
        return bits.data() + size_t(topDown ? y : height - 1 - y) * srcStride;
    };

    bool fields = compression != BI_RGB;
    if (bitCount == 16 && !fields) {
        // BI_RGB ignores any masks a V4/V5 header carries: 16-bit pixels are then 5-5-5.
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
        masks[3] = 0;
        fields = true;
    }

    PixelFormat format;
    switch (bitCount) {
    case 1:
        format = PixelFormat1bppIndexed;
        break;
    case 4:
        format = PixelFormat4bppIndexed;
        break;
    case 8:
        format = PixelFormat8bppIndexed;
        break;
    case 16:
        if (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F && masks[3] == 0)
            format = PixelFormat16bppRGB555;
        else if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F && masks[3] == 0)
            format = PixelFormat16bppRGB565;
        else
            format = masks[3] ? PixelFormat32bppARGB : PixelFormat32bppRGB;
        break;
    case 24:
        format = PixelFormat24bppRGB;
        break;
    case 32:
        if (!fields || (masks[0] == 0xFF0000 && masks[1] == 0xFF00 && masks[2] == 0xFF)) {
            // Icons carry alpha in 32-bit BI_RGB pixels.
            format = masks[3] == 0xFF000000u || heightOverride != 0 ||
                             (!fields && headerSize >= 108 && masks[3] != 0)
                         ? PixelFormat32bppARGB
                         : PixelFormat32bppRGB;
            fields = false;
        } else {
            format = masks[3] ? PixelFormat32bppARGB : PixelFormat32bppRGB;
        }
        break;
    default:
        fail();
    }

    allocateFrame(frame, width, height, format);
    const size_t rowBytes = size_t((width * bitsPerPixel(format) + 7) / 8);
    if (!fields || bitsPerPixel(format) == bitCount) {
        for (int64_t y = 0; y < height; ++y)
            std::memcpy(rowOf(frame, int32_t(y)), srcRow(y), rowBytes);
        if (format == PixelFormat32bppRGB)
            for (int64_t y = 0; y < height; ++y) {
                uint8_t* row = rowOf(frame, int32_t(y));
                for (int64_t x = 0; x < width; ++x)
                    row[4 * x + 3] = 0xFF;
            }
        return bitsAt;
    }
    // Arbitrary bit fields: unpack each channel into 32-bit B,G,R,A.
    const Channel r(masks[0]), g(masks[1]), b(masks[2]), a(masks[3]);
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* src = srcRow(y);
        uint8_t* dst = rowOf(frame, int32_t(y));
        for (int64_t x = 0; x < width; ++x) {
            uint32_t v = bitCount == 16
                             ? uint32_t(src[2 * x] | src[2 * x + 1] << 8)
                             : uint32_t(src[4 * x]) | uint32_t(src[4 * x + 1]) << 8 |
                                   uint32_t(src[4 * x + 2]) << 16 | uint32_t(src[4 * x + 3]) << 24;
            dst[4 * x] = b.get(v);
            dst[4 * x + 1] = g.get(v);
            dst[4 * x + 2] = r.get(v);
            dst[4 * x + 3] = a.mask ? a.get(v) : 0xFF;
        }
    }
    return bitsAt;
}

void decodeBmp(Bytes bytes, DecodedImage& out) {
    Reader r{bytes};
    if (r.u8() != 'B' || r.u8() != 'M')
        fail();
    r.u32();
    r.u32();
    const uint32_t offBits = r.u32();
    Bytes header = bytes.subspan(14);
    Reader hs{header};
    const uint32_t headerSize = hs.u32();
    if (headerSize > header.size())
        fail();
    if (offBits < 14 + headerSize || offBits >= bytes.size())
        fail();
    FrameData frame;
    decodeDib(header, bytes.subspan(offBits), frame, 0);
    out.frames.push_back(std::move(frame));
}

} // namespace gp::codec
