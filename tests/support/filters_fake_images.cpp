#include "tests/support/filters_fake_images.h"

#include <cstring>
#include <limits>

namespace tavimo::testing {

int32_t FakeFilterImages::strideOf(int32_t width, gp::PixelFormat format) {
    return static_cast<int32_t>((static_cast<int64_t>(width) * gp::bitsPerPixel(format) + 31) / 32 *
                                4);
}

ImageId FakeFilterImages::add(int32_t width, int32_t height, gp::PixelFormat format,
                              std::vector<gp::ARGB> palette) {
    Image img;
    img.width = width;
    img.height = height;
    img.format = format;
    img.stride = strideOf(width, format);
    img.data.assign(static_cast<size_t>(img.stride) * height, 0);
    img.palette.entries = std::move(palette);
    ImageId id = m_next++;
    m_images[id] = std::move(img);
    return id;
}

uint32_t FakeFilterImages::index(ImageId id, int32_t x, int32_t y) const {
    const Image& img = m_images.at(id);
    const uint8_t* row = img.data.data() + static_cast<size_t>(y) * img.stride;
    switch (gp::bitsPerPixel(img.format)) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
        return (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    default:
        return row[x];
    }
}

void FakeFilterImages::setIndex(ImageId id, int32_t x, int32_t y, uint32_t v) {
    Image& img = m_images.at(id);
    uint8_t* row = img.data.data() + static_cast<size_t>(y) * img.stride;
    switch (gp::bitsPerPixel(img.format)) {
    case 1: {
        uint8_t bit = static_cast<uint8_t>(0x80u >> (x % 8));
        row[x / 8] = static_cast<uint8_t>(v ? row[x / 8] | bit : row[x / 8] & ~bit);
        break;
    }
    case 4: {
        int shift = x % 2 ? 0 : 4;
        row[x / 2] = static_cast<uint8_t>((row[x / 2] & ~(15 << shift)) | ((v & 15) << shift));
        break;
    }
    default:
        row[x] = static_cast<uint8_t>(v);
    }
}

uint32_t FakeFilterImages::argb(ImageId id, int32_t x, int32_t y) const {
    const Image& img = m_images.at(id);
    if (gp::isIndexed(img.format)) {
        uint32_t i = index(id, x, y);
        return i < img.palette.entries.size() ? img.palette.entries[i] : 0xFF000000u;
    }
    const uint8_t* p = img.data.data() + static_cast<size_t>(y) * img.stride;
    switch (img.format) {
    case gp::PixelFormat24bppRGB:
        p += x * 3;
        return 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    case gp::PixelFormat16bppRGB565: {
        uint32_t v = p[2 * x] | (uint32_t{p[2 * x + 1]} << 8);
        uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) |
               ((b << 3) | (b >> 2));
    }
    case gp::PixelFormat32bppRGB: {
        uint32_t v;
        std::memcpy(&v, p + 4 * x, 4);
        return v | 0xFF000000u;
    }
    case gp::PixelFormat32bppPARGB: {
        uint32_t v;
        std::memcpy(&v, p + 4 * x, 4);
        uint32_t a = v >> 24;
        if (a == 0) {
            return 0;
        }
        auto un = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
        return (a << 24) | (un((v >> 16) & 255) << 16) | (un((v >> 8) & 255) << 8) | un(v & 255);
    }
    default: {
        uint32_t v;
        std::memcpy(&v, p + 4 * x, 4);
        return v;
    }
    }
}

uint32_t FakeFilterImages::nearest(const Image& img, uint32_t c) const {
    int32_t best = std::numeric_limits<int32_t>::max();
    uint32_t index = 0;
    for (size_t k = 0; k < img.palette.entries.size(); ++k) {
        uint32_t e = img.palette.entries[k];
        int32_t d = 0;
        for (int s = 0; s < 24; s += 8) {
            int32_t diff =
                static_cast<int32_t>((e >> s) & 255) - static_cast<int32_t>((c >> s) & 255);
            d += diff * diff;
        }
        if (d < best) {
            best = d;
            index = static_cast<uint32_t>(k);
        }
    }
    return index;
}

