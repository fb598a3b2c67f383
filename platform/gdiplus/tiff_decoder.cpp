// TIFF decoder over libtiff: every page, every compression libtiff reads, strips and tiles.
// Bilevel, palette, grey and contiguous RGB(A) pages are read in their own depth; anything
// else (CMYK, YCbCr, planar, odd depths) goes through libtiff's RGBA reader.

#include "platform/gdiplus/codec_internal.h"
#include "platform/gdiplus/codec_tiff_io.h"
#include "platform/gdiplus/exif.h"

#include <algorithm>

namespace gp::codec {

namespace {

uint8_t to8(uint16_t v) {
    return uint8_t((uint32_t(v) * 255 + 32767) / 65535);
}

struct PageInfo {
    uint32_t width = 0, height = 0;
    uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
    uint16_t compression = COMPRESSION_NONE, sampleFormat = SAMPLEFORMAT_UINT;
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
};

void readStrips(TIFF* tif, const PageInfo& p, uint8_t* dst, tmsize_t lineSize) {
    const tstrip_t strips = TIFFNumberOfStrips(tif);
    uint32_t rowsPerStrip = p.height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, p.height);
    for (tstrip_t s = 0; s < strips; ++s) {
        uint64_t row = uint64_t(s) * rowsPerStrip;
        if (row >= p.height)
            break;
        size_t rows = std::min<uint64_t>(rowsPerStrip, p.height - row);
        if (TIFFReadEncodedStrip(tif, s, dst + row * size_t(lineSize),
                                 tmsize_t(rows * size_t(lineSize))) < 0)
            fail();
    }
}

// Reads the whole page, strips or tiles, into contiguous packed rows of TIFFScanlineSize.
std::vector<uint8_t> readPacked(TIFF* tif, const PageInfo& p) {
    const tmsize_t lineSize = TIFFScanlineSize(tif);
    if (lineSize <= 0)
        fail();
    std::vector<uint8_t> buf(size_t(lineSize) * p.height);
    if (!TIFFIsTiled(tif)) {
        readStrips(tif, p, buf.data(), lineSize);
        return buf;
    }
    uint32_t tileW = 0, tileH = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileW);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileH);
    const tmsize_t tileSize = TIFFTileSize(tif);
    const tmsize_t tileRow = TIFFTileRowSize(tif);
    if (tileW == 0 || tileH == 0 || tileSize <= 0 || tileRow <= 0)
        fail();
    std::vector<uint8_t> tile(static_cast<size_t>(tileSize));
    const uint32_t bitsPerPixel = uint32_t(p.bps) * p.spp;
    for (uint32_t ty = 0; ty < p.height; ty += tileH) {
        for (uint32_t tx = 0; tx < p.width; tx += tileW) {
            if (TIFFReadTile(tif, tile.data(), tx, ty, 0, 0) < 0)
                fail();
            // Tiles start on pixel boundaries that are byte boundaries for whole-byte pixels;
            // bilevel and 4-bit tiles are multiples of 16 pixels wide by the format's rule.
            const size_t xByte = size_t(uint64_t(tx) * bitsPerPixel / 8);
            const size_t copyBytes = std::min<size_t>(
                size_t(tileRow), size_t(lineSize) - std::min(xByte, size_t(lineSize)));
            for (uint32_t y = 0; y < tileH && ty + y < p.height; ++y)
                std::memcpy(buf.data() + size_t(ty + y) * size_t(lineSize) + xByte,
                            tile.data() + size_t(y) * size_t(tileRow), copyBytes);
        }
    }
    return buf;
}

