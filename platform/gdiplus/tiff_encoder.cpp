// TIFF encoder over libtiff: one page in 1, 4, 8, 24 or 32 bits, with LZW, CCITT G3/G4,
// modified Huffman (RLE) or no compression, and the text tags of the property items.

#include "platform/gdiplus/codec_internal.h"
#include "platform/gdiplus/codec_tiff_io.h"
#include "platform/gdiplus/exif.h"

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

// Tags the encoder must not copy: they describe the layout it writes itself, change how
// libtiff encodes the pixels, or belong to other directories (GPS) or to no file at all.
bool skipTag(uint32_t id) {
    if (exif::isStructuralTag(id) || id < 0x00FE || id > 0xFFFF || (id >= 0x5000 && id <= 0x5FFF))
        return true;
    if (id >= 0x0200 && id <= 0x0209)
        return true; // old-style JPEG
    switch (id) {
    case 0x010A: // FillOrder
    case 0x0118: // Min/MaxSampleValue
    case 0x0119:
    case 0x011A: // X/YResolution and their unit come from the frame's resolution
    case 0x011B:
    case 0x0128:
    case 0x0124: // T4/T6 options
    case 0x0125:
    case 0x0129: // PageNumber
    case 0x013D: // Predictor
    case 0x0150: // DotRange
    case 0x0153: // SampleFormat and its ranges
    case 0x0154:
    case 0x0155:
    case 0x015B: // JPEGTables
    case 0x0211: // YCbCr layout
    case 0x0212:
    case 0x0213:
        return true;
    default:
        return false;
    }
}

// Writes every other property item as a tag of its own id and type. Tags libtiff knows are
// set in the form libtiff expects for them, or left out when the item does not fit it;
// others are registered as custom tags first. No item can make the save fail.
void writePropertyTags(TIFF* tif, const FrameData& frame) {
    static char kName[] = "PropertyItem";
    for (const PropertyItem& item : frame.properties) {
        if (skipTag(item.id))
            continue;
        const uint32_t unit = exif::typeSize(item.type);
        if (unit == 0 || item.type == 13 || item.value.size() < unit)
            continue;
        const uint32_t count = uint32_t(item.value.size() / unit);
        const bool ascii = item.type == PropertyTagTypeASCII;
        std::string text;
        if (ascii) {
            text.assign(item.value.begin(), item.value.end());
            text = text.c_str();
        }
        const TIFFField* field = TIFFFindField(tif, item.id, TIFF_ANY);
        if (!field) {
            TIFFFieldInfo info{item.id,
                               ascii ? short(TIFF_VARIABLE) : short(TIFF_VARIABLE2),
                               ascii ? short(TIFF_VARIABLE) : short(TIFF_VARIABLE2),
                               TIFFDataType(item.type),
                               FIELD_CUSTOM,
                               1,
                               ascii ? uint8_t(0) : uint8_t(1),
                               kName};
            if (TIFFMergeFieldInfo(tif, &info, 1) != 0)
                continue;
            field = TIFFFindField(tif, item.id, TIFF_ANY);
            if (!field)
                continue;
        }
        const int type = TIFFFieldDataType(field);
        if (ascii) {
            if (type == TIFF_ASCII && !TIFFFieldPassCount(field))
                TIFFSetField(tif, item.id, text.c_str());
            continue;
        }
        if (TIFFFieldPassCount(field)) {
            if (type != item.type)
                continue;
            // libtiff keeps rationals as floats; everything else is passed as stored.
            std::vector<float> floats;
            const void* data = item.value.data();
            const bool rational =
                item.type == PropertyTagTypeRational || item.type == PropertyTagTypeSRational;
            if (rational && TIFFFieldSetGetSize(field) == 4) {
                for (uint32_t i = 0; i < count; ++i) {
                    int32_t r[2];
                    std::memcpy(r, item.value.data() + 8 * i, 8);
                    const double num =
                        item.type == PropertyTagTypeRational ? double(uint32_t(r[0])) : r[0];
                    const double den =
                        item.type == PropertyTagTypeRational ? double(uint32_t(r[1])) : r[1];
                    floats.push_back(den != 0 ? float(num / den) : 0.0f);
                }
                data = floats.data();
            } else if (TIFFFieldSetGetSize(field) != int(unit)) {
                continue;
            }
            if (TIFFFieldWriteCount(field) == TIFF_VARIABLE2)
                TIFFSetField(tif, item.id, count, data);
            else if (count <= 0xFFFF)
                TIFFSetField(tif, item.id, int(count), data);
            continue;
        }
        if (TIFFFieldReadCount(field) != 1 || count != 1)
            continue;
        uint32_t u = 0;
        if (item.type == PropertyTagTypeShort && type == TIFF_SHORT) {
            uint16_t v;
            std::memcpy(&v, item.value.data(), 2);
            TIFFSetField(tif, item.id, int(v));
        } else if (item.type == PropertyTagTypeLong && type == TIFF_LONG) {
            std::memcpy(&u, item.value.data(), 4);
            TIFFSetField(tif, item.id, u);
        } else if (item.type == PropertyTagTypeRational && type == TIFF_RATIONAL) {
            uint32_t r[2];
            std::memcpy(r, item.value.data(), 8);
            if (r[1] == 0)
                continue;
            const double v = double(r[0]) / r[1];
            if (TIFFFieldSetGetSize(field) == 8)
                TIFFSetField(tif, item.id, v);
            else
                TIFFSetField(tif, item.id, double(float(v)));
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
    writePropertyTags(tif, frame);
    for (int32_t y = 0; y < frame.height; ++y)
        if (TIFFWriteScanline(tif, line(y), uint32_t(y), 0) < 0)
            fail(GenericError);
    if (!TIFFWriteDirectory(tif))
        fail(GenericError);
    TIFFClose(tif);
    closer.tif = nullptr;
}

} // namespace gp::codec
