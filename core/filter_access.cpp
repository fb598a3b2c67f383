#include "core/filter_access.h"

#include "core/image_info.h"
#include "core/quennet_status.h"
#include "platform/win/vb_number.h"

#include <map>

namespace tavimo {

namespace {

class TableAccess final : public FilterImageAccess {
public:
    gp::Status imageSize(ImageId image, int32_t& width, int32_t& height) override {
        int32_t status = GetImageWidth(image, width);
        if (status == OK)
            status = GetImageHeight(image, height);
        if (status != OK)
            width = height = 0;
        return static_cast<gp::Status>(status);
    }

    gp::Status pixelFormat(ImageId image, gp::PixelFormat& format) override {
        return static_cast<gp::Status>(GetImagePixelFormat(image, format));
    }

    gp::Status palette(ImageId image, gp::Palette& palette) override {
        return static_cast<gp::Status>(ReadImagePalette(image, palette));
    }

    gp::Status setPalette(ImageId image, const gp::Palette& palette) override {
        return static_cast<gp::Status>(SetImagePalette(image, palette));
    }

    gp::Status lockBits(ImageId image, const FilterRect& rect, int32_t mode, gp::PixelFormat format,
                        FilterLockData& data) override {
        gp::BitmapData locked{};
        if (mode & kLockUserBuffer) {
            locked.Width = static_cast<gp::UINT>(rect.Width);
            locked.Height = static_cast<gp::UINT>(rect.Height);
            locked.Stride = data.stride;
            locked.PixelFormat = format;
            locked.Scan0 = data.scan0;
        }
        gp::Rect r{rect.X, rect.Y, rect.Width, rect.Height};
        int32_t status = LockImageBits(image, &r, static_cast<uint32_t>(mode), format, locked);
        if (status != OK)
            return static_cast<gp::Status>(status);
        // LockImageBits marks caller-buffer writes; writes into the layer's own buffer
        // change the image just as well.
        if ((mode & kLockWrite) && !(mode & kLockUserBuffer))
            MarkImageModified(image);
        data.width = static_cast<int32_t>(locked.Width);
        data.height = static_cast<int32_t>(locked.Height);
        data.stride = locked.Stride;
        data.format = locked.PixelFormat;
        data.scan0 = locked.Scan0;
        m_locks[image] = locked;
        return gp::Ok;
    }

    gp::Status unlockBits(ImageId image, FilterLockData& data) override {
        auto it = m_locks.find(image);
        if (it == m_locks.end())
            return gp::InvalidParameter;
        gp::BitmapData locked = it->second;
        m_locks.erase(it);
        (void)data;
        return static_cast<gp::Status>(UnlockImageBits(image, locked));
    }

    int gdiplusMajorVersion() override {
        try {
            return static_cast<int>(win::Val(GdiplusVersionText()));
        } catch (...) {
            return 0;
        }
    }

private:
    // The record of each open lock, handed back to GDI+ at the unlock.
    std::map<ImageId, gp::BitmapData> m_locks;
};

} // namespace

FilterImageAccess& CoreFilterImageAccess() {
    thread_local TableAccess access;
    return access;
}

void InstallCoreFilterImageAccess() {
    SetFilterImageAccess(&CoreFilterImageAccess());
}

} // namespace tavimo
