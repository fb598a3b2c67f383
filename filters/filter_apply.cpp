// ApplyFilter: the pixel transfer around the operations. The work rectangle is read into
// a 32-bit buffer (and a source copy for the selectors that read one), the operation runs,
// and the buffer is written back in the image's own format. Two selectors on colour-palette
// images edit the palette instead. 32-bit ARGB images need no conversion: the operations
// that cannot fail work on the image's own rows, and the others copy them in parallel.

#include "filters/filter_engine.h"
#include "filters/filter_ops.h"
#include "filters/filters.h"

#include <array>
#include <atomic>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace tavimo {

namespace {

thread_local FilterImageAccess* t_access = nullptr;
// The image core's access, registered by the core when its table is first used; the engine
// itself knows nothing of the core.
std::atomic<DefaultFilterImageAccess> g_defaultAccess{nullptr};

// An uninitialised pixel array that keeps its memory between calls: a fresh 96 MB array
// costs more in page faults than most operations cost in total.
class PixelArray {
public:
    uint32_t* get(int64_t n) {
        if (static_cast<size_t>(n) > m_capacity) {
            m_data.reset();
            m_data.reset(new uint32_t[static_cast<size_t>(n)]);
            m_capacity = static_cast<size_t>(n);
        }
        return m_data.get();
    }
    uint32_t* data() const { return m_data.get(); }
    void release() {
        m_data.reset();
        m_capacity = 0;
    }

private:
    std::unique_ptr<uint32_t[]> m_data;
    size_t m_capacity = 0;
};

// The engine's work arrays, per thread. Each call fills them anew; their memory is kept
// for the next call on the thread until ReleaseFilterMemory or the thread's end.
struct WorkArrays {
    PixelArray pixels;
    PixelArray source;
    std::vector<uint8_t> packed;
    void release() {
        pixels.release();
        source.release();
        std::vector<uint8_t>().swap(packed);
    }
};
thread_local WorkArrays t_work;

constexpr size_t kMaxPaletteEntries = 256;

bool isWhite(gp::ARGB c) {
    return (c & 0x00FFFFFFu) == 0x00FFFFFFu;
}

bool allGrey(const gp::Palette& pal) {
    for (gp::ARGB c : pal.entries) {
        if (fx::blueOf(c) != fx::greenOf(c) || fx::blueOf(c) != fx::redOf(c)) {
            return false;
        }
    }
    return true;
}

// The 256-entry ramp where entry i is grey i: the only palette for which a pixel's blue
// byte is its index.
bool identityGrey(const gp::Palette& pal) {
    if (pal.entries.size() != 256) {
        return false;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        gp::ARGB c = pal.entries[i];
        if (fx::blueOf(c) != i || fx::greenOf(c) != i || fx::redOf(c) != i) {
            return false;
        }
    }
    return true;
}

// Maps colours to the nearest palette entry: squared differences of blue, green and red
// (alpha not compared), the first entry with the smallest distance winning and an exact
// match ending the search. A small cache per range keeps repeated colours cheap.
class NearestEntry {
public:
    explicit NearestEntry(const gp::Palette& pal, size_t limit = kMaxPaletteEntries) {
        size_t n = std::min(pal.entries.size(), limit);
        for (size_t i = 0; i < n; ++i) {
            m_b[m_count] = static_cast<int32_t>(fx::blueOf(pal.entries[i]));
            m_g[m_count] = static_cast<int32_t>(fx::greenOf(pal.entries[i]));
            m_r[m_count] = static_cast<int32_t>(fx::redOf(pal.entries[i]));
            ++m_count;
        }
    }

    uint8_t search(uint32_t pixel) const {
        const int32_t b = static_cast<int32_t>(fx::blueOf(pixel)),
                      g = static_cast<int32_t>(fx::greenOf(pixel)),
                      r = static_cast<int32_t>(fx::redOf(pixel));
        int32_t best = std::numeric_limits<int32_t>::max();
        uint8_t index = 0;
        for (int k = 0; k < m_count; ++k) {
            int32_t db = m_b[k] - b, dg = m_g[k] - g, dr = m_r[k] - r;
            int32_t d = db * db + dr * dr + dg * dg;
            if (d < best) {
                index = static_cast<uint8_t>(k);
                if (d == 0) {
                    break;
                }
                best = d;
            }
        }
        return index;
    }