void FakeFilterImages::setArgb(ImageId id, int32_t x, int32_t y, uint32_t v) {
    Image& img = m_images.at(id);
    if (gp::isIndexed(img.format)) {
        setIndex(id, x, y, nearest(img, v));
        return;
    }
    uint8_t* p = img.data.data() + static_cast<size_t>(y) * img.stride;
    switch (img.format) {
    case gp::PixelFormat24bppRGB:
        p[3 * x] = v & 255;
        p[3 * x + 1] = (v >> 8) & 255;
        p[3 * x + 2] = (v >> 16) & 255;
        break;
    case gp::PixelFormat16bppRGB565: {
        uint32_t r = ((v >> 16) & 255) >> 3, g = ((v >> 8) & 255) >> 2, b = (v & 255) >> 3;
        uint32_t w = (r << 11) | (g << 5) | b;
        p[2 * x] = w & 255;
        p[2 * x + 1] = (w >> 8) & 255;
        break;
    }
    case gp::PixelFormat32bppPARGB: {
        uint32_t a = v >> 24;
        auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
        uint32_t w =
            (a << 24) | (pre((v >> 16) & 255) << 16) | (pre((v >> 8) & 255) << 8) | pre(v & 255);
        std::memcpy(p + 4 * x, &w, 4);
        break;
    }
    case gp::PixelFormat32bppRGB:
        v |= 0xFF000000u;
        [[fallthrough]];
    default:
        std::memcpy(p + 4 * x, &v, 4);
    }
}

void FakeFilterImages::convertTo32(Image& img) {
    Image out;
    out.width = img.width;
    out.height = img.height;
    out.format = gp::PixelFormat32bppARGB;
    out.stride = img.width * 4;
    out.data.resize(static_cast<size_t>(out.stride) * out.height);
    ImageId id = 0;
    for (auto& [k, v] : m_images) {
        if (&v == &img) {
            id = k;
        }
    }
    for (int32_t y = 0; y < img.height; ++y) {
        for (int32_t x = 0; x < img.width; ++x) {
            uint32_t v = argb(id, x, y);
            std::memcpy(out.data.data() + static_cast<size_t>(y) * out.stride + 4 * x, &v, 4);
        }
    }
    out.modified = img.modified;
    img = std::move(out);
}

gp::Status FakeFilterImages::imageSize(ImageId id, int32_t& width, int32_t& height) {
    auto it = m_images.find(id);
    if (it == m_images.end()) {
        width = height = 0;
        return gp::InvalidParameter;
    }
    width = it->second.width;
    height = it->second.height;
    return gp::Ok;
}

gp::Status FakeFilterImages::pixelFormat(ImageId id, gp::PixelFormat& format) {
    auto it = m_images.find(id);
    if (it == m_images.end()) {
        return gp::InvalidParameter;
    }
    format = it->second.format;
    return gp::Ok;
}

gp::Status FakeFilterImages::palette(ImageId id, gp::Palette& palette) {
    auto it = m_images.find(id);
    if (it == m_images.end()) {
        return gp::InvalidParameter;
    }
    if (it->second.paletteUnreadable) {
        return gp::GenericError;
    }
    palette = it->second.palette;
    return gp::Ok;
}

gp::Status FakeFilterImages::setPalette(ImageId id, const gp::Palette& palette) {
    auto it = m_images.find(id);
    if (it == m_images.end()) {
        return gp::InvalidParameter;
    }
    if (m_setPaletteStatus != gp::Ok) {
        return m_setPaletteStatus;
    }
    it->second.palette = palette;
    it->second.modified = true;
    return gp::Ok;
}

