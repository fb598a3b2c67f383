#pragma once

// An in-memory image table for the filter engine's tests: images in several pixel formats
// behind FilterImageAccess, with bitmap locking that converts like the image core's, a
// "modified" flag, and failures that a test can inject.

#include "filters/filters.h"

#include <cstdint>
#include <map>
#include <vector>

namespace tavimo::testing {

class FakeFilterImages final : public FilterImageAccess {
public:
    struct Image {
        int32_t width = 0, height = 0;
        gp::PixelFormat format = gp::PixelFormat32bppARGB;
        int32_t stride = 0;
        std::vector<uint8_t> data;
        gp::Palette palette;
        bool modified = false;
        bool paletteUnreadable = false;
    };

    // Adds an image with zeroed pixels and returns its id.
    ImageId add(int32_t width, int32_t height, gp::PixelFormat format,
                std::vector<gp::ARGB> palette = {});
    Image& image(ImageId id) { return m_images.at(id); }

    // Pixel (x, y) as 32-bit ARGB, through the palette for indexed formats.
    uint32_t argb(ImageId id, int32_t x, int32_t y) const;
    // Writes pixel (x, y) from ARGB (nearest palette entry for indexed formats).
    void setArgb(ImageId id, int32_t x, int32_t y, uint32_t value);
    // The stored index or bits of an indexed pixel.
    uint32_t index(ImageId id, int32_t x, int32_t y) const;
    void setIndex(ImageId id, int32_t x, int32_t y, uint32_t value);

    // The n-th lock from now (1 = the next) fails with `status`.
    void failLock(int n, gp::Status status) {
        m_failLockAt = m_locks + n;
        m_failStatus = status;
    }
    void failSetPalette(gp::Status status) { m_setPaletteStatus = status; }
    void setVersion(int major) { m_version = major; }
    int locks() const { return m_locks; }

    gp::Status imageSize(ImageId image, int32_t& width, int32_t& height) override;
    gp::Status pixelFormat(ImageId image, gp::PixelFormat& format) override;
    gp::Status palette(ImageId image, gp::Palette& palette) override;
    gp::Status setPalette(ImageId image, const gp::Palette& palette) override;
    gp::Status lockBits(ImageId image, const FilterRect& rect, int32_t mode, gp::PixelFormat format,
                        FilterLockData& data) override;
    gp::Status unlockBits(ImageId image, FilterLockData& data) override;
    int gdiplusMajorVersion() override { return m_version; }

private:
    struct Lock {
        ImageId image;
        FilterRect rect;
        int32_t mode;
        gp::PixelFormat format;
        std::vector<uint8_t> own; // the buffer of a lock without a user buffer
    };
    static int32_t strideOf(int32_t width, gp::PixelFormat format);
    uint32_t nearest(const Image& img, uint32_t argb) const;
    void convertTo32(Image& img);

    std::map<ImageId, Image> m_images;
    std::map<void*, Lock> m_open;
    ImageId m_next = 100;
    int m_locks = 0;
    int m_failLockAt = -1;
    gp::Status m_failStatus = gp::Ok;
    gp::Status m_setPaletteStatus = gp::Ok;
    int m_version = 6;
};

} // namespace tavimo::testing
