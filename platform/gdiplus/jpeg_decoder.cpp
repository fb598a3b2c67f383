// JPEG decoder over libjpeg-turbo: grey, YCbCr/RGB and Adobe CMYK/YCCK, with EXIF, XMP,
// ICC, JFIF density and the quantisation tables as property items.

#include "platform/gdiplus/codec_internal.h"
#include "platform/gdiplus/exif.h"
#include "platform/gdiplus/jpeg_error.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <memory>
#include <new>

namespace gp::codec {

namespace {

// All decode state, so that nothing with a destructor lives in frames a longjmp skips.
struct JpegContext {
    jpeg_decompress_struct info{};
    JpegErrorManager error{};
    FrameData frame;
    std::vector<uint8_t> scratch;
    std::vector<uint8_t> icc;
    std::unique_ptr<CmykTransform> cmykProfile; // ICM decoding of CMYK through the profile
    bool applyIcm = false;
    bool cmyk = false;
    Status failure = UnknownImageFormat;
    bool bad = false;
    bool ok = false; // kept here, as a local would not survive the longjmp
};

bool startsWith(const jpeg_saved_marker_ptr m, const char* sig, size_t n) {
    return m->data_length >= n && std::memcmp(m->data, sig, n) == 0;
}

// Joins the ICC_PROFILE APP2 chunks in their sequence order.
void assembleIcc(JpegContext& c) {
    std::vector<std::pair<int, std::vector<uint8_t>>> chunks;
    for (jpeg_saved_marker_ptr m = c.info.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 2 && startsWith(m, "ICC_PROFILE\0", 12) && m->data_length > 14)
            chunks.emplace_back(m->data[12],
                                std::vector<uint8_t>(m->data + 14, m->data + m->data_length));
    std::stable_sort(chunks.begin(), chunks.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& chunk : chunks)
        c.icc.insert(c.icc.end(), chunk.second.begin(), chunk.second.end());
}

void collectProperties(JpegContext& c) {
    auto& props = c.frame.properties;
    bool haveExif = false;
    for (jpeg_saved_marker_ptr m = c.info.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && startsWith(m, "Exif\0\0", 6) && !haveExif) {
            haveExif = exif::readExif({m->data + 6, m->data_length - 6}, props);
        } else if (m->marker == JPEG_APP0 + 1 &&
                   startsWith(m, "http://ns.adobe.com/xap/1.0/\0", 29)) {
            std::string xmp(reinterpret_cast<const char*>(m->data + 29), m->data_length - 29);
            props.push_back(makeAscii(0x02BC, xmp));
        }
    }
    if (!c.icc.empty()) {
        props.push_back(makeItem(0x8773, PropertyTagTypeUndefined, c.icc.data(), c.icc.size()));
        // The description is the profile's 'desc' tag text, when it is the simple kind.
        const auto& p = c.icc;
        if (p.size() >= 132) {
            uint32_t count = uint32_t(p[128]) << 24 | uint32_t(p[129]) << 16 | p[130] << 8 | p[131];
            for (uint32_t i = 0; i < count && 132 + 12 * (size_t(i) + 1) <= p.size(); ++i) {
                const uint8_t* t = p.data() + 132 + 12 * i;
                uint32_t off = uint32_t(t[4]) << 24 | uint32_t(t[5]) << 16 | t[6] << 8 | t[7];
                uint32_t len = uint32_t(t[8]) << 24 | uint32_t(t[9]) << 16 | t[10] << 8 | t[11];
                if (std::memcmp(t, "desc", 4) != 0 || off > p.size() || p.size() - off < len ||
                    len < 12 || std::memcmp(p.data() + off, "desc", 4) != 0)
                    continue;
                uint32_t n = uint32_t(p[off + 8]) << 24 | uint32_t(p[off + 9]) << 16 |
                             p[off + 10] << 8 | p[off + 11];
                n = std::min<uint32_t>(n, len - 12);
                std::string text(reinterpret_cast<const char*>(p.data() + off + 12), n);
                text = text.c_str(); // the stored count includes the terminator
                props.push_back(makeAscii(0x0302, text));
                break;
            }
        }
    }
    // Resolution: EXIF X/YResolution with its unit wins; JFIF density otherwise.
    const PropertyItem* xr = findItem(props, 0x011A);
    const PropertyItem* yr = findItem(props, 0x011B);
    const PropertyItem* unit = findItem(props, 0x0128);
    auto rational = [](const PropertyItem* item) {
        uint32_t v[2] = {0, 0};
        if (item && item->type == PropertyTagTypeRational && item->value.size() >= 8)
            std::memcpy(v, item->value.data(), 8);
        return v[1] ? double(v[0]) / v[1] : 0.0;
    };
    uint16_t unitValue = 2;
    if (unit && unit->type == PropertyTagTypeShort && unit->value.size() >= 2)
        std::memcpy(&unitValue, unit->value.data(), 2);
    double scale = unitValue == 3 ? 2.54 : unitValue == 2 ? 1.0 : 0.0;
    if (haveExif && rational(xr) > 0 && rational(yr) > 0 && scale > 0) {
        c.frame.dpiX = rational(xr) * scale;
        c.frame.dpiY = rational(yr) * scale;
    } else if (c.info.saw_JFIF_marker && c.info.X_density > 0 && c.info.Y_density > 0 &&
               c.info.density_unit != 0) {
        double s = c.info.density_unit == 2 ? 2.54 : 1.0;
        c.frame.dpiX = c.info.X_density * s;
        c.frame.dpiY = c.info.Y_density * s;
    }
    if (!haveExif && c.info.saw_JFIF_marker) {
        uint32_t dx = uint32_t(std::lround(c.frame.dpiX)), dy = uint32_t(std::lround(c.frame.dpiY));
        props.push_back(makeRational(0x011A, dx, 1));
        props.push_back(makeRational(0x011B, dy, 1));
        props.push_back(makeShort(0x0128, 2));
    }
    for (int t = 0; t < 2; ++t) {
        JQUANT_TBL* table = c.info.quant_tbl_ptrs[t];
        if (!table)
            continue;
        uint16_t values[64];
        for (int i = 0; i < 64; ++i)
            values[i] = table->quantval[i];
        props.push_back(makeItem(t == 0 ? 0x5090 : 0x5091, PropertyTagTypeShort, values, 128));
    }
}

void readImage(JpegContext& c, Bytes bytes) {
    jpeg_decompress_struct& info = c.info;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    assembleIcc(c);
    if (int64_t(info.image_width) * info.image_height > kMaxPixels ||
        !takePixels(int64_t(info.image_width) * info.image_height)) {
        c.failure = OutOfMemory;
        c.bad = true;
        return;
    }
    PixelFormat format = PixelFormat24bppRGB;
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
        info.out_color_space = JCS_GRAYSCALE;
        format = PixelFormat8bppIndexed;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        info.out_color_space = JCS_CMYK;
        c.cmyk = true;
        break;
    default:
        info.out_color_space = JCS_EXT_BGR;
        break;
    }
    jpeg_start_decompress(&info);
    FrameData& f = c.frame;
    f.width = int32_t(info.output_width);
    f.height = int32_t(info.output_height);
    f.format = format;
    f.stride = strideFor(f.width, format);
    f.pixels.assign(size_t(f.stride) * size_t(f.height), 0);
    if (format == PixelFormat8bppIndexed)
        f.palette = greyPalette(256);
    if (c.cmyk) {
        c.scratch.resize(size_t(f.width) * 4);
        if (c.applyIcm && !c.icc.empty()) {
            c.cmykProfile = std::make_unique<CmykTransform>(c.icc, info.saw_Adobe_marker);
            if (!c.cmykProfile->valid())
                c.cmykProfile.reset();
        }
    }
    while (info.output_scanline < info.output_height) {
        int32_t y = int32_t(info.output_scanline);
        JSAMPROW row = c.cmyk ? c.scratch.data() : rowOf(f, y);
        jpeg_read_scanlines(&info, &row, 1);
        if (c.cmykProfile) {
            c.cmykProfile->run(row, rowOf(f, y), f.width);
        } else if (c.cmyk) {
            // Adobe writes CMYK inverted (0 = full ink); plain CMYK is the other way.
            const bool inverted = info.saw_Adobe_marker;
            uint8_t* dst = rowOf(f, y);
            for (int32_t x = 0; x < f.width; ++x) {
                uint32_t cc = row[4 * x], m = row[4 * x + 1], yy = row[4 * x + 2],
                         k = row[4 * x + 3];
                if (!inverted) {
                    cc = 255 - cc;
                    m = 255 - m;
                    yy = 255 - yy;
                    k = 255 - k;
                }
                dst[3 * x] = uint8_t((yy * k + 127) / 255);
                dst[3 * x + 1] = uint8_t((m * k + 127) / 255);
                dst[3 * x + 2] = uint8_t((cc * k + 127) / 255);
            }
        }
    }
    collectProperties(c);
    jpeg_finish_decompress(&info);
}

} // namespace

void decodeJpeg(Bytes bytes, DecodedImage& out, const DecodeOptions& options) {
    JpegContext c;
    c.applyIcm = options.applyIcm;
    c.info.err = useJpegErrorManager(c.error, jpegFailOnTruncation);
    if (setjmp(c.error.jump) == 0) {
        jpeg_create_decompress(&c.info);
        try {
            readImage(c, bytes);
            c.ok = !c.bad;
        } catch (const std::bad_alloc&) {
            c.failure = OutOfMemory;
        }
    }
    jpeg_destroy_decompress(&c.info);
    if (!c.ok)
        fail(c.failure);
    if (options.applyIcm && !c.icc.empty() && !c.cmyk)
        applyIccToSrgb(c.frame, c.icc);
    out.frames.push_back(std::move(c.frame));
}

} // namespace gp::codec
