#pragma once

// The filter engine's public surface: ApplyFilter, the single entry point that runs one of
// the numbered pixel operations on an image of the image table, and the engine's
// per-thread settings (the selector-52 pattern, the random source, the thread count).
//
// The engine reaches images only through FilterImageAccess, a narrow view of the image
// core (size, pixel format, palette, bitmap locking). By default that is the thread's
// image table, which the core registers (core/filter_access.h); tests may install fakes.

#include "filters/filter_types.h"
#include "platform/gdiplus/types.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavimo {

using ImageId = int32_t;

// A GDI+ integer rectangle: left, top, width, height in image pixels.
struct FilterRect {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

// Lock modes, as GDI+ numbers them: read, write, and "the caller supplies the buffer".
inline constexpr int32_t kLockRead = 1;
inline constexpr int32_t kLockWrite = 2;
inline constexpr int32_t kLockUserBuffer = 4;

// The GDI+ bitmap-data record of one lock. With kLockUserBuffer the caller fills stride,
// format and scan0 (its own buffer); otherwise the implementation fills them with its own
// buffer, valid until the matching unlock.
struct FilterLockData {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;
    gp::PixelFormat format = gp::PixelFormatUndefined;
    void* scan0 = nullptr;
};

// What the engine needs from the image table. Every call returns a GDI+ status; an
// unknown image answers InvalidParameter. Implementations must:
//  - read (mode read|user) any rectangle inside the image into 32bppARGB, or into the
//    image's own indexed format (1 bpp at any X, packed MSB first);
//  - write (mode write|user) 32bppARGB into any format (nearest palette entry, lowest
//    index on ties, for indexed images), and 1 bpp or 8 bpp indices into images of that
//    format, touching only the rectangle's pixels (padding bits are ignored);
//  - reject a rectangle not inside the image with InvalidParameter;
//  - mark the image modified after a successful write lock and after setPalette.
class FilterImageAccess {
public:
    virtual ~FilterImageAccess() = default;
    // Width and height; 0 on failure.
    virtual gp::Status imageSize(ImageId image, int32_t& width, int32_t& height) = 0;
    virtual gp::Status pixelFormat(ImageId image, gp::PixelFormat& format) = 0;
    virtual gp::Status palette(ImageId image, gp::Palette& palette) = 0;
    virtual gp::Status setPalette(ImageId image, const gp::Palette& palette) = 0;
    virtual gp::Status lockBits(ImageId image, const FilterRect& rect, int32_t mode,
                                gp::PixelFormat format, FilterLockData& data) = 0;
    virtual gp::Status unlockBits(ImageId image, FilterLockData& data) = 0;
    // Major version of the GDI+ layer; from 6 on, 32-bit writes into 8 bpp colour-palette
    // images are mapped by the layer.
    virtual int gdiplusMajorVersion() = 0;
};

// Installs the image access of the calling thread (not owned; nullptr restores the default).
void SetFilterImageAccess(FilterImageAccess* access);
FilterImageAccess* GetFilterImageAccess();

// The access used on threads that installed none: the image core registers its table's
// here (core/filter_access.h) the first time the table is used. Without one, every image
// is unknown.
using DefaultFilterImageAccess = FilterImageAccess& (*)();
void SetDefaultFilterImageAccess(DefaultFilterImageAccess provider);

// Runs operation `selector` (1..70; other values read and write back the pixels
// unchanged) on the work rectangle `rect` of `image`.
//
// P, c, d, e, F, G and X are the operation's parameters (see the selector table in
// filters/filter_selectors.cpp). Colours are 32-bit ARGB values as signed integers: a colour whose
// alpha is 128 or more is passed as its negative value (an unsigned value above
// 2147483647 does not fit and fails with status 1).
//
// `result` receives the value of the counting selectors 60, 67 and 68, and 1.0 or 0.0 for
// the tests 36, 53 and 59 (0.0 whenever the status is not Ok).
//
// Statuses: Ok; InvalidParameter for an unknown image or a rectangle not inside the image;
// OutOfMemory when the buffers cannot be allocated; GenericError for a run-time failure of
// the operation (a zero divisor, an overflow, a value that cannot be stored as a byte), in
// which case the image is left unchanged and not marked modified; otherwise the status of
// the failing lock or palette call. An empty rectangle (width or height below 1) is Ok and
// changes nothing.
gp::Status ApplyFilter(int32_t selector, ImageId image, double P, FilterRect& rect, float c,
                       float d, float e, double F, double G, double X, double& result);

// The same on an explicit image access instead of the thread's.
gp::Status ApplyFilter(FilterImageAccess& access, int32_t selector, ImageId image, double P,
                       FilterRect& rect, float c, float d, float e, double F, double G, double X,
                       double& result);

// ApplyFilter keeps its work arrays (up to two 32-bit copies of the largest rectangle
// filtered) for the next call on the thread; this frees them now. They are also freed when
// the thread ends.
void ReleaseFilterMemory();

// The pattern of selector 52, per thread, zero at start: colours 0-8 are the 3x3 block to
// find and 9-17 its replacement, each nine in the order NW, N, NE, W, centre, E, SW, S, SE.
// Only blue, green and red are compared and replaced.
using FilterPattern = std::array<uint32_t, 18>;
void SetFilterPattern(const FilterPattern& pattern);
FilterPattern GetFilterPattern();

// The uniform random source of selectors 4 and 29, per thread: fill() must write `count`
// values in [0, 1). The default is a generator seeded once per thread. A source installed
// here is not owned; nullptr restores the default.
class FilterUniformSource {
public:
    virtual ~FilterUniformSource() = default;
    virtual void fill(float* out, size_t count) = 0;
};
void SetFilterUniformSource(FilterUniformSource* source);

// Threads used by the row-parallel operations, process-wide (results never depend on
// it). 0 chooses the hardware concurrency, capped at 8.
void SetFilterThreadCount(int threads);

} // namespace tavimo
