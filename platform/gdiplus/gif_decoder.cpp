// GIF decoder over giflib: GIF87a/89a, local and global palettes, interlacing, transparency,
// and animations composed frame by frame with their disposal methods.

#include "platform/gdiplus/codec_internal.h"

#include <gif_lib.h>

#include <algorithm>
#include <string>

namespace gp::codec {

namespace {

struct MemoryInput {
    Bytes data;
    size_t pos = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int length) {
    auto* in = static_cast<MemoryInput*>(gif->UserData);
    size_t n = std::min(size_t(std::max(length, 0)), in->data.size() - in->pos);
    std::memcpy(out, in->data.data() + in->pos, n);
    in->pos += n;
    return int(n);
}

struct GifCloser {
    GifFileType* gif;
    ~GifCloser() {
        int error = 0;
        if (gif)
            DGifCloseFile(gif, &error);
    }
};

struct Image {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> raster;
    std::vector<GifColorType> localMap;
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
};

struct Stream {
    std::vector<Image> images;
    std::string comment;
    bool haveComment = false;
    uint16_t loops = 0;
};

// Reads the records one by one (not DGifSlurp), so that every image's size is checked
// against the pixel allowance before its raster is allocated.
void readRecords(GifFileType* gif, Stream& s) {
    GraphicsControlBlock pending{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    while (true) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            // A file that only lacks its trailer still holds complete images.
            if (!s.images.empty())
                return;
            fail();
        }
        if (type == TERMINATE_RECORD_TYPE)
            return;
        if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif) == GIF_ERROR)
                fail();
            const GifImageDesc& d = gif->Image;
            if (d.Width <= 0 || d.Height <= 0)
                fail();
            if (!takePixels(int64_t(d.Width) * d.Height))
                fail(OutOfMemory);
            Image image;
            image.left = d.Left;
            image.top = d.Top;
            image.width = d.Width;
            image.height = d.Height;
            image.control = pending;
            pending = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
            if (d.ColorMap)
                image.localMap.assign(d.ColorMap->Colors,
                                      d.ColorMap->Colors + d.ColorMap->ColorCount);
            image.raster.resize(size_t(d.Width) * size_t(d.Height));
            auto line = [&](int y) {
                if (DGifGetLine(gif, image.raster.data() + size_t(y) * size_t(d.Width), d.Width) ==
                    GIF_ERROR)
                    fail();
            };
            if (d.Interlace) {
                static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
                for (int pass = 0; pass < 4; ++pass)
                    for (int y = kStart[pass]; y < d.Height; y += kStep[pass])
                        line(y);
            } else {
                for (int y = 0; y < d.Height; ++y)
                    line(y);
            }
            s.images.push_back(std::move(image));
            continue;
        }
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                fail();
            bool netscape = false;
            bool comment = code == COMMENT_EXT_FUNC_CODE && !s.haveComment;
            if (block && code == GRAPHICS_EXT_FUNC_CODE && block[0] >= 4)
                DGifExtensionToGCB(4, block + 1, &pending);
            if (block && code == APPLICATION_EXT_FUNC_CODE && block[0] == 11 &&
                std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0)
                netscape = true;
            for (bool first = true; block; first = false) {
                if (comment)
                    s.comment.append(reinterpret_cast<const char*>(block + 1), block[0]);
                if (netscape && !first && block[0] >= 3 && block[1] == 1)
                    s.loops = uint16_t(block[2] | block[3] << 8);
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                    fail();
            }
            // The first comment is the image's; writers often repeat it on every frame.
            if (comment)
                s.haveComment = true;
            continue;
        }
        fail();
    }
}

std::vector<PropertyItem> properties(const GifFileType* gif, const Stream& s) {
    std::vector<PropertyItem> props;
    std::vector<uint32_t> delays;
    for (const Image& image : s.images)
        delays.push_back(uint32_t(std::max(image.control.DelayTime, 0)));
    props.push_back(makeItem(0x5100, PropertyTagTypeLong, delays.data(), delays.size() * 4));
    props.push_back(makeShort(0x5101, s.loops));
    if (gif->SColorMap) {
        std::vector<uint8_t> rgb;
        for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
            const GifColorType& c = gif->SColorMap->Colors[i];
            rgb.push_back(c.Red);
            rgb.push_back(c.Green);
            rgb.push_back(c.Blue);
        }
        props.push_back(makeItem(0x5102, PropertyTagTypeByte, rgb.data(), rgb.size()));
    }
    uint8_t background = uint8_t(gif->SBackGroundColor);
    props.push_back(makeItem(0x5103, PropertyTagTypeByte, &background, 1));
    if (s.images[0].control.TransparentColor != NO_TRANSPARENT_COLOR) {
        uint8_t t = uint8_t(s.images[0].control.TransparentColor);
        props.push_back(makeItem(0x5104, PropertyTagTypeByte, &t, 1));
    }
    if (!s.comment.empty()) {
        // The "ASCII\0\0\0" character-code prefix of EXIF user comments keeps readers that
        // skip eight bytes of header from cutting the text.
        std::vector<uint8_t> value(8 + s.comment.size(), 0);
        std::memcpy(value.data(), "ASCII", 5);
        std::memcpy(value.data() + 8, s.comment.data(), s.comment.size());
        props.push_back(makeItem(0x9286, PropertyTagTypeUndefined, value.data(), value.size()));
    }
    return props;
}

} // namespace

