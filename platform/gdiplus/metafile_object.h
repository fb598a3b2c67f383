#pragma once

// What a metafile image carries: the metafile's bytes (a WMF without its placeable header,
// or an EMF), its frame in metafile pixels and resolution, and the GDI handle it may own.
// Images of type ImageTypeMetafile hold one of these as their extension; their single
// frame holds the reported size, resolution and format (32bppRGB) and no pixels.

#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/resample.h"

#include <cstdint>
#include <vector>

namespace gp {

// Metafile pixel (u, v) lands at (offsetX + u * scaleX, offsetY + v * scaleY) in the
// target.
struct MetafileTransform {
    double offsetX = 0, offsetY = 0, scaleX = 1, scaleY = 1;
};

class MetafileExtension : public ImageExtension {
public:
    enum class Kind { Wmf, Emf };

    Kind kind = Kind::Emf;
    std::vector<uint8_t> bytes;
    // The picture frame in the metafile's logical units (WMF: the placeable bounding box;
    // EMF: the header's frame in 0.01 mm) and its size in metafile pixels.
    double frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
    int32_t widthPx = 0, heightPx = 0;
    double dpiX = 96, dpiY = 96;
    // The GDI handle (HMETAFILE or HENHMETAFILE) deleted with the image, or 0.
    uint32_t ownedHandle = 0;

    ~MetafileExtension() override;
    std::unique_ptr<ImageExtension> clone() const override;
    bool rasterize(Frame& out) const override;

    // Plays the records into a premultiplied 32-bpp target, composited over what it holds.
    // False when the bytes cannot be played at all.
    bool play(const PixelView& target, const MetafileTransform& transform) const;
};

// A metafile image over a copy of the bytes; null when they are not a WMF or EMF this
// layer reads. `placeable` supplies the WMF frame (left, top, right, bottom, units per
// inch) when the bytes have no placeable header of their own.
struct WmfPlaceable {
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    uint16_t inch = 0;
};
std::unique_ptr<Image> makeMetafileImage(const uint8_t* data, size_t size,
                                         const WmfPlaceable* placeable);

} // namespace gp
