#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/pixel_convert.h"
#include "platform/gdiplus/pixel_format.h"
#include "platform/gdiplus/session.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace gp {

namespace {

constexpr UINT kDefaultThumbnailSize = 120;

struct Tap {
    int32_t index;
    float weight;
};

// Filter taps of each destination sample along one axis: the exact area each source
// pixel covers when shrinking, a linear interpolation between the two nearest source
// pixels when enlarging.
std::vector<std::vector<Tap>> axisTaps(int32_t source, int32_t target) {
    std::vector<std::vector<Tap>> taps(static_cast<size_t>(target));
    const double scale = static_cast<double>(source) / target;
    for (int32_t i = 0; i < target; ++i) {
        auto& list = taps[static_cast<size_t>(i)];
        if (scale >= 1.0) {
            const double from = i * scale, to = (i + 1) * scale;
            for (int32_t j = static_cast<int32_t>(from); j < source && j < to; ++j) {
                const double cover = std::min<double>(to, j + 1) - std::max<double>(from, j);
                if (cover > 0)
                    list.push_back({j, static_cast<float>(cover / scale)});
            }
        } else {
            const double centre = (i + 0.5) * scale - 0.5;
            const int32_t j0 = static_cast<int32_t>(std::floor(centre));
            const float t = static_cast<float>(centre - j0);
            list.push_back({std::clamp(j0, 0, source - 1), 1.0f - t});
            list.push_back({std::clamp(j0 + 1, 0, source - 1), t});
        }
    }
    return taps;
}

// Scales a frame into an owned 32bppPARGB frame, filtering premultiplied values so
// transparent pixels do not bleed their colour.
Status scaleFrame(const Frame& src, int32_t width, int32_t height, Frame& out) {
    Status status = makeOwnedFrame(width, height, PixelFormat32bppPARGB, out);
    if (status != Ok)
        return status;
    const auto across = axisTaps(src.width, width);
    const auto down = axisTaps(src.height, height);
    RowConverter toPremultiplied(src.format, &src.palette, PixelFormat32bppPARGB, nullptr);
    std::vector<uint8_t> sourceRow(static_cast<size_t>(src.width) * 4);
    // Horizontally filtered rows, kept for the source rows some destination row needs.
    std::vector<float> filtered(static_cast<size_t>(width) * 4 * src.height);
    std::vector<bool> needed(static_cast<size_t>(src.height), false);
    for (const auto& list : down)
        for (const Tap& tap : list)
            needed[static_cast<size_t>(tap.index)] = true;
    for (int32_t y = 0; y < src.height; ++y) {
        if (!needed[static_cast<size_t>(y)])
            continue;
        toPremultiplied.convert(src.row(y), 0, sourceRow.data(), 0, src.width);
        float* f = filtered.data() + static_cast<size_t>(y) * width * 4;
        for (int32_t x = 0; x < width; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (const Tap& tap : across[static_cast<size_t>(x)]) {
                const uint8_t* p = sourceRow.data() + static_cast<size_t>(tap.index) * 4;
                for (int c = 0; c < 4; ++c)
                    acc[c] += p[c] * tap.weight;
            }
            std::copy(acc, acc + 4, f + x * 4);
        }
    }
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* d = out.row(y);
        for (int32_t x = 0; x < width; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (const Tap& tap : down[static_cast<size_t>(y)]) {
                const float* f = filtered.data() + (static_cast<size_t>(tap.index) * width + x) * 4;
                for (int c = 0; c < 4; ++c)
                    acc[c] += f[c] * tap.weight;
            }
            const float alpha = std::clamp(acc[3] + 0.5f, 0.0f, 255.0f);
            d[x * 4 + 3] = static_cast<uint8_t>(alpha);
            // Premultiplied colour never exceeds its alpha.
            for (int c = 0; c < 3; ++c)
                d[x * 4 + c] = static_cast<uint8_t>(std::clamp(acc[c] + 0.5f, 0.0f, alpha));
        }
    }
    return Ok;
}

} // namespace