void decodeGif(Bytes bytes, DecodedImage& out) {
    MemoryInput input{bytes};
    int error = 0;
    GifCloser closer{DGifOpen(&input, readFromMemory, &error)};
    GifFileType* gif = closer.gif;
    if (!gif)
        fail();
    const int64_t screenW = gif->SWidth, screenH = gif->SHeight;
    if (screenW <= 0 || screenH <= 0)
        fail();
    if (screenW * screenH > kMaxPixels)
        fail(OutOfMemory);
    Stream s;
    readRecords(gif, s);
    if (s.images.empty())
        fail();
    std::vector<GifColorType> globalMap;
    if (gif->SColorMap)
        globalMap.assign(gif->SColorMap->Colors,
                         gif->SColorMap->Colors + gif->SColorMap->ColorCount);
    for (const Image& image : s.images)
        if (image.localMap.empty() && globalMap.empty())
            fail(); // no palette to read the indices through
    std::vector<PropertyItem> props = properties(gif, s);
    size_t propertyBytes = 0;
    for (const PropertyItem& item : props)
        propertyBytes += item.value.size() + sizeof(PropertyItem);
    out.frameDimension = FrameDimensionTime;

    auto clip = [&](const Image& d, int64_t& x0, int64_t& y0, int64_t& x1, int64_t& y1) {
        x0 = std::clamp<int64_t>(d.left, 0, screenW);
        y0 = std::clamp<int64_t>(d.top, 0, screenH);
        x1 = std::clamp<int64_t>(int64_t(d.left) + d.width, 0, screenW);
        y1 = std::clamp<int64_t>(int64_t(d.top) + d.height, 0, screenH);
        // An image entirely off the screen draws nothing.
        if (x0 >= x1 || y0 >= y1)
            x0 = x1 = y0 = y1 = 0;
    };
    auto mapOf = [&](const Image& image) -> const std::vector<GifColorType>& {
        return image.localMap.empty() ? globalMap : image.localMap;
    };

    if (s.images.size() == 1) {
        const Image& image = s.images[0];
        const std::vector<GifColorType>& map = mapOf(image);
        const int transparent = image.control.TransparentColor;
        FrameData frame;
        allocateFrame(frame, screenW, screenH, PixelFormat8bppIndexed);
        for (size_t i = 0; i < map.size(); ++i)
            frame.palette.entries.push_back(
                makeArgb(int(i) == transparent ? 0 : 255, map[i].Red, map[i].Green, map[i].Blue));
        if (transparent >= 0 && size_t(transparent) < map.size())
            frame.palette.flags |= PaletteFlagsHasAlpha;
        // Uncovered screen area shows the transparent entry, or the background one.
        uint8_t fill = uint8_t(transparent >= 0 ? transparent : gif->SBackGroundColor);
        std::fill(frame.pixels.begin(), frame.pixels.end(), fill);
        int64_t x0, y0, x1, y1;
        clip(image, x0, y0, x1, y1);
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* src = image.raster.data() + size_t(y - image.top) * size_t(image.width) +
                                 size_t(x0 - image.left);
            std::memcpy(rowOf(frame, int32_t(y)) + x0, src, size_t(x1 - x0));
        }
        frame.properties = std::move(props);
        out.frames.push_back(std::move(frame));
        return;
    }

    // Animation: each frame is the whole screen as it looks after drawing that frame.
    FrameData canvas;
    allocateFrame(canvas, screenW, screenH, PixelFormat32bppARGB);
    std::vector<uint8_t> saved;
    for (const Image& image : s.images) {
        const GraphicsControlBlock& gcb = image.control;
        const std::vector<GifColorType>& map = mapOf(image);
        int64_t x0, y0, x1, y1;
        clip(image, x0, y0, x1, y1);
        if (gcb.DisposalMode == DISPOSE_PREVIOUS)
            saved = canvas.pixels;
        uint32_t colors[256];
        for (size_t c = 0; c < 256; ++c)
            colors[c] =
                c < map.size() ? makeArgb(255, map[c].Red, map[c].Green, map[c].Blue) : 0xFF000000u;
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* src = image.raster.data() + size_t(y - image.top) * size_t(image.width);
            auto* dst = reinterpret_cast<uint32_t*>(rowOf(canvas, int32_t(y)));
            for (int64_t x = x0; x < x1; ++x) {
                uint8_t index = src[x - image.left];
                if (index != gcb.TransparentColor)
                    dst[x] = colors[index];
            }
        }
        // Every frame carries the whole delay list, so frames are charged for their
        // properties too: a file of many tiny frames would otherwise grow quadratically.
        if (!takePixels(screenW * screenH + int64_t(propertyBytes / 4) + 64))
            fail(OutOfMemory);
        FrameData frame = canvas;
        frame.properties = props;
        out.frames.push_back(std::move(frame));
        if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
            // Disposal to background clears to transparent, as browsers show it.
            for (int64_t y = y0; y < y1; ++y)
                std::memset(rowOf(canvas, int32_t(y)) + 4 * x0, 0, size_t(x1 - x0) * 4);
        } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
            canvas.pixels = saved;
        }
    }
}

} // namespace gp::codec
