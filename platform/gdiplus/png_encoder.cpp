// PNG encoder over libpng: palette (+tRNS), grey, RGB, RGBA, 16-bit, with pHYs from the
// resolution and gamma, chromaticities, sRGB, ICC and text chunks from the property items.

#include "platform/gdiplus/codec_internal.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <new>
#include <string>

namespace gp::codec {

namespace {

// Called from inside libpng: no exception may leave it.
void writeToVector(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    bool failed = false;
    try {
        out->insert(out->end(), data, data + length);
    } catch (...) {
        failed = true;
    }
    if (failed)
        png_error(png, "out of memory");
}
void flushNothing(png_structp) {}
void quietWarning(png_structp, png_const_charp) {}
void errorJump(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

struct PngWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<uint8_t>* out = nullptr;
    std::vector<png_color> palette;
    std::vector<uint8_t> alpha;
    std::vector<uint8_t> row;
    std::vector<std::string> keys, values;
    std::vector<png_text> texts;
    bool ok = false;
};

uint32_t rationalAt(const PropertyItem& item, size_t i, bool denominator) {
    uint32_t v = 0;
    if (item.value.size() >= 8 * (i + 1))
        std::memcpy(&v, item.value.data() + 8 * i + (denominator ? 4 : 0), 4);
    return v;
}

void addMetadata(PngWriter& w, const FrameData& frame) {
    png_structp png = w.png;
    png_infop info = w.info;
    const auto& props = frame.properties;
    const uint32_t ppmX = uint32_t(std::lround(frame.dpiX / 0.0254));
    const uint32_t ppmY = uint32_t(std::lround(frame.dpiY / 0.0254));
    png_set_pHYs(png, info, ppmX, ppmY, PNG_RESOLUTION_METER);
    if (const PropertyItem* g = findItem(props, 0x0301); g && g->type == PropertyTagTypeRational) {
        uint32_t num = rationalAt(*g, 0, false), den = rationalAt(*g, 0, true);
        // The tag holds the display exponent (2.2); gAMA stores its inverse.
        if (num != 0 && den != 0)
            png_set_gAMA(png, info, double(den) / double(num));
    }
    const PropertyItem* white = findItem(props, 0x013E);
    const PropertyItem* prim = findItem(props, 0x013F);
    if (white && prim && white->value.size() >= 16 && prim->value.size() >= 48) {
        auto r = [](const PropertyItem& p, size_t i) {
            uint32_t d = rationalAt(p, i, true);
            return d ? double(rationalAt(p, i, false)) / d : 0.0;
        };
        png_set_cHRM(png, info, r(*white, 0), r(*white, 1), r(*prim, 0), r(*prim, 1), r(*prim, 2),
                     r(*prim, 3), r(*prim, 4), r(*prim, 5));
    }
    if (const PropertyItem* s = findItem(props, 0x0303); s && !s->value.empty())
        png_set_sRGB(png, info, s->value[0] & 3);
    if (const PropertyItem* icc = findItem(props, 0x8773); icc && icc->value.size() >= 132)
        png_set_iCCP(png, info, "ICC Profile", PNG_COMPRESSION_TYPE_BASE, icc->value.data(),
                     png_uint_32(icc->value.size()));
    static const struct {
        uint32_t id;
        const char* key;
    } kKeys[] = {{0x0320, "Title"},     {0x013B, "Author"},   {0x010E, "Description"},
                 {0x8298, "Copyright"}, {0x0131, "Software"}, {0x0132, "Creation Time"}};
    for (const auto& k : kKeys) {
        const PropertyItem* item = findItem(props, k.id);
        if (!item || item->type != PropertyTagTypeASCII)
            continue;
        std::string text(item->value.begin(), item->value.end());
        text = text.c_str();
        w.keys.push_back(k.key);
        w.values.push_back(text);
    }
    for (size_t i = 0; i < w.keys.size(); ++i) {
        png_text t{};
        t.compression = PNG_TEXT_COMPRESSION_NONE;
        t.key = const_cast<char*>(w.keys[i].c_str());
        t.text = const_cast<char*>(w.values[i].c_str());
        t.text_length = w.values[i].size();
        w.texts.push_back(t);
    }
    if (!w.texts.empty())
        png_set_text(png, info, w.texts.data(), int(w.texts.size()));
}

void writeImage(PngWriter& w, const FrameData& frame) {
    png_structp png = w.png;
    png_infop info = w.info;
    png_set_write_fn(png, w.out, writeToVector, flushNothing);
    // Damaged metadata (an ICC profile libpng dislikes) must not stop the save.
    png_set_benign_errors(png, 1);
    int colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    int depth = 8;
    enum class Rows { Direct, Bgra } rows = Rows::Direct;
    switch (frame.format) {
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
        depth = bitsPerPixel(frame.format);
        colorType = PNG_COLOR_TYPE_PALETTE;
        break;
    case PixelFormat24bppRGB:
        colorType = PNG_COLOR_TYPE_RGB;
        png_set_bgr(png);
        break;
    case PixelFormat32bppRGB:
        colorType = PNG_COLOR_TYPE_RGB;
        png_set_bgr(png);
        break;
    case PixelFormat32bppARGB:
        png_set_bgr(png);
        break;
    case PixelFormat48bppRGB:
        colorType = PNG_COLOR_TYPE_RGB;
        depth = 16;
        png_set_bgr(png);
        png_set_swap(png);
        break;
    case PixelFormat64bppARGB:
        depth = 16;
        png_set_bgr(png);
        png_set_swap(png);
        break;
    default:
        rows = Rows::Bgra;
        png_set_bgr(png);
        break;
    }
    png_set_IHDR(png, info, png_uint_32(frame.width), png_uint_32(frame.height), depth, colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        const size_t n = std::min<size_t>(frame.palette.entries.size(), size_t(1) << depth);
        size_t lastTransparent = 0;
        for (size_t i = 0; i < n; ++i) {
            ARGB e = frame.palette.entries[i];
            w.palette.push_back(png_color{uint8_t(e >> 16), uint8_t(e >> 8), uint8_t(e)});
            w.alpha.push_back(uint8_t(e >> 24));
            if ((e >> 24) != 255)
                lastTransparent = i + 1;
        }
        // Every index the pixels use must have an entry, or readers reject the file.
        size_t used = 0;
        for (int32_t y = 0; y < frame.height; ++y) {
            const uint8_t* row = rowOf(frame, y);
            for (int32_t x = 0; x < frame.width; ++x) {
                size_t index = depth == 8   ? row[x]
                               : depth == 4 ? size_t((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF)
                                            : size_t((row[x >> 3] >> (7 - (x & 7))) & 1);
                used = std::max(used, index + 1);
            }
        }
        while (w.palette.size() < used) {
            w.palette.push_back(png_color{0, 0, 0});
            w.alpha.push_back(255);
        }
        png_set_PLTE(png, info, w.palette.data(), int(w.palette.size()));
        if (lastTransparent > 0)
            png_set_tRNS(png, info, w.alpha.data(), int(lastTransparent), nullptr);
    }
    addMetadata(w, frame);
    png_write_info(png, info);
    // The filler is stripped by colour type, which png_write_info has just recorded.
    if (frame.format == PixelFormat32bppRGB)
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    for (int32_t y = 0; y < frame.height; ++y) {
        if (rows == Rows::Direct) {
            png_write_row(png, rowOf(frame, y));
        } else {
            rowToBgra(frame, y, w.row.data());
            png_write_row(png, w.row.data());
        }
    }
    png_write_end(png, info);
    w.ok = true;
}

} // namespace

void encodePng(const FrameData& frame, std::vector<uint8_t>& out) {
    PngWriter w;
    w.out = &out;
    w.row.resize(size_t(frame.width) * 4);
    w.keys.reserve(8);
    w.values.reserve(8);
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, errorJump, quietWarning);
    if (!w.png)
        fail(OutOfMemory);
    w.info = png_create_info_struct(w.png);
    if (w.info && setjmp(png_jmpbuf(w.png)) == 0) {
        try {
            writeImage(w, frame);
        } catch (const std::bad_alloc&) {
            w.ok = false;
        }
    }
    png_destroy_write_struct(&w.png, &w.info);
    if (!w.ok) {
        out.clear();
        fail(GenericError);
    }
}

} // namespace gp::codec
