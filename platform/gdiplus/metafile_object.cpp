#include "platform/gdiplus/metafile_object.h"

#include "platform/gdiplus/metafile_reader.h"
#include "platform/win/gdi_metafile.h"

#include <cmath>
#include <cstring>

namespace gp {

MetafileExtension::~MetafileExtension() {
    if (ownedHandle == 0)
        return;
    if (kind == Kind::Wmf)
        win::DeleteMetaFile(ownedHandle);
    else
        win::DeleteEnhMetaFile(ownedHandle);
}

std::unique_ptr<ImageExtension> MetafileExtension::clone() const {
    auto copy = std::make_unique<MetafileExtension>();
    copy->kind = kind;
    copy->bytes = bytes;
    copy->frameLeft = frameLeft;
    copy->frameTop = frameTop;
    copy->frameRight = frameRight;
    copy->frameBottom = frameBottom;
    copy->widthPx = widthPx;
    copy->heightPx = heightPx;
    copy->dpiX = dpiX;
    copy->dpiY = dpiY;
    return copy; // the clone never owns the handle
}

bool MetafileExtension::play(const PixelView& target, const MetafileTransform& t) const {
    if (widthPx <= 0 || heightPx <= 0)
        return false;
    cairo_matrix_t toTarget;
    if (kind == Kind::Wmf) {
        cairo_matrix_init(&toTarget, t.scaleX, 0, 0, t.scaleY, t.offsetX, t.offsetY);
        MetafileCanvas canvas(target, MetafileCanvas::Mode::Wmf, toTarget);
        if (!canvas.ok())
            return false;
        canvas.setWmfFrame(frameLeft, frameTop, frameRight, frameBottom, widthPx, heightPx);
        playWmfRecords(bytes.data(), bytes.size(), canvas);
        return true;
    }
    // EMF device space is the reference device's pixels; the frame (0.01 mm) sits in it at
    // the reference resolution and spans the metafile's pixel size.
    double px, py;
    emfPixelsPerMm(bytes.data(), bytes.size(), &px, &py);
    const double fl = frameLeft / 100.0 * px, ft = frameTop / 100.0 * py;
    const double fw = (frameRight - frameLeft) / 100.0 * px,
                 fh = (frameBottom - frameTop) / 100.0 * py;
    if (!(fw > 0) || !(fh > 0))
        return false;
    const double kx = t.scaleX * widthPx / fw, ky = t.scaleY * heightPx / fh;
    cairo_matrix_init(&toTarget, kx, 0, 0, ky, t.offsetX - fl * kx, t.offsetY - ft * ky);
    MetafileCanvas canvas(target, MetafileCanvas::Mode::Emf, toTarget);
    if (!canvas.ok())
        return false;
    playEmfRecords(bytes.data(), bytes.size(), canvas);
    return true;
}

bool MetafileExtension::rasterize(Frame& out) const {
    if (out.width <= 0 || out.height <= 0 || out.format != PixelFormat32bppARGB)
        return false;
    std::vector<uint32_t> layer(size_t(out.width) * size_t(out.height), 0);
    PixelView v{reinterpret_cast<uint8_t*>(layer.data()), ptrdiff_t(out.width) * 4, out.width,
                out.height, PixelLayout::PARGB32};
    MetafileTransform t{0, 0, double(out.width) / widthPx, double(out.height) / heightPx};
    if (!play(v, t))
        return false;
    // Premultiplied to straight alpha.
    for (int32_t y = 0; y < out.height; ++y) {
        uint8_t* row = out.row(y);
        for (int32_t x = 0; x < out.width; ++x) {
            uint32_t p = layer[size_t(y) * out.width + x], a = p >> 24;
            if (a != 0 && a != 255) {
                auto un = [a](uint32_t c) {
                    return std::min<uint32_t>(255, (c * 255 + a / 2) / a);
                };
                p = (a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) |
                    un(p & 0xFF);
            }
            std::memcpy(row + 4 * size_t(x), &p, 4);
        }
    }
    return true;
}

std::unique_ptr<Image> makeMetafileImage(const uint8_t* data, size_t size,
                                         const WmfPlaceable* placeable) {
    MetafileInfo info;
    size_t skip = 0;
    if (readEmfInfo(data, size, info)) {
        skip = 0;
    } else if (readWmfInfo(data, size, placeable, info)) {
        skip = info.recordsOffset;
    } else {
        return nullptr;
    }
    auto ext = std::make_unique<MetafileExtension>();
    ext->kind = info.kind;
    ext->bytes.assign(data + skip, data + size);
    ext->frameLeft = info.frameLeft;
    ext->frameTop = info.frameTop;
    ext->frameRight = info.frameRight;
    ext->frameBottom = info.frameBottom;
    ext->widthPx = info.widthPx;
    ext->heightPx = info.heightPx;
    ext->dpiX = info.dpiX;
    ext->dpiY = info.dpiY;
    auto image = std::make_unique<Image>();
    image->type = ImageTypeMetafile;
    image->rawFormat = info.kind == MetafileExtension::Kind::Wmf ? ImageFormatWMF : ImageFormatEMF;
    Frame frame;
    frame.width = info.widthPx;
    frame.height = info.heightPx;
    frame.format = PixelFormat32bppRGB;
    frame.stride = 0;
    frame.dpiX = info.dpiX;
    frame.dpiY = info.dpiY;
    image->frames.push_back(std::move(frame));
    image->extension = std::move(ext);
    return image;
}

} // namespace gp
