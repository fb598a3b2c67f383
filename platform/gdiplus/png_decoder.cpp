// PNG decoder over libpng: every colour type and depth, tRNS, Adam7, and the ancillary
// chunks that have property tags.

#include "platform/gdiplus/codec_internal.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <new>

namespace gp::codec {

namespace {

struct MemoryInput {
    Bytes data;
    size_t pos = 0;
};

void readFromMemory(png_structp png, png_bytep out, size_t length) {
    auto* in = static_cast<MemoryInput*>(png_get_io_ptr(png));
    if (in->data.size() - in->pos < length)
        png_error(png, "truncated");
    std::memcpy(out, in->data.data() + in->pos, length);
    in->pos += length;
}

void quietWarning(png_structp, png_const_charp) {}
void errorJump(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

// Everything the decode builds lives here, outside the frames a longjmp may skip.
struct PngContext {
    MemoryInput input;
    png_structp png = nullptr;
    png_infop info = nullptr;
    FrameData frame;
    std::vector<uint8_t> scratch;
    std::vector<png_bytep> rows;
    Status failure = UnknownImageFormat;
    bool bad = false;
    bool ok = false; // kept here, as a local would not survive the longjmp // a non-libpng failure
                     // found between the jumps
    std::vector<uint8_t> icc;
};

void addTextTags(PngContext& c) {
    png_textp text = nullptr;
    int count = 0;
    png_get_text(c.png, c.info, &text, &count);
    static const struct {
        const char* key;
        uint32_t id;
    } kKeys[] = {{"Title", 0x0320},     {"Author", 0x013B},   {"Description", 0x010E},
                 {"Copyright", 0x8298}, {"Software", 0x0131}, {"Creation Time", 0x0132}};
    for (int i = 0; i < count; ++i) {
        for (const auto& k : kKeys) {
            if (std::strcmp(text[i].key, k.key) != 0)
                continue;
            size_t len = text[i].compression >= 1 ? text[i].itxt_length : text[i].text_length;
            std::string value(text[i].text ? text[i].text : "", text[i].text ? len : 0);
            // A later chunk with the same keyword replaces the earlier one.
            auto& props = c.frame.properties;
            for (auto it = props.begin(); it != props.end(); ++it)
                if (it->id == k.id) {
                    props.erase(it);
                    break;
                }
            props.push_back(makeAscii(k.id, value));
        }
    }
}

void addChunkTags(PngContext& c) {
    png_structp png = c.png;
    png_infop info = c.info;
    auto& props = c.frame.properties;
    double gamma = 0;
    if (png_get_gAMA(png, info, &gamma))
        props.push_back(makeRational(0x0301, 100000, uint32_t(std::lround(gamma * 100000))));
    double wx, wy, rx, ry, gx, gy, bx, by;
    if (png_get_cHRM(png, info, &wx, &wy, &rx, &ry, &gx, &gy, &bx, &by)) {
        auto rat = [](double v) { return uint32_t(std::lround(v * 100000)); };
        uint32_t white[4] = {rat(wx), 100000, rat(wy), 100000};
        props.push_back(makeItem(0x013E, PropertyTagTypeRational, white, sizeof white));
        uint32_t prim[12] = {rat(rx), 100000, rat(ry), 100000, rat(gx), 100000,
                             rat(gy), 100000, rat(bx), 100000, rat(by), 100000};
        props.push_back(makeItem(0x013F, PropertyTagTypeRational, prim, sizeof prim));
    }
    int intent = 0;
    if (png_get_sRGB(png, info, &intent)) {
        uint8_t v = uint8_t(intent);
        props.push_back(makeItem(0x0303, PropertyTagTypeByte, &v, 1));
    }
    png_charp name = nullptr;
    int compressionType = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    if (png_get_iCCP(png, info, &name, &compressionType, &profile, &profileLength) && profile) {
        props.push_back(makeItem(0x8773, PropertyTagTypeUndefined, profile, profileLength));
        c.icc.assign(profile, profile + profileLength);
    }
    png_uint_32 resX = 0, resY = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &resX, &resY, &unit)) {
        uint8_t u = uint8_t(unit);
        props.push_back(makeItem(0x5110, PropertyTagTypeByte, &u, 1));
        props.push_back(makeLong(0x5111, resX));
        props.push_back(makeLong(0x5112, resY));
        if (unit == PNG_RESOLUTION_METER && resX > 0 && resY > 0) {
            c.frame.dpiX = resX * 0.0254;
            c.frame.dpiY = resY * 0.0254;
        }
    }
    png_uint_16p hist = nullptr;
    if (png_get_hIST(png, info, &hist) && hist) {
        int entries = 0;
        png_colorp palette = nullptr;
        png_get_PLTE(png, info, &palette, &entries);
        props.push_back(makeItem(0x5113, PropertyTagTypeShort, hist, size_t(entries) * 2));
    }
    png_timep time = nullptr;
    if (png_get_tIME(png, info, &time) && time) {
        char text[32];
        std::snprintf(text, sizeof text, "%04u:%02u:%02u %02u:%02u:%02u", unsigned(time->year),
                      unsigned(time->month) % 100, unsigned(time->day) % 100,
                      unsigned(time->hour) % 100, unsigned(time->minute) % 100,
                      unsigned(time->second) % 100);
        props.push_back(makeAscii(0x0132, text));
    }
    addTextTags(c);
}

// Runs between setjmp and the last libpng call; keeps no non-trivial locals of its own.
void readImage(PngContext& c) {
    png_structp png = c.png;
    png_infop info = c.info;
    png_set_read_fn(png, &c.input, readFromMemory);
    png_set_user_limits(png, 0x7FFFFFF, 0x7FFFFFF);
    // A chunk header may declare gigabytes: cap what one ancillary chunk may allocate, and
    // how many of them are kept.
    png_set_chunk_malloc_max(png, size_t(64) << 20);
    png_set_chunk_cache_max(png, 1000);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);
    if (int64_t(width) * height > kMaxPixels || !takePixels(int64_t(width) * height)) {
        c.failure = OutOfMemory;
        c.bad = true;
        return;
    }
    const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;

