// GIF encoder over giflib: one 8-bit image. Indexed frames keep their palette; other
// formats are mapped onto the halftone palette. Alpha 0 becomes the transparent index.

#include "platform/gdiplus/codec_internal.h"

#include <gif_lib.h>

#include <algorithm>
#include <string>

namespace gp::codec {

namespace {

// Called from inside giflib: no exception may leave it; a short write fails the save.
int writeToVector(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    try {
        out->insert(out->end(), data, data + length);
    } catch (...) {
        return 0;
    }
    return length;
}

} // namespace

void encodeGif(const FrameData& frame, std::vector<uint8_t>& out) {
    if (frame.width > 65535 || frame.height > 65535)
        fail(InvalidParameter);
    std::vector<uint8_t> indices(size_t(frame.width) * size_t(frame.height));
    Palette palette;
    int transparent = -1;
    if (isIndexed(frame.format)) {
        palette = frame.palette;
        if (palette.entries.empty())
            palette = greyPalette(1 << bitsPerPixel(frame.format));
        const int bits = bitsPerPixel(frame.format);
        for (int32_t y = 0; y < frame.height; ++y) {
            const uint8_t* src = rowOf(frame, y);
            uint8_t* dst = indices.data() + size_t(y) * size_t(frame.width);
            for (int32_t x = 0; x < frame.width; ++x)
                dst[x] = bits == 8   ? src[x]
                         : bits == 4 ? uint8_t((src[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF)
                                     : uint8_t((src[x >> 3] >> (7 - (x & 7))) & 1);
        }
        for (size_t i = 0; i < palette.entries.size(); ++i)
            if ((palette.entries[i] >> 24) == 0) {
                transparent = int(i);
                break;
            }
    } else {
        palette = halftonePalette256();
        std::vector<uint8_t> bgra(size_t(frame.width) * 4);
        // Nearest entries are looked up per 15-bit colour, computed on first use.
        std::vector<int16_t> cache(32768, -1);
        bool anyTransparent = false;
        for (int32_t y = 0; y < frame.height; ++y) {
            rowToBgra(frame, y, bgra.data());
            for (int32_t x = 0; x < frame.width; ++x)
                anyTransparent |= bgra[4 * size_t(x) + 3] == 0;
        }
        if (anyTransparent) {
            // The last grey gives way to the transparent entry.
            transparent = 255;
            palette.entries[255] = 0x00000000;
        }
        Palette opaque = palette;
        if (anyTransparent)
            opaque.entries.pop_back();
        for (int32_t y = 0; y < frame.height; ++y) {
            rowToBgra(frame, y, bgra.data());
            uint8_t* dst = indices.data() + size_t(y) * size_t(frame.width);
            for (int32_t x = 0; x < frame.width; ++x) {
                const uint8_t* p = bgra.data() + 4 * size_t(x);
                if (anyTransparent && p[3] == 0) {
                    dst[x] = 255;
                    continue;
                }
                const int key = (p[2] >> 3) << 10 | (p[1] >> 3) << 5 | (p[0] >> 3);
                if (cache[size_t(key)] < 0)
                    cache[size_t(key)] = int16_t(nearestIndex(opaque, uint8_t((p[2] & 0xF8) | 4),
                                                              uint8_t((p[1] & 0xF8) | 4),
                                                              uint8_t((p[0] & 0xF8) | 4)));
                dst[x] = uint8_t(cache[size_t(key)]);
            }
        }
    }

    // Colour maps hold a power of two entries.
    int mapSize = 2;
    while (mapSize < int(palette.entries.size()) && mapSize < 256)
        mapSize *= 2;
    std::vector<GifColorType> colours(size_t(mapSize), GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.entries.size() && i < 256; ++i) {
        ARGB e = palette.entries[i];
        colours[i] = GifColorType{uint8_t(e >> 16), uint8_t(e >> 8), uint8_t(e)};
    }
    for (uint8_t& index : indices)
        if (index >= mapSize)
            index = 0;

    int error = 0;
    GifFileType* gif = EGifOpen(&out, writeToVector, &error);
    if (!gif)
        fail(GenericError);
    std::string comment;
    if (const PropertyItem* c = findItem(frame.properties, 0x9286); c && c->value.size() > 8) {
        comment.assign(c->value.begin() + 8, c->value.end());
        comment = comment.c_str();
    }
    // The version goes into the header, which the screen descriptor writes.
    if (transparent >= 0 || !comment.empty())
        EGifSetGifVersion(gif, true);
    ColorMapObject* map = GifMakeMapObject(mapSize, colours.data());
    bool ok = map != nullptr;
    ok = ok && EGifPutScreenDesc(gif, frame.width, frame.height, 8, 0, map) == GIF_OK;
    if (ok && transparent >= 0) {
        GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, transparent};
        GifByteType ext[4];
        size_t n = EGifGCBToExtension(&gcb, ext);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), ext) == GIF_OK;
    }
    if (ok && !comment.empty())
        ok = EGifPutComment(gif, comment.c_str()) == GIF_OK;
    ok = ok && EGifPutImageDesc(gif, 0, 0, frame.width, frame.height, false, nullptr) == GIF_OK;
    for (int32_t y = 0; ok && y < frame.height; ++y)
        ok = EGifPutLine(gif, indices.data() + size_t(y) * size_t(frame.width), frame.width) ==
             GIF_OK;
    if (map)
        GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK)
        ok = false;
    if (!ok) {
        out.clear();
        fail(GenericError);
    }
}

} // namespace gp::codec
