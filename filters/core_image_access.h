#pragma once

// The filter engine's view of the image core: images of the thread's image table by
// ImageId (a container's current page), through the GDI+ layer's bitmap locking. A
// successful write lock and a palette change mark the image modified.

#include "filters/filters.h"

namespace tavimo {

class CoreImageAccess final : public FilterImageAccess {
public:
    gp::Status imageSize(ImageId image, int32_t& width, int32_t& height) override;
    gp::Status pixelFormat(ImageId image, gp::PixelFormat& format) override;
    gp::Status palette(ImageId image, gp::Palette& palette) override;
    gp::Status setPalette(ImageId image, const gp::Palette& palette) override;
    gp::Status lockBits(ImageId image, const FilterRect& rect, int32_t mode, gp::PixelFormat format,
                        FilterLockData& data) override;
    gp::Status unlockBits(ImageId image, FilterLockData& data) override;
    int gdiplusMajorVersion() override;
};

// The thread's core access, used by ApplyFilter when no other access is installed.
CoreImageAccess& coreImageAccess();

} // namespace tavimo