Status GdipCloneImage(GpImage image, GpImage* clone) {
    return guarded([&] {
        if (!isStarted())
            return GdiplusNotInitialized;
        Image* source = findImage(image);
        if (!source || !clone)
            return InvalidParameter;
        *clone = 0;
        std::unique_ptr<Image> copy = source->clone();
        if (!copy)
            return NotImplemented;
        *clone = addImage(std::move(copy));
        return Ok;
    });
}

Status GdipCloneBitmapAreaI(int32_t x, int32_t y, int32_t width, int32_t height, PixelFormat format,
                            GpBitmap source, GpBitmap* clone) {
    return guarded([&] {
        if (!isStarted())
            return GdiplusNotInitialized;
        Image* image = findBitmap(source);
        if (!image || !clone)
            return InvalidParameter;
        *clone = 0;
        const Frame& src = image->active();
        if (format == PixelFormatUndefined)
            format = src.format;
        if (!isKnownPixelFormat(format) || width < 1 || height < 1 || x < 0 || y < 0 ||
            x > src.width - width || y > src.height - height)
            return InvalidParameter;
        Frame frame;
        Status status = makeOwnedFrame(width, height, format, frame);
        if (status != Ok)
            return status;
        frame.palette = paletteFor(format, src);
        frame.dpiX = src.dpiX;
        frame.dpiY = src.dpiY;
        convertRect(src.row(y), src.stride, src.format, &src.palette, x, frame.scan0(),
                    frame.stride, format, &frame.palette, 0, width, height);
        auto copy = std::make_unique<Image>();
        copy->rawFormat = ImageFormatMemoryBMP;
        copy->frames.push_back(std::move(frame));
        *clone = addImage(std::move(copy));
        return Ok;
    });
}

Status GdipCloneBitmapArea(REAL x, REAL y, REAL width, REAL height, PixelFormat format,
                           GpBitmap source, GpBitmap* clone) {
    auto toInt = [](REAL v) {
        // NaN and values beyond int32 become an invalid coordinate.
        if (!(std::fabs(v) < 2.0e9f))
            return INT32_MIN;
        return static_cast<int32_t>(std::nearbyint(v));
    };
    return GdipCloneBitmapAreaI(toInt(x), toInt(y), toInt(width), toInt(height), format, source,
                                clone);
}

Status GdipGetImageThumbnail(GpImage image, UINT width, UINT height, GpImage* thumbnail,
                             GetThumbnailImageAbort, void*) {
    return guarded([&] {
        if (!isStarted())
            return GdiplusNotInitialized;
        Image* source = findImage(image);
        if (!source || !thumbnail)
            return InvalidParameter;
        *thumbnail = 0;
        if (width == 0 && height == 0)
            width = height = kDefaultThumbnailSize;
        if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX)
            return InvalidParameter;
        Frame frame;
        Status status = Ok;
        if (source->isBitmap()) {
            status = scaleFrame(source->active(), static_cast<int32_t>(width),
                                static_cast<int32_t>(height), frame);
        } else {
            Frame raster;
            status = makeOwnedFrame(static_cast<int32_t>(width), static_cast<int32_t>(height),
                                    PixelFormat32bppARGB, raster);
            if (status == Ok && !(source->extension && source->extension->rasterize(raster)))
                status = NotImplemented;
            if (status == Ok)
                status = scaleFrame(raster, raster.width, raster.height, frame);
        }
        if (status != Ok)
            return status;
        frame.dpiX = source->active().dpiX;
        frame.dpiY = source->active().dpiY;
        auto thumb = std::make_unique<Image>();
        thumb->rawFormat = ImageFormatMemoryBMP;
        thumb->frames.push_back(std::move(frame));
        *thumbnail = addImage(std::move(thumb));
        return Ok;
    });
}

} // namespace gp
