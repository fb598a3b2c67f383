// JPEG encoder over libjpeg-turbo: baseline YCbCr 4:2:0, or one grey component for 8-bit
// grey-ramp images, with JFIF density, EXIF, XMP and ICC segments from the property items.

#include "platform/gdiplus/codec_internal.h"
#include "platform/gdiplus/exif.h"
#include "platform/gdiplus/jpeg_error.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <new>

namespace gp::codec {

namespace {

struct JpegWriter {
    jpeg_compress_struct info{};
    JpegErrorManager error{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> exifBlock;
    std::vector<uint8_t> row;
    bool ok = false;
};

void writeImage(JpegWriter& w, const FrameData& frame, const EncodeSettings& settings) {
    jpeg_compress_struct& info = w.info;
    jpeg_mem_dest(&info, &w.buffer, &w.size);
    const bool grey = frame.format == PixelFormat8bppIndexed && isGreyRamp(frame.palette);
    const bool bgr = frame.format == PixelFormat24bppRGB;
    info.image_width = JDIMENSION(frame.width);
    info.image_height = JDIMENSION(frame.height);
    info.input_components = grey ? 1 : bgr ? 3 : 4;
    info.in_color_space = grey ? JCS_GRAYSCALE : bgr ? JCS_EXT_BGR : JCS_EXT_BGRX;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, std::clamp(settings.quality, 0, 100), TRUE);
    info.write_JFIF_header = TRUE;
    info.density_unit = 1;
    info.X_density = UINT16(std::clamp<long>(std::lround(frame.dpiX), 1, 65535));
    info.Y_density = UINT16(std::clamp<long>(std::lround(frame.dpiY), 1, 65535));
    jpeg_start_compress(&info, TRUE);
    if (!w.exifBlock.empty())
        jpeg_write_marker(&info, JPEG_APP0 + 1, w.exifBlock.data(), unsigned(w.exifBlock.size()));
    if (const PropertyItem* xmp = findItem(frame.properties, 0x02BC);
        xmp && xmp->value.size() + 29 <= 65533) {
        static const char kXmp[] = "http://ns.adobe.com/xap/1.0/";
        jpeg_write_m_header(&info, JPEG_APP0 + 1, unsigned(29 + xmp->value.size()));
        for (size_t i = 0; i < 29; ++i)
            jpeg_write_m_byte(&info, uint8_t(kXmp[i]));
        for (uint8_t b : xmp->value)
            jpeg_write_m_byte(&info, b);
    }
    if (const PropertyItem* icc = findItem(frame.properties, 0x8773); icc && !icc->value.empty())
        jpeg_write_icc_profile(&info, icc->value.data(), unsigned(icc->value.size()));
    while (info.next_scanline < info.image_height) {
        const int32_t y = int32_t(info.next_scanline);
        JSAMPROW row;
        if (grey || bgr) {
            row = const_cast<JSAMPROW>(rowOf(frame, y));
        } else {
            rowToBgra(frame, y, w.row.data());
            row = w.row.data();
        }
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    w.ok = true;
}

} // namespace

void encodeJpeg(const FrameData& frame, const EncodeSettings& settings, std::vector<uint8_t>& out) {
    if (frame.width > 65500 || frame.height > 65500)
        fail(InvalidParameter);
    JpegWriter w;
    std::vector<uint8_t> tiff = exif::buildExif(frame.properties);
    if (!tiff.empty() && tiff.size() + 6 <= 65533) {
        w.exifBlock = {'E', 'x', 'i', 'f', 0, 0};
        w.exifBlock.insert(w.exifBlock.end(), tiff.begin(), tiff.end());
    }
    w.row.resize(size_t(frame.width) * 4);
    w.info.err = useJpegErrorManager(w.error, jpegSilentMessage);
    if (setjmp(w.error.jump) == 0) {
        jpeg_create_compress(&w.info);
        writeImage(w, frame, settings);
    }
    jpeg_destroy_compress(&w.info);
    if (w.ok && w.buffer)
        out.assign(w.buffer, w.buffer + w.size);
    std::free(w.buffer);
    if (!w.ok)
        fail(GenericError);
}

} // namespace gp::codec