gp::Status FakeFilterImages::lockBits(ImageId id, const FilterRect& rect, int32_t mode,
                                      gp::PixelFormat format, FilterLockData& data) {
    ++m_locks;
    if (m_locks == m_failLockAt) {
        return m_failStatus;
    }
    auto it = m_images.find(id);
    if (it == m_images.end()) {
        return gp::InvalidParameter;
    }
    Image& img = it->second;
    if (rect.X < 0 || rect.Y < 0 || rect.Width < 1 || rect.Height < 1 ||
        int64_t{rect.X} + rect.Width > img.width || int64_t{rect.Y} + rect.Height > img.height) {
        return gp::InvalidParameter;
    }
    const bool user = mode & kLockUserBuffer;
    if (gp::isIndexed(format) && format != img.format) {
        return gp::InvalidParameter; // indices only in the image's own format
    }
    if ((mode & kLockWrite) && format == gp::PixelFormat32bppARGB && gp::isIndexed(img.format) &&
        m_version < 6) {
        convertTo32(img);
    }
    Lock lock{id, rect, mode, format, {}};
    if (!user) {
        if (format != img.format) {
            return gp::InvalidParameter;
        }
        lock.own.resize(static_cast<size_t>(strideOf(rect.Width, format)) * rect.Height);
        data.stride = strideOf(rect.Width, format);
        data.scan0 = lock.own.data();
        data.format = format;
    }
    data.width = rect.Width;
    data.height = rect.Height;
    if ((mode & kLockRead) || !user) {
        auto* out = static_cast<uint8_t*>(data.scan0);
        for (int32_t y = 0; y < rect.Height; ++y) {
            uint8_t* row = out + static_cast<int64_t>(y) * data.stride;
            for (int32_t x = 0; x < rect.Width; ++x) {
                if (format == gp::PixelFormat32bppARGB) {
                    uint32_t v = argb(id, rect.X + x, rect.Y + y);
                    std::memcpy(row + 4 * x, &v, 4);
                } else if (gp::bitsPerPixel(format) == 8) {
                    row[x] = static_cast<uint8_t>(index(id, rect.X + x, rect.Y + y));
                } else if (gp::bitsPerPixel(format) == 1) {
                    uint8_t bit = static_cast<uint8_t>(0x80u >> (x % 8));
                    if (index(id, rect.X + x, rect.Y + y)) {
                        row[x / 8] |= bit;
                    } else {
                        row[x / 8] &= static_cast<uint8_t>(~bit);
                    }
                } else {
                    return gp::NotImplemented;
                }
            }
        }
    }
    m_open[data.scan0] = std::move(lock);
    if (!user) {
        data.scan0 = m_open[data.scan0].own.data();
    }
    return gp::Ok;
}

gp::Status FakeFilterImages::unlockBits(ImageId id, FilterLockData& data) {
    auto it = m_open.find(data.scan0);
    if (it == m_open.end() || it->second.image != id) {
        return gp::InvalidParameter;
    }
    Lock lock = std::move(it->second);
    m_open.erase(it);
    if (!(lock.mode & kLockWrite)) {
        return gp::Ok;
    }
    const auto* in = static_cast<const uint8_t*>(data.scan0);
    for (int32_t y = 0; y < lock.rect.Height; ++y) {
        const uint8_t* row = in + static_cast<int64_t>(y) * data.stride;
        for (int32_t x = 0; x < lock.rect.Width; ++x) {
            int32_t ix = lock.rect.X + x, iy = lock.rect.Y + y;
            if (lock.format == gp::PixelFormat32bppARGB) {
                uint32_t v;
                std::memcpy(&v, row + 4 * x, 4);
                setArgb(id, ix, iy, v);
            } else if (gp::bitsPerPixel(lock.format) == 8) {
                setIndex(id, ix, iy, row[x]);
            } else if (gp::bitsPerPixel(lock.format) == 1) {
                setIndex(id, ix, iy, (row[x / 8] >> (7 - x % 8)) & 1);
            }
        }
    }
    m_images.at(id).modified = true;
    return gp::Ok;
}

} // namespace tavimo::testing
