#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/pixel_format.h"

#include <cstring>

namespace gp {

namespace {

// Source coordinates of destination pixel (dx, dy): sx = sx0 + dx * sxdx + dy * sxdy,
// and the same for sy.
struct Mapping {
    int64_t sx0, sxdx, sxdy;
    int64_t sy0, sydx, sydy;
};

// The rotation is clockwise and comes first; the FlipX types then mirror horizontally.
Mapping mappingFor(int type, int64_t w, int64_t h) {
    Mapping m{};
    const bool flip = type & 4;
    const int64_t dw = (type & 1) ? h : w;
    switch (type & 3) {
    case 0: // sx = dx, sy = dy
        m = {0, 1, 0, 0, 0, 1};
        break;
    case 1: // 90: sx = dy, sy = h - 1 - dx
        m = {0, 0, 1, h - 1, -1, 0};
        break;
    case 2: // 180: sx = w - 1 - dx, sy = h - 1 - dy
        m = {w - 1, -1, 0, h - 1, 0, -1};
        break;
    case 3: // 270: sx = w - 1 - dy, sy = dx
        m = {w - 1, 0, -1, 0, 1, 0};
        break;
    }
    if (flip) { // dx -> dw - 1 - dx
        m.sx0 += m.sxdx * (dw - 1);
        m.sxdx = -m.sxdx;
        m.sy0 += m.sydx * (dw - 1);
        m.sydx = -m.sydx;
    }
    return m;
}

template <int Bytes> void transformBytes(const Frame& src, Frame& dst, const Mapping& m) {
    const ptrdiff_t step = static_cast<ptrdiff_t>(m.sxdx * Bytes + m.sydx * src.stride);
    for (int32_t dy = 0; dy < dst.height; ++dy) {
        const uint8_t* s =
            src.row(static_cast<int32_t>(m.sy0 + dy * m.sydy)) + (m.sx0 + dy * m.sxdy) * Bytes;
        uint8_t* d = dst.row(dy);
        for (int32_t dx = 0; dx < dst.width; ++dx, s += step, d += Bytes)
            std::memcpy(d, s, Bytes);
    }
}

void transformPacked(const Frame& src, Frame& dst, const Mapping& m, int bpp) {
    for (int32_t dy = 0; dy < dst.height; ++dy) {
        uint8_t* d = dst.row(dy);
        std::memset(d, 0, static_cast<size_t>(rowBytes(dst.width, dst.format)));
        for (int32_t dx = 0; dx < dst.width; ++dx) {
            const int64_t sx = m.sx0 + dx * m.sxdx + dy * m.sxdy;
            const int64_t sy = m.sy0 + dx * m.sydx + dy * m.sydy;
            const uint8_t* s = src.row(static_cast<int32_t>(sy));
            if (bpp == 1) {
                const int bit = (s[sx >> 3] >> (7 - (sx & 7))) & 1;
                d[dx >> 3] = static_cast<uint8_t>(d[dx >> 3] | bit << (7 - (dx & 7)));
            } else {
                const int nibble = (s[sx >> 1] >> ((sx & 1) ? 0 : 4)) & 0x0F;
                d[dx >> 1] = static_cast<uint8_t>(d[dx >> 1] | nibble << ((dx & 1) ? 0 : 4));
            }
        }
    }
}

} // namespace

Status GdipImageRotateFlip(GpImage handle, RotateFlipType type) {
    return guarded([&] {
        Image* image = findImage(handle);
        if (!image || type < 0 || type > 7)
            return InvalidParameter;
        if (!image->isBitmap())
            return NotImplemented;
        if (image->isLocked())
            return ObjectBusy;
        if (type == RotateNoneFlipNone)
            return Ok;
        const Frame& src = image->active();
        const bool swap = type & 1;
        Frame dst;
        Status status = makeOwnedFrame(swap ? src.height : src.width, swap ? src.width : src.height,
                                       src.format, dst);
        if (status != Ok)
            return status;
        dst.palette = src.palette;
        dst.properties = src.properties;
        dst.dpiX = swap ? src.dpiY : src.dpiX;
        dst.dpiY = swap ? src.dpiX : src.dpiY;
        const Mapping m = mappingFor(type, src.width, src.height);
        switch (bitsPerPixel(src.format)) {
        case 1:
        case 4:
            transformPacked(src, dst, m, bitsPerPixel(src.format));
            break;
        case 8:
            transformBytes<1>(src, dst, m);
            break;
        case 16:
            transformBytes<2>(src, dst, m);
            break;
        case 24:
            transformBytes<3>(src, dst, m);
            break;
        case 32:
            transformBytes<4>(src, dst, m);
            break;
        case 48:
            transformBytes<6>(src, dst, m);
            break;
        case 64:
            transformBytes<8>(src, dst, m);
            break;
        default:
            return InvalidParameter;
        }
        image->keepOnlyActiveFrame();
        image->active() = std::move(dst);
        return Ok;
    });
}

} // namespace gp