    // Maps a run of pixels to indices.
    void map(const uint32_t* pixels, uint8_t* out, int64_t count) const {
        constexpr uint32_t kEmpty = 0xFFFFFFFFu;
        constexpr int kCacheBits = 12;
        std::vector<uint32_t> key(size_t{1} << kCacheBits, kEmpty);
        std::vector<uint8_t> value(size_t{1} << kCacheBits);
        for (int64_t i = 0; i < count; ++i) {
            uint32_t bgr = pixels[i] & 0x00FFFFFFu;
            uint32_t slot = (bgr * 2654435761u) >> (32 - kCacheBits);
            if (key[slot] != bgr) {
                key[slot] = bgr;
                value[slot] = search(bgr);
            }
            out[i] = value[slot];
        }
    }

private:
    int m_count = 0;
    std::array<int32_t, kMaxPaletteEntries> m_b{}, m_g{}, m_r{};
};

gp::Status lockOnce(FilterImageAccess& access, ImageId image, const FilterRect& rect, int32_t mode,
                    gp::PixelFormat format, FilterLockData& data) {
    gp::Status s = access.lockBits(image, rect, mode, format, data);
    if (s == gp::Ok) {
        s = access.unlockBits(image, data);
    }
    return s;
}

int64_t packedStride(int64_t width) {
    return (width + 31) / 32 * 4;
}

// Selector 2 on a 1 bpp image: the rectangle's packed bits are complemented, row padding
// included; the palette is not touched.
gp::Status invertPackedBits(FilterImageAccess& access, ImageId image, const FilterRect& rect) {
    const int64_t stride = packedStride(rect.Width);
    if (stride > std::numeric_limits<int32_t>::max()) {
        return gp::OutOfMemory;
    }
    auto& bits = t_work.packed;
    bits.assign(static_cast<size_t>(stride * rect.Height), 0);
    FilterLockData data{rect.Width, rect.Height, static_cast<int32_t>(stride),
                        gp::PixelFormat1bppIndexed, bits.data()};
    gp::Status s = lockOnce(access, image, rect, kLockRead | kLockUserBuffer,
                            gp::PixelFormat1bppIndexed, data);
    if (s != gp::Ok) {
        return s;
    }
    for (uint8_t& b : bits) {
        b = static_cast<uint8_t>(~b);
    }
    return lockOnce(access, image, rect, kLockWrite | kLockUserBuffer, gp::PixelFormat1bppIndexed,
                    data);
}

// Direct palette mode: selectors 2 and 14 on a colour-palette image that the rectangle
// covers edit the palette; the pixels stay as they are.
gp::Status paletteMode(FilterImageAccess& access, ImageId image, const FilterRect& rect,
                       gp::PixelFormat format, int32_t selector, gp::Palette palette, double P) {
    FilterLockData data{};
    gp::Status s = lockOnce(access, image, rect, kLockRead, format, data);
    if (s != gp::Ok) {
        return s;
    }
    if (selector == 2) {
        fx::InvertPalette(palette);
    } else {
        fx::ApplyBrightnessToPalette(palette, fx::toInt32(P));
    }
    s = access.setPalette(image, palette);
    if (s != gp::Ok) {
        return s;
    }
    data = FilterLockData{};
    return lockOnce(access, image, rect, kLockWrite, format, data);
}

// Writes the pixel buffer back in the image's format.
gp::Status writeBack(FilterImageAccess& access, ImageId image, const FilterRect& rect,
                     gp::PixelFormat format, const gp::Palette* palette, bool greyPalette) {
    const int32_t w = rect.Width, h = rect.Height;
    const uint32_t* px = t_work.pixels.data();
    if (format == gp::PixelFormat1bppIndexed) {
        // A palette whose entry 1 is white takes white (blue 255) as bit 1 and anything
        // else as bit 0; other palettes map each pixel to the nearer of their two entries,
        // so that a white-first or two-colour image keeps its colours.
        const bool blueRule =
            !palette || palette->entries.size() < 2 || isWhite(palette->entries[1]);
        const int64_t stride = packedStride(w);
        if (stride > std::numeric_limits<int32_t>::max()) {
            return gp::OutOfMemory;
        }
        auto& bits = t_work.packed;
        bits.assign(static_cast<size_t>(stride * h), 0);
        std::optional<NearestEntry> nearest;
        if (!blueRule) {
            nearest.emplace(*palette, 2);
        }
        fx::parallelRows(0, h, fx::rowGrain(w), [&](int32_t y0, int32_t y1) {
            for (int64_t y = y0; y < y1; ++y) {
                const uint32_t* row = px + y * w;
                uint8_t* out = bits.data() + y * stride;
                for (int64_t x = 0; x < w; ++x) {
                    bool one = blueRule ? fx::blueOf(row[x]) == 255 : nearest->search(row[x]) == 1;
                    if (one) {
                        out[x / 8] = static_cast<uint8_t>(out[x / 8] | (0x80u >> (x % 8)));
                    }
                }
            }
        });
        FilterLockData data{w, h, static_cast<int32_t>(stride), format, bits.data()};
        return lockOnce(access, image, rect, kLockWrite | kLockUserBuffer, format, data);
    }
    if (format == gp::PixelFormat8bppIndexed && palette) {
        const bool direct = identityGrey(*palette);
        const bool ownMapping = !direct && (greyPalette || access.gdiplusMajorVersion() < 6);
        if (direct || ownMapping) {
            auto& bytes = t_work.packed;
            bytes.assign(static_cast<size_t>(static_cast<int64_t>(w) * h), 0);
            if (direct) {
                for (size_t i = 0; i < bytes.size(); ++i) {
                    bytes[i] = static_cast<uint8_t>(fx::blueOf(px[i]));
                }
            } else {
                NearestEntry nearest(*palette);
                fx::parallelRows(0, h, fx::rowGrain(w), [&](int32_t y0, int32_t y1) {
                    const int64_t first = static_cast<int64_t>(y0) * w;
                    nearest.map(px + first, bytes.data() + first,
                                static_cast<int64_t>(y1 - y0) * w);
                });
            }
            FilterLockData data{w, h, w, format, bytes.data()};
            return lockOnce(access, image, rect, kLockWrite | kLockUserBuffer, format, data);
        }
    }
    FilterLockData data{w, h, w * 4, gp::PixelFormat32bppARGB, t_work.pixels.data()};
    return lockOnce(access, image, rect, kLockWrite | kLockUserBuffer, gp::PixelFormat32bppARGB,
                    data);
}

// Copies h rows of w pixels between strides, rows in parallel.
void copyRows(void* dst, int64_t dstStride, const void* src, int64_t srcStride, int32_t w,
              int32_t h) {
    const size_t bytes = static_cast<size_t>(w) * 4;
    fx::parallelRows(0, h, fx::rowGrain(w), [&](int32_t y0, int32_t y1) {
        for (int64_t y = y0; y < y1; ++y) {
            std::memcpy(static_cast<uint8_t*>(dst) + y * dstStride,
                        static_cast<const uint8_t*>(src) + y * srcStride, bytes);
        }
    });
}

// Holds a lock of the image's own rows and gives it back however the scope is left.
class RowLock {
public:
    RowLock(FilterImageAccess& access, ImageId image) : m_access(access), m_image(image) {}
    ~RowLock() {
        if (m_open) {
            m_access.unlockBits(m_image, m_data);
        }
    }
    RowLock(const RowLock&) = delete;
    RowLock& operator=(const RowLock&) = delete;
    gp::Status lock(const FilterRect& rect, int32_t mode) {
        gp::Status s = m_access.lockBits(m_image, rect, mode, gp::PixelFormat32bppARGB, m_data);
        m_open = s == gp::Ok;
        return s;
    }
    gp::Status unlock() {
        m_open = false;
        return m_access.unlockBits(m_image, m_data);
    }
    uint8_t* rows() const { return static_cast<uint8_t*>(m_data.scan0); }
    int64_t stride() const { return m_data.stride; }

private:
    FilterImageAccess& m_access;
    ImageId m_image;
    FilterLockData m_data{};
    bool m_open = false;
};

// 32-bit ARGB images, whose same-format lock hands out the image's own rows: the
// transfer copies, where any are needed, run in parallel, and the selectors that cannot
// fail once their parameters are checked work on the rows themselves while the lock is
// open, so that they need no write-back. Their checks run before the lock, and the
// others write nothing before they have succeeded, so a failure still leaves the image
// untouched and unmarked.
gp::Status run32(FilterImageAccess& access, int32_t selector, ImageId image, const FilterRect& rect,
                 int32_t imageWidth, const FilterParams& params, const FilterContext& context,
                 double& result, bool& testValue) {
    const int32_t w = rect.Width, h = rect.Height;
    const int64_t n = static_cast<int64_t>(w) * h, packed = static_cast<int64_t>(w) * 4;
    const DirectAccess route = selectorDirectAccess(selector);
    const bool copy = selectorNeedsSourceCopy(selector);
    FilterOutcome outcome;
    RowLock lock(access, image);
    if (route == DirectAccess::None) {
        uint32_t* source = copy ? t_work.source.get(n) : nullptr;
        uint32_t* px = t_work.pixels.get(n);
        gp::Status s = lock.lock(rect, kLockRead);
        if (s != gp::Ok) {
            return s;
        }
        copyRows(px, packed, lock.rows(), lock.stride(), w, h);
        if (copy) {
            copyRows(source, packed, px, packed, w, h);
        }
        s = lock.unlock();
        if (s != gp::Ok) {
            return s;
        }
        PixelFrame frame{px, source, w, h};
        outcome = runFilterOperation(selector, frame, params, context);
        s = lock.lock(rect, kLockRead | kLockWrite);
        if (s != gp::Ok) {
            return s;
        }
        copyRows(lock.rows(), lock.stride(), px, packed, w, h);
    } else {
        checkDirectParameters(selector, params, w, h);
        uint32_t* source = route == DirectAccess::FromSource ? t_work.source.get(n) : nullptr;
        if (rect.Width < imageWidth) {
            // The rows of a narrower rectangle lie an image row apart: the packed copy
            // below needs its memory before the lock.
            t_work.pixels.get(n);
        }
        const int32_t mode = route == DirectAccess::ReadOnly ? kLockRead : kLockRead | kLockWrite;
        gp::Status s = lock.lock(rect, mode);
        if (s != gp::Ok) {
            return s;
        }
        if (source) {
            copyRows(source, packed, lock.rows(), lock.stride(), w, h);
        }
        if (lock.stride() == packed) {
            // In place, the rows are also the source (of Mosaic, which allows it).
            auto* rows = reinterpret_cast<uint32_t*>(lock.rows());
            PixelFrame frame{rows, source ? source : rows, w, h};
            outcome = runFilterOperation(selector, frame, params, context);
        } else {
            // Rows apart by another stride: work on a packed copy of them.
            uint32_t* px = t_work.pixels.get(n);
            copyRows(px, packed, lock.rows(), lock.stride(), w, h);
            PixelFrame frame{px, source ? source : px, w, h};
            outcome = runFilterOperation(selector, frame, params, context);
            if (mode & kLockWrite) {
                copyRows(lock.rows(), lock.stride(), px, packed, w, h);
            }
        }
    }
    testValue = outcome.test;
    if (outcome.hasValue) {
        result = outcome.value;
    }
    return lock.unlock();
}

gp::Status run(FilterImageAccess& access, int32_t selector, ImageId image, const FilterRect& rect,
               const FilterParams& params, double& result, bool& testValue) {
    const int32_t w = rect.Width, h = rect.Height;
    int32_t imageW = 0, imageH = 0;
    if (access.imageSize(image, imageW, imageH) != gp::Ok) {
        imageW = imageH = 0;
    }
    FilterContext context;
    context.coversWholeImage = imageH <= h && imageW <= w;
    if (h < 1 || w < 1) {
        return gp::Ok;
    }
    // The rectangle is checked before anything is allocated for it.
    if (rect.X < 0 || rect.Y < 0 || static_cast<int64_t>(rect.X) + w > imageW ||
        static_cast<int64_t>(rect.Y) + h > imageH) {
        return gp::InvalidParameter;
    }
    if (static_cast<int64_t>(w) * 4 > std::numeric_limits<int32_t>::max()) {
        return gp::OutOfMemory;
    }
    gp::PixelFormat format = gp::PixelFormatUndefined;
    if (access.pixelFormat(image, format) != gp::Ok) {
        format = gp::PixelFormatUndefined;
    }
    gp::Palette palette;
    bool paletteRead = false, greyPalette = false;
    if (gp::isIndexed(format)) {
        if (format == gp::PixelFormat1bppIndexed && selector == 2) {
            return invertPackedBits(access, image, rect);
        }
        paletteRead = access.palette(image, palette) == gp::Ok;
        if (paletteRead) {
            if (palette.entries.size() > kMaxPaletteEntries) {
                palette.entries.resize(kMaxPaletteEntries);
            }
            greyPalette = allGrey(palette);
        }
        // Editing the palette reaches every pixel, so it is only done when the rectangle
        // covers the whole image; a partial rectangle takes the pixel path.
        if (format != gp::PixelFormat1bppIndexed && (selector == 2 || selector == 14) &&
            paletteRead && !greyPalette && context.coversWholeImage) {
            return paletteMode(access, image, rect, format, selector, palette, params.P);
        }
    }
    context.packedOneBit = format == gp::PixelFormat1bppIndexed;
    if (format == gp::PixelFormat32bppARGB) {
        return run32(access, selector, image, rect, imageW, params, context, result, testValue);
    }

    const int64_t n = static_cast<int64_t>(w) * h;
    FilterLockData data{w, h, w * 4, gp::PixelFormat32bppARGB, nullptr};
    const bool copy = selectorNeedsSourceCopy(selector);
    if (copy) {
        data.scan0 = t_work.source.get(n);
        gp::Status s = lockOnce(access, image, rect, kLockRead | kLockUserBuffer,
                                gp::PixelFormat32bppARGB, data);
        if (s != gp::Ok) {
            return s;
        }
    }
    data.scan0 = t_work.pixels.get(n);
    gp::Status s =
        lockOnce(access, image, rect, kLockRead | kLockUserBuffer, gp::PixelFormat32bppARGB, data);
    if (s != gp::Ok) {
        return s;
    }
    PixelFrame frame{t_work.pixels.data(), copy ? t_work.source.data() : nullptr, w, h};
    FilterOutcome outcome = runFilterOperation(selector, frame, params, context);
    testValue = outcome.test;
    if (outcome.hasValue) {
        result = outcome.value;
    }
    if (selectorIsTest(selector)) {
        return gp::Ok;
    }
    return writeBack(access, image, rect, format, paletteRead ? &palette : nullptr, greyPalette);
}

} // namespace