    PixelFormat format = PixelFormat32bppARGB;
    bool expand2bit = false;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        format = depth == 1   ? PixelFormat1bppIndexed
                 : depth == 8 ? PixelFormat8bppIndexed
                              : PixelFormat4bppIndexed;
        expand2bit = depth == 2;
        png_colorp plte = nullptr;
        int entries = 0;
        png_get_PLTE(png, info, &plte, &entries);
        png_bytep alpha = nullptr;
        int alphaCount = 0;
        if (hasTrns)
            png_get_tRNS(png, info, &alpha, &alphaCount, nullptr);
        c.frame.palette.entries.clear();
        for (int i = 0; i < entries; ++i) {
            uint8_t a = i < alphaCount ? alpha[i] : 255;
            if (a != 255)
                c.frame.palette.flags |= PaletteFlagsHasAlpha;
            c.frame.palette.entries.push_back(
                makeArgb(a, plte[i].red, plte[i].green, plte[i].blue));
        }
    } else if (colorType == PNG_COLOR_TYPE_GRAY && !hasTrns && depth <= 8) {
        format = depth == 1   ? PixelFormat1bppIndexed
                 : depth == 8 ? PixelFormat8bppIndexed
                              : PixelFormat4bppIndexed;
        expand2bit = depth == 2;
        c.frame.palette = greyPalette(1 << depth);
    } else {
        const bool alpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0 || hasTrns;
        if (depth == 16)
            format = alpha ? PixelFormat64bppARGB : PixelFormat48bppRGB;
        else
            format = alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB;
        if (depth < 8)
            png_set_expand_gray_1_2_4_to_8(png);
        if (hasTrns)
            png_set_tRNS_to_alpha(png);
        if (!(colorType & PNG_COLOR_MASK_COLOR))
            png_set_gray_to_rgb(png);
        png_set_bgr(png);
        if (depth == 16)
            png_set_swap(png);
    }
    const int passes = png_set_interlace_handling(png);
    (void)passes;
    png_read_update_info(png, info);

    // allocateFrame reports through exceptions, which must not cross libpng; check first.
    c.frame.width = int32_t(width);
    c.frame.height = int32_t(height);
    c.frame.format = format;
    c.frame.stride = strideFor(int32_t(width), format);
    c.frame.pixels.assign(size_t(c.frame.stride) * height, 0);

    const size_t rowBytes = png_get_rowbytes(png, info);
    c.rows.resize(height);
    if (expand2bit) {
        c.scratch.assign(rowBytes * height, 0);
        for (png_uint_32 y = 0; y < height; ++y)
            c.rows[y] = c.scratch.data() + y * rowBytes;
    } else {
        if (rowBytes > size_t(c.frame.stride)) {
            c.bad = true;
            return;
        }
        for (png_uint_32 y = 0; y < height; ++y)
            c.rows[y] = c.frame.pixels.data() + size_t(y) * size_t(c.frame.stride);
    }
    png_read_image(png, c.rows.data());
    png_read_end(png, info);
    addChunkTags(c);

    if (expand2bit) {
        // 2-bit samples widen to 4-bit indices; the palette indexes are unchanged.
        for (png_uint_32 y = 0; y < height; ++y) {
            const uint8_t* src = c.rows[y];
            uint8_t* dst = rowOf(c.frame, int32_t(y));
            for (png_uint_32 x = 0; x < width; ++x) {
                uint8_t v = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
                dst[x >> 1] |= (x & 1) ? v : uint8_t(v << 4);
            }
        }
    }
}

} // namespace

// Walks the chunk headers: a chunk that claims more bytes than the file holds makes the
// file corrupt before libpng allocates a buffer of the claimed size for it.
void checkChunkLengths(Bytes bytes) {
    size_t pos = 8;
    while (true) {
        if (bytes.size() - pos < 12)
            fail();
        const uint32_t length = uint32_t(bytes[pos]) << 24 | uint32_t(bytes[pos + 1]) << 16 |
                                uint32_t(bytes[pos + 2]) << 8 | bytes[pos + 3];
        if (length > bytes.size() - pos - 12)
            fail();
        if (std::memcmp(bytes.data() + pos + 4, "IEND", 4) == 0)
            return;
        pos += 12 + size_t(length);
    }
}

void decodePng(Bytes bytes, DecodedImage& out, const DecodeOptions& options) {
    if (bytes.size() < 8)
        fail();
    checkChunkLengths(bytes);
    PngContext c;
    c.input.data = bytes;
    c.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, errorJump, quietWarning);
    if (!c.png)
        fail(OutOfMemory);
    c.info = png_create_info_struct(c.png);
    if (!c.info) {
        png_destroy_read_struct(&c.png, nullptr, nullptr);
        fail(OutOfMemory);
    }
    if (setjmp(png_jmpbuf(c.png)) == 0) {
        try {
            readImage(c);
            c.ok = !c.bad;
        } catch (const std::bad_alloc&) {
            c.failure = OutOfMemory;
        }
    }
    png_destroy_read_struct(&c.png, &c.info, nullptr);
    if (!c.ok)
        fail(c.failure);
    if (options.applyIcm && !c.icc.empty())
        applyIccToSrgb(c.frame, c.icc);
    out.frames.push_back(std::move(c.frame));
}

} // namespace gp::codec
