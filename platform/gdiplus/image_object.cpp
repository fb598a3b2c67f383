#include "platform/gdiplus/image_object.h"

#include "platform/gdiplus/pixel_format.h"
#include "platform/win/handles.h"

#include <cstring>
#include <new>

namespace gp {

namespace {

// Stores past this size are refused up front: zero-filling them would take the machine's
// memory long before an allocation reports failure.
constexpr int64_t kMaxStoreBytes = int64_t{1} << 32;

win::HandleTable<Image>& imageTable() {
    static win::HandleTable<Image> table(win::HandleKind::GdipImage);
    return table;
}

} // namespace

Frame Frame::ownedCopy() const {
    Frame copy;
    static_cast<FrameData&>(copy).operator=(static_cast<const FrameData&>(*this));
    copy.external = nullptr;
    if (!scan0())
        return copy; // a frame without pixels (a metafile's)
    const int64_t bytes = rowBytes(width, format);
    const int64_t newStride = alignedStride(width, format);
    if (isExternal() || stride != newStride) {
        copy.stride = static_cast<int32_t>(newStride);
        copy.pixels.assign(static_cast<size_t>(newStride) * static_cast<size_t>(height), 0);
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(copy.pixels.data() + static_cast<size_t>(y) * newStride, row(y),
                        static_cast<size_t>(bytes));
    }
    return copy;
}

Status makeOwnedFrame(int32_t width, int32_t height, PixelFormat format, Frame& out) {
    if (width < 1 || height < 1 || !isKnownPixelFormat(format))
        return InvalidParameter;
    const int64_t stride = alignedStride(width, format);
    if (stride > INT32_MAX || stride * height > kMaxStoreBytes)
        return OutOfMemory;
    try {
        Frame frame;
        frame.width = width;
        frame.height = height;
        frame.format = format;
        frame.stride = static_cast<int32_t>(stride);
        frame.pixels.assign(static_cast<size_t>(stride) * static_cast<size_t>(height), 0);
        frame.palette = defaultPalette(format);
        out = std::move(frame);
        return Ok;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    }
}

Palette paletteFor(PixelFormat target, const Frame& source) {
    if (!isIndexed(target))
        return {};
    if (source.format == target ||
        (isIndexed(source.format) && !source.palette.entries.empty() &&
         source.palette.entries.size() <= (size_t{1} << bitsPerPixel(target))))
        return source.palette;
    return defaultPalette(target);
}

void Image::keepOnlyActiveFrame() {
    if (frames.size() <= 1)
        return;
    Frame kept = std::move(frames[activeFrame]);
    frames.clear();
    frames.push_back(std::move(kept));
    activeFrame = 0;
}

std::unique_ptr<Image> Image::clone() const {
    auto copy = std::make_unique<Image>();
    copy->type = type;
    copy->rawFormat = rawFormat;
    copy->frameDimension = frameDimension;
    copy->activeFrame = activeFrame;
    copy->frames.reserve(frames.size());
    for (const Frame& frame : frames)
        copy->frames.push_back(frame.ownedCopy());
    if (extension) {
        copy->extension = extension->clone();
        if (!copy->extension)
            return nullptr;
    }
    return copy;
}

namespace {

// A frame whose header does not match its pixel buffer would make every later access
// read past the buffer, so such a frame is refused at the door.
bool isConsistent(const FrameData& frame) {
    if (frame.width < 1 || frame.height < 1 || !isKnownPixelFormat(frame.format))
        return false;
    const int64_t bytes = rowBytes(frame.width, frame.format);
    if (frame.stride < bytes)
        return false;
    const int64_t need = int64_t{frame.stride} * (frame.height - 1) + bytes;
    return static_cast<int64_t>(frame.pixels.size()) >= need;
}

} // namespace

std::unique_ptr<Image> imageFromDecoded(DecodedImage&& decoded) {
    if (decoded.frames.empty())
        return nullptr;
    for (const FrameData& frame : decoded.frames)
        if (!isConsistent(frame))
            return nullptr;
    auto image = std::make_unique<Image>();
    image->rawFormat = decoded.rawFormat;
    image->frameDimension = decoded.frameDimension;
    image->frames.reserve(decoded.frames.size());
    for (FrameData& frame : decoded.frames) {
        if (frame.dpiX <= 0)
            frame.dpiX = 96.0;
        if (frame.dpiY <= 0)
            frame.dpiY = 96.0;
        image->frames.emplace_back(std::move(frame));
    }
    return image;
}

GpImage addImage(std::unique_ptr<Image> image) {
    return imageTable().add(std::move(image));
}

Image* findImage(GpImage handle) {
    return imageTable().get(handle);
}

Image* findBitmap(GpImage handle) {
    Image* image = findImage(handle);
    return image && image->isBitmap() ? image : nullptr;
}

std::unique_ptr<Image> takeImage(GpImage handle) {
    return imageTable().take(handle);
}

size_t liveImageCount() {
    return imageTable().size();
}

} // namespace gp