void SetFilterImageAccess(FilterImageAccess* access) {
    t_access = access;
}
void SetDefaultFilterImageAccess(DefaultFilterImageAccess provider) {
    g_defaultAccess.store(provider, std::memory_order_relaxed);
}
FilterImageAccess* GetFilterImageAccess() {
    return t_access;
}

gp::Status ApplyFilter(FilterImageAccess& access, int32_t selector, ImageId image, double P,
                       FilterRect& rect, float c, float d, float e, double F, double G, double X,
                       double& result) {
    try {
        fx::RoundToNearest nearest;
        FilterParams params{P, c, d, e, F, G, X};
        bool testValue = false;
        gp::Status s = run(access, selector, image, rect, params, result, testValue);
        if (selectorIsTest(selector)) {
            result = (s == gp::Ok && testValue) ? 1.0 : 0.0;
        }
        return s;
    } catch (const std::bad_alloc&) {
        return gp::OutOfMemory;
    } catch (const std::length_error&) {
        return gp::OutOfMemory;
    } catch (...) {
        return gp::GenericError;
    }
}

gp::Status ApplyFilter(int32_t selector, ImageId image, double P, FilterRect& rect, float c,
                       float d, float e, double F, double G, double X, double& result) {
    FilterImageAccess* access = t_access;
    if (!access) {
        DefaultFilterImageAccess provider = g_defaultAccess.load(std::memory_order_relaxed);
        if (!provider) {
            // No image table has ever been used, so no image can be known.
            if (selectorIsTest(selector)) {
                result = 0.0;
            }
            return gp::InvalidParameter;
        }
        access = &provider();
    }
    return ApplyFilter(*access, selector, image, P, rect, c, d, e, F, G, X, result);
}

} // namespace tavimo