void readViaRgba(TIFF* tif, const PageInfo& p, FrameData& frame) {
    const bool alpha =
        p.extraCount > 0 || p.spp == 2 || (p.spp >= 4 && p.photometric == PHOTOMETRIC_RGB);
    allocateFrame(frame, p.width, p.height, alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB);
    std::vector<uint32_t> raster(size_t(p.width) * p.height);
    if (!TIFFReadRGBAImageOriented(tif, p.width, p.height, raster.data(), ORIENTATION_TOPLEFT, 0))
        fail();
    for (uint32_t y = 0; y < p.height; ++y) {
        const uint32_t* src = raster.data() + size_t(y) * p.width;
        uint8_t* dst = rowOf(frame, int32_t(y));
        for (uint32_t x = 0; x < p.width; ++x) {
            uint32_t v = src[x];
            uint8_t r = TIFFGetR(v), g = TIFFGetG(v), b = TIFFGetB(v), a = TIFFGetA(v);
            if (alpha) {
                // The RGBA reader premultiplies associated alpha; undo it for straight ARGB.
                if (a != 0 && a != 255) {
                    r = uint8_t(std::min(255, (r * 255 + a / 2) / a));
                    g = uint8_t(std::min(255, (g * 255 + a / 2) / a));
                    b = uint8_t(std::min(255, (b * 255 + a / 2) / a));
                }
                dst[4 * x] = b;
                dst[4 * x + 1] = g;
                dst[4 * x + 2] = r;
                dst[4 * x + 3] = a;
            } else {
                dst[3 * x] = b;
                dst[3 * x + 1] = g;
                dst[3 * x + 2] = r;
            }
        }
    }
}

void decodePage(TIFF* tif, FrameData& frame) {
    PageInfo p;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width) ||
        !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height))
        fail();
    if (p.width == 0 || p.height == 0)
        fail();
    if (int64_t(p.width) * p.height > kMaxPixels)
        fail(OutOfMemory);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p.bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &p.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &p.compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &p.sampleFormat);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &p.extraCount, &p.extra);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric))
        p.photometric = p.spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;

    if (p.compression == COMPRESSION_JPEG && p.photometric == PHOTOMETRIC_YCBCR) {
        // Let the JPEG codec do the colour conversion; the page then reads as RGB.
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        p.photometric = PHOTOMETRIC_RGB;
    }

    const bool contig = p.planar == PLANARCONFIG_CONTIG || p.spp == 1;
    const bool uintSamples = p.sampleFormat == SAMPLEFORMAT_UINT || p.sampleFormat == 0;
    const bool grey =
        p.photometric == PHOTOMETRIC_MINISBLACK || p.photometric == PHOTOMETRIC_MINISWHITE;
    const bool minIsWhite = p.photometric == PHOTOMETRIC_MINISWHITE;

    if (contig && uintSamples && p.spp == 1 && (grey || p.photometric == PHOTOMETRIC_PALETTE) &&
        (p.bps == 1 || p.bps == 2 || p.bps == 4 || p.bps == 8)) {
        PixelFormat format = p.bps == 1   ? PixelFormat1bppIndexed
                             : p.bps == 8 ? PixelFormat8bppIndexed
                                          : PixelFormat4bppIndexed;
        allocateFrame(frame, p.width, p.height, format);
        if (p.photometric == PHOTOMETRIC_PALETTE) {
            uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
            if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
                fail();
            // Some writers store 8-bit colour maps; the 16-bit rule would make them black.
            const int n = 1 << p.bps;
            bool eightBit = true;
            for (int i = 0; i < n; ++i)
                if (r[i] > 255 || g[i] > 255 || b[i] > 255)
                    eightBit = false;
            for (int i = 0; i < n; ++i)
                frame.palette.entries.push_back(
                    eightBit ? makeArgb(255, uint8_t(r[i]), uint8_t(g[i]), uint8_t(b[i]))
                             : makeArgb(255, to8(r[i]), to8(g[i]), to8(b[i])));
        } else {
            frame.palette = greyPalette(1 << p.bps, minIsWhite);
        }
        const size_t line = size_t(TIFFScanlineSize(tif));
        if (!TIFFIsTiled(tif) && p.bps != 2 && line == size_t(frame.stride)) {
            // Rows already have the frame's layout: decode straight into it.
            readStrips(tif, p, frame.pixels.data(), tmsize_t(line));
            return;
        }
        std::vector<uint8_t> packed = readPacked(tif, p);
        for (uint32_t y = 0; y < p.height; ++y) {
            const uint8_t* src = packed.data() + size_t(y) * line;
            uint8_t* dst = rowOf(frame, int32_t(y));
            if (p.bps != 2) {
                std::memcpy(dst, src, std::min<size_t>(line, size_t(frame.stride)));
                continue;
            }
            for (uint32_t x = 0; x < p.width; ++x) {
                uint8_t v = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
                dst[x >> 1] |= (x & 1) ? v : uint8_t(v << 4);
            }
        }
        return;
    }

    const bool rgb = p.photometric == PHOTOMETRIC_RGB;
    if (contig && uintSamples && (p.bps == 8 || p.bps == 16) &&
        ((rgb && (p.spp == 3 || p.spp == 4)) || (grey && p.bps == 16 && p.spp == 1))) {
        const bool alpha = p.spp == 4;
        const bool associated = alpha && p.extraCount > 0 && p.extra[0] == EXTRASAMPLE_ASSOCALPHA;
        const PixelFormat format = p.bps == 8
                                       ? (alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB)
                                       : (alpha ? PixelFormat64bppARGB : PixelFormat48bppRGB);
        allocateFrame(frame, p.width, p.height, format);
        std::vector<uint8_t> packed = readPacked(tif, p);
        const size_t line = size_t(TIFFScanlineSize(tif));
        const int outChannels = alpha ? 4 : 3;
        for (uint32_t y = 0; y < p.height; ++y) {
            const uint8_t* src = packed.data() + size_t(y) * line;
            uint8_t* dst = rowOf(frame, int32_t(y));
            for (uint32_t x = 0; x < p.width; ++x) {
                uint32_t s[4] = {0, 0, 0, 0};
                for (int c = 0; c < p.spp; ++c)
                    s[c] = p.bps == 8 ? src[x * p.spp + unsigned(c)]
                                      : uint32_t(reinterpret_cast<const uint16_t*>(
                                            src)[x * p.spp + unsigned(c)]);
                if (!rgb) {
                    uint32_t v = minIsWhite ? 65535 - s[0] : s[0];
                    s[0] = s[1] = s[2] = v;
                }
                if (associated && s[3] != 0) {
                    const uint32_t full = p.bps == 8 ? 255 : 65535;
                    for (int c = 0; c < 3; ++c)
                        s[c] = std::min(full, (s[c] * full + s[3] / 2) / s[3]);
                }
                // B,G,R(,A) order.
                const uint32_t ordered[4] = {s[2], s[1], s[0], s[3]};
                for (int c = 0; c < outChannels; ++c) {
                    if (p.bps == 8)
                        dst[x * unsigned(outChannels) + unsigned(c)] = uint8_t(ordered[c]);
                    else
                        reinterpret_cast<uint16_t*>(dst)[x * unsigned(outChannels) + unsigned(c)] =
                            uint16_t(ordered[c]);
                }
            }
        }
        return;
    }

    char message[1024];
    if (!TIFFRGBAImageOK(tif, message))
        fail();
    readViaRgba(tif, p, frame);
}

