#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/pixel_convert.h"
#include "platform/gdiplus/pixel_format.h"
#include "platform/gdiplus/session.h"

#include <cstdlib>

namespace gp {

namespace {

constexpr UINT kKnownLockFlags = ImageLockModeRead | ImageLockModeWrite | ImageLockModeUserInputBuf;

// A pointer into the frame's rows can serve the lock when the format matches and, for
// packed formats, the rectangle starts on a byte. A write lock also needs the rectangle
// to end on a byte (or at the row's end): otherwise the caller could change pixels that
// share the last byte.
bool canLockInPlace(const Frame& frame, const Rect& r, PixelFormat format, bool write) {
    if (format != frame.format)
        return false;
    const int bpp = bitsPerPixel(format);
    if (bpp >= 8)
        return true;
    const int perByte = 8 / bpp;
    if (r.X % perByte != 0)
        return false;
    return !write || (r.X + r.Width) % perByte == 0 || r.X + r.Width == frame.width;
}

} // namespace

Status GdipBitmapLockBits(GpBitmap bitmap, const Rect* rect, UINT flags, PixelFormat format,
                          BitmapData* lockedData) {
    return guarded([&] {
        Image* image = findBitmap(bitmap);
        if (!image || !lockedData)
            return InvalidParameter;
        if (image->isLocked())
            return ObjectBusy;
        const Status fault = takeFault(FaultPoint::Lock);
        if (fault != Ok)
            return fault;
        if ((flags & ~kKnownLockFlags) != 0 ||
            (flags & (ImageLockModeRead | ImageLockModeWrite)) == 0 || !isKnownPixelFormat(format))
            return InvalidParameter;
        const Frame& current = image->active();
        const Rect r = rect ? *rect : Rect{0, 0, current.width, current.height};
        if (r.Width < 1 || r.Height < 1 || r.X < 0 || r.Y < 0 || r.X > current.width - r.Width ||
            r.Y > current.height - r.Height)
            return InvalidParameter;
        const bool read = flags & ImageLockModeRead;
        const bool write = flags & ImageLockModeWrite;
        const bool user = flags & ImageLockModeUserInputBuf;
        if (user &&
            (!lockedData->Scan0 || std::llabs(lockedData->Stride) < rowBytes(r.Width, format)))
            return InvalidParameter;

        if (write)
            image->keepOnlyActiveFrame();
        Frame& frame = image->active();
        auto lock = std::make_unique<LockState>();
        lock->x = r.X;
        lock->y = r.Y;
        lock->width = r.Width;
        lock->height = r.Height;
        lock->flags = flags;
        lock->format = format;
        lock->palette = paletteFor(format, frame);

        bool fill = false;
        if (user) {
            lock->scan0 = static_cast<uint8_t*>(lockedData->Scan0);
            lock->stride = lockedData->Stride;
            fill = read; // a write-only caller buffer already holds what is to be written
        } else if (canLockInPlace(frame, r, format, write)) {
            lock->direct = true;
            lock->scan0 = frame.row(r.Y) + static_cast<ptrdiff_t>(r.X) * bitsPerPixel(format) / 8;
            lock->stride = frame.stride;
        } else {
            const int64_t stride = alignedStride(r.Width, format);
            if (stride * r.Height > (int64_t{1} << 32))
                return OutOfMemory;
            // Not zero-filled: the conversion below writes every row.
            lock->buffer.reset(new uint8_t[static_cast<size_t>(stride * r.Height)]);
            lock->scan0 = lock->buffer.get();
            lock->stride = static_cast<int32_t>(stride);
            fill = true;
        }
        if (fill)
            convertRect(frame.row(r.Y), frame.stride, frame.format, &frame.palette, r.X,
                        lock->scan0, lock->stride, format, &lock->palette, 0, r.Width, r.Height);

        lockedData->Width = static_cast<UINT>(r.Width);
        lockedData->Height = static_cast<UINT>(r.Height);
        lockedData->Stride = lock->stride;
        lockedData->PixelFormat = format;
        lockedData->Scan0 = lock->scan0;
        lockedData->Reserved = 0;
        image->lock = std::move(lock);
        return Ok;
    });
}

Status GdipBitmapUnlockBits(GpBitmap bitmap, BitmapData* lockedData) {
    return guarded([&] {
        Image* image = findBitmap(bitmap);
        if (!image || !lockedData || !image->isLocked())
            return InvalidParameter;
        std::unique_ptr<LockState> lock = std::move(image->lock);
        if ((lock->flags & ImageLockModeWrite) && !lock->direct) {
            Frame& frame = image->active();
            convertRect(lock->scan0, lock->stride, lock->format, &lock->palette, 0,
                        frame.row(lock->y), frame.stride, frame.format, &frame.palette, lock->x,
                        lock->width, lock->height);
        }
        return Ok;
    });
}

} // namespace gp
