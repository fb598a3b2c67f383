// TIFF encoder over libtiff: one page in 1, 4, 8, 24 or 32 bits, with LZW, CCITT G3/G4,
// modified Huffman (RLE) or no compression, and the text tags of the property items.

#include "platform/gdiplus/codec_internal.h"
#include "platform/gdiplus/codec_tiff_io.h"

#include <algorithm>
#include <string>

namespace gp::codec {

namespace {

int outputDepth(const FrameData& frame, int requested) {
    if (requested != 0)
        return requested;
    switch (frame.format) {
    case PixelFormat1bppIndexed:
        return 1;
    case PixelFormat4bppIndexed:
        return 4;
    case PixelFormat8bppIndexed:
        return 8;
    case PixelFormat32bppARGB:
    case PixelFormat32bppPARGB:
    case PixelFormat64bppARGB:
    case PixelFormat64bppPARGB:
    case PixelFormat16bppARGB1555:
        return 32;
    default:
        return 24;
    }
}

uint8_t luminance(const uint8_t* bgra) {
    return uint8_t((bgra[2] * 299 + bgra[1] * 587 + bgra[0] * 114 + 500) / 1000);
}

void writeTextTags(TIFF* tif, const FrameData& frame) {
    static const uint32_t kAsciiTags[] = {0x010D, 0x010E, 0x010F, 0x0110, 0x011D,
                                          0x0131, 0x0132, 0x013B, 0x013C, 0x8298};
    for (const PropertyItem& item : frame.properties) {
        if (item.type == PropertyTagTypeASCII &&
            std::find(std::begin(kAsciiTags), std::end(kAsciiTags), item.id) !=
                std::end(kAsciiTags)) {
            std::string text(item.value.begin(), item.value.end());
            TIFFSetField(tif, item.id, text.c_str());
        } else if (item.id == 0x8773 && !item.value.empty()) {
            TIFFSetField(tif, TIFFTAG_ICCPROFILE, uint32_t(item.value.size()), item.value.data());
        } else if (item.id == 0x02BC && !item.value.empty()) {
            TIFFSetField(tif, TIFFTAG_XMLPACKET, uint32_t(item.value.size()), item.value.data());
        }
    }
}

} // namespace

void encodeTiff(const FrameData& frame, const EncodeSettings& settings, std::vector<uint8_t>& out) {
    const int depth = outputDepth(frame, settings.colorDepth);
    int compression = settings.compression != 0 ? settings.compression : depth == 1 ? 4 : 2;
    if ((compression == 3 || compression == 4 || compression == 5) && depth != 1)
        fail(InvalidParameter);

    // Rows in the output layout.
    const size_t lineBytes = size_t((int64_t(frame.width) * depth + 7) / 8);
    std::vector<uint8_t> pixels(lineBytes * size_t(frame.height), 0);
    uint16_t photometric = PHOTOMETRIC_RGB;
    Palette palette;
    std::vector<uint8_t> bgra(size_t(frame.width) * 4);
    auto line = [&](int32_t y) { return pixels.data() + size_t(y) * lineBytes; };

    if (depth == 1) {
        if (frame.format == PixelFormat1bppIndexed) {
            // Keep the bits; say which value is white.
            auto light = [&](size_t i) {
                ARGB e =
                    i < frame.palette.entries.size() ? frame.palette.entries[i] : (i ? ~0u : 0u);
                return ((e >> 16) & 0xFF) + ((e >> 8) & 0xFF) + (e & 0xFF);
            };
            photometric = light(0) > light(1) ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK;
            for (int32_t y = 0; y < frame.height; ++y)
                std::memcpy(line(y), rowOf(frame, y), lineBytes);
        } else {
            photometric = PHOTOMETRIC_MINISBLACK;
            for (int32_t y = 0; y < frame.height; ++y) {
                rowToBgra(frame, y, bgra.data());
                uint8_t* dst = line(y);
                for (int32_t x = 0; x < frame.width; ++x)
                    if (luminance(&bgra[4 * size_t(x)]) >= 128)
                        dst[x >> 3] |= uint8_t(0x80 >> (x & 7));
            }
        }
    } else if (depth == 4 || depth == 8) {
        const bool own = bitsPerPixel(frame.format) == depth && isIndexed(frame.format);
        if (own && depth == 8 && isGreyRamp(frame.palette)) {
            photometric = PHOTOMETRIC_MINISBLACK;
        } else {
            photometric = PHOTOMETRIC_PALETTE;
            palette = own ? frame.palette : depth == 8 ? halftonePalette256() : halftonePalette16();
        }
        for (int32_t y = 0; y < frame.height; ++y) {
            if (own) {
                std::memcpy(line(y), rowOf(frame, y), lineBytes);
                continue;
            }
            rowToBgra(frame, y, bgra.data());
            uint8_t* dst = line(y);
            for (int32_t x = 0; x < frame.width; ++x) {
                const uint8_t* p = &bgra[4 * size_t(x)];
                const uint8_t index = uint8_t(nearestIndex(palette, p[2], p[1], p[0]));
                if (depth == 8)
                    dst[x] = index;
                else
                    dst[x >> 1] |= (x & 1) ? index : uint8_t(index << 4);
            }
        }
    } else {
        const int channels = depth == 32 ? 4 : 3;
        for (int32_t y = 0; y < frame.height; ++y) {
            rowToBgra(frame, y, bgra.data());
            uint8_t* dst = line(y);
            for (int32_t x = 0; x < frame.width; ++x) {
                const uint8_t* p = &bgra[4 * size_t(x)];
                uint8_t* q = dst + size_t(x) * size_t(channels);
                q[0] = p[2];
                q[1] = p[1];
                q[2] = p[0];
                if (channels == 4)
                    q[3] = p[3];
            }
        }
    }

    TiffMemory memory;
    memory.output = &out;
    out.clear();
    TiffCloser closer{openTiff(memory, "w")};
    TIFF* tif = closer.tif;
    if (!tif)
        fail(GenericError);
    const uint16_t samples = depth == 32 ? 4 : depth == 24 ? 3 : 1;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(frame.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(frame.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(depth >= 24 ? 8 : depth));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    if (depth == 32) {
        uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    const uint16_t tiffCompression = compression == 2   ? COMPRESSION_LZW
                                     : compression == 3 ? COMPRESSION_CCITTFAX3
                                     : compression == 4 ? COMPRESSION_CCITTFAX4
                                     : compression == 5 ? COMPRESSION_CCITTRLE
                                                        : COMPRESSION_NONE;
    TIFFSetField(tif, TIFFTAG_COMPRESSION, tiffCompression);
    if (photometric == PHOTOMETRIC_PALETTE) {
        const size_t n = size_t(1) << depth;
        std::vector<uint16_t> r(n, 0), g(n, 0), b(n, 0);
        for (size_t i = 0; i < n && i < palette.entries.size(); ++i) {
            ARGB e = palette.entries[i];
            r[i] = uint16_t(((e >> 16) & 0xFF) * 257);
            g[i] = uint16_t(((e >> 8) & 0xFF) * 257);
            b[i] = uint16_t((e & 0xFF) * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(frame.dpiX));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(frame.dpiY));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    // Strips of about 64 KiB; fax pages are one strip, as fax readers expect.
    const uint32_t rowsPerStrip =
        depth == 1 ? uint32_t(frame.height)
                   : std::max<uint32_t>(1, uint32_t(65536 / std::max<size_t>(lineBytes, 1)));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    writeTextTags(tif, frame);
    for (int32_t y = 0; y < frame.height; ++y)
        if (TIFFWriteScanline(tif, line(y), uint32_t(y), 0) < 0)
            fail(GenericError);
    if (!TIFFWriteDirectory(tif))
        fail(GenericError);
    TIFFClose(tif);
    closer.tif = nullptr;
}

} // namespace gp::codec