void readResolution(TIFF* tif, FrameData& frame) {
    float xres = 0, yres = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres) ||
        !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres))
        return;
    if (!(xres > 0) || !(yres > 0) || xres > 1e6f || yres > 1e6f || unit == RESUNIT_NONE)
        return;
    const double scale = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    frame.dpiX = xres * scale;
    frame.dpiY = yres * scale;
}

} // namespace

void decodeTiff(Bytes bytes, DecodedImage& out, const DecodeOptions& options) {
    TiffMemory memory{bytes};
    TiffCloser closer{openTiff(memory, "rm")};
    TIFF* tif = closer.tif;
    if (!tif)
        fail();
    out.frameDimension = FrameDimensionPage;
    // Directory loops are cut by libtiff; the page cap stops absurd page counts.
    for (int page = 0; page < 65536; ++page) {
        FrameData frame;
        decodePage(tif, frame);
        readResolution(tif, frame);
        exif::readTiffDirectory(bytes, TIFFCurrentDirOffset(tif), frame.properties);
        if (options.applyIcm) {
            uint32_t iccLength = 0;
            void* icc = nullptr;
            if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccLength, &icc) && icc && iccLength)
                applyIccToSrgb(frame, Bytes(static_cast<const uint8_t*>(icc), iccLength));
        }
        out.frames.push_back(std::move(frame));
        if (!TIFFReadDirectory(tif))
            break;
    }
}

} // namespace gp::codec
