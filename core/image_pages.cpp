#include "core/image_pages.h"

#include "core/image_info.h"

namespace tavimo {

namespace {

int32_t countFrames(ImageId id, int32_t& count, const char* format, const win::Guid& dimension) {
    count = 0;
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    std::string name;
    int32_t status = GetRawFormatName(id, name);
    if (status != OK || name != format)
        return status;
    uint32_t frames = 0;
    status = gp::GdipImageGetFrameCount(GetGdiImage(id), &dimension, &frames);
    count = static_cast<int32_t>(frames);
    return status;
}

int32_t activate(ImageId id, int32_t index, const win::Guid& dimension) {
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    return gp::GdipImageSelectActiveFrame(GetGdiImage(id), &dimension,
                                          static_cast<uint32_t>(index));
}

} // namespace

int32_t CountGifFrames(ImageId id, int32_t& count) {
    return countFrames(id, count, "GIF", gp::FrameDimensionTime);
}

int32_t CountTiffPages(ImageId id, int32_t& count) {
    return countFrames(id, count, "TIFF", gp::FrameDimensionPage);
}

int32_t ActivateGifFrame(ImageId id, int32_t index) {
    return activate(id, index, gp::FrameDimensionTime);
}

int32_t ActivateTiffPage(ImageId id, int32_t index) {
    return activate(id, index, gp::FrameDimensionPage);
}

} // namespace tavimo
