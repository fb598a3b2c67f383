#pragma once

// The object model behind GpImage handles, shared by every part of the layer (codecs,
// drawing, metafiles): an image holds frames of one frame dimension and an active frame;
// a frame is a FrameData whose pixels live either in its own store or in a caller's
// memory used in place.
//
// Objects are owned by one process-wide handle table; a handle is resolved for one
// operation at a time and the pointer is not kept. An object is used by one thread at a
// time.

#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/types.h"

#include <memory>
#include <new>
#include <vector>

namespace gp {

// The image types GDI+ reports (GdipGetImageType).
enum ImageType : int32_t {
    ImageTypeUnknown = 0,
    ImageTypeBitmap = 1,
    ImageTypeMetafile = 2,
};

// One frame. For an owned store `pixels` holds the rows and `stride` (inherited) is their
// distance. For external memory `pixels` is empty, `external` is the caller's first row
// and `stride` the caller's stride (negative for bottom-up memory); the layer never frees
// or reallocates it.
struct Frame : FrameData {
    uint8_t* external = nullptr;

    Frame() = default;
    explicit Frame(FrameData&& data) : FrameData(std::move(data)) {}

    bool isExternal() const { return external != nullptr; }
    uint8_t* scan0() { return external ? external : pixels.data(); }
    const uint8_t* scan0() const { return external ? external : pixels.data(); }
    uint8_t* row(int32_t y) { return scan0() + static_cast<ptrdiff_t>(y) * stride; }
    const uint8_t* row(int32_t y) const { return scan0() + static_cast<ptrdiff_t>(y) * stride; }

    // A copy of this frame (header, palette, properties) that owns its pixels; rows are
    // copied into a fresh 4-byte aligned store. Throws std::bad_alloc.
    Frame ownedCopy() const;
};

// Makes an owned, zero-filled frame of the given size and format with 96 dpi and the
// default palette of the format. Width/height below 1 or an unknown format: 2; a store
// larger than the layer allows (4 GiB) or a failed allocation: 3.
Status makeOwnedFrame(int32_t width, int32_t height, PixelFormat format, Frame& out);

// Data a metafile (or any non-bitmap image) attaches to its image object. The metafile
// layer derives from this; the image owns it.
class ImageExtension {
public:
    virtual ~ImageExtension() = default;
    // A deep copy for GdipCloneImage; null means the image cannot be cloned.
    virtual std::unique_ptr<ImageExtension> clone() const = 0;
    // Renders the image into `out`, an owned 32bppARGB frame already sized by the caller
    // (thumbnails of metafiles). False when it cannot.
    virtual bool rasterize(Frame& out) const {
        (void)out;
        return false;
    }
};

// The state of the one lock an image may hold (GdipBitmapLockBits).
struct LockState {
    int32_t x = 0, y = 0, width = 0, height = 0;
    uint32_t flags = 0;
    PixelFormat format = PixelFormatUndefined;
    uint8_t* scan0 = nullptr;
    int32_t stride = 0;
    bool direct = false;               // scan0 points into the frame's own rows
    std::unique_ptr<uint8_t[]> buffer; // the layer's temporary buffer, when it made one
    Palette palette;                   // palette of the locked format when it is indexed
};

class Image {
public:
    ImageType type = ImageTypeBitmap;
    win::Guid rawFormat = ImageFormatMemoryBMP;
    win::Guid frameDimension{}; // zero for a plain single-frame image
    std::vector<Frame> frames;  // never empty for a live image
    size_t activeFrame = 0;
    std::unique_ptr<ImageExtension> extension;
    std::unique_ptr<LockState> lock;

    Frame& active() { return frames[activeFrame]; }
    const Frame& active() const { return frames[activeFrame]; }
    bool isBitmap() const { return type == ImageTypeBitmap; }
    bool isLocked() const { return lock != nullptr; }

    // An edited multi-frame image keeps only its active frame, as GDI+ does.
    void keepOnlyActiveFrame();

    // A deep copy: every frame (owning its pixels), the active frame, palettes,
    // properties, DPI, raw format and the extension. No lock is copied. Throws
    // std::bad_alloc.
    std::unique_ptr<Image> clone() const;
};

// An image made from a decoder's output; frames move in. Null when it has no frame or a
// frame's size, format, stride and pixel buffer do not agree.
std::unique_ptr<Image> imageFromDecoded(DecodedImage&& decoded);

// The palette a frame converted into `target` carries: the source palette when the
// source is indexed and it fits the target's depth, else the target's default palette.
Palette paletteFor(PixelFormat target, const Frame& source);

// Runs a flat-API body, turning an escaping exception into a status: std::bad_alloc is
// OutOfMemory, anything else GenericError.
template <class Body> Status guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

// Handle table access. addImage takes ownership and returns the new handle.
GpImage addImage(std::unique_ptr<Image> image);
Image* findImage(GpImage handle);  // null for 0, stale or forged handles
Image* findBitmap(GpImage handle); // as findImage, but also null for non-bitmaps
std::unique_ptr<Image> takeImage(GpImage handle);
size_t liveImageCount();

} // namespace gp
