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

const ColorMapObject* paletteOf(const GifFileType* gif, const SavedImage& image) {
    return image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
}

void addProperties(const GifFileType* gif, const std::vector<uint32_t>& delays,
                   std::vector<PropertyItem>& props) {
    props.push_back(makeItem(0x5100, PropertyTagTypeLong, delays.data(), delays.size() * 4));
    // Loop count from the NETSCAPE2.0 application extension; 0 (for ever) when absent.
    uint16_t loops = 0;
    std::string comment;
    auto scan = [&](const ExtensionBlock* blocks, int count) {
        for (int i = 0; i < count; ++i) {
            const ExtensionBlock& b = blocks[i];
            if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
                std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0 && i + 1 < count &&
                blocks[i + 1].Function == CONTINUE_EXT_FUNC_CODE && blocks[i + 1].ByteCount >= 3 &&
                blocks[i + 1].Bytes[0] == 1)
                loops = uint16_t(blocks[i + 1].Bytes[1] | blocks[i + 1].Bytes[2] << 8);
            if (b.Function == COMMENT_EXT_FUNC_CODE) {
                comment.append(reinterpret_cast<const char*>(b.Bytes), size_t(b.ByteCount));
                // Sub-blocks of one comment follow as continuation blocks.
                for (int j = i + 1; j < count && blocks[j].Function == CONTINUE_EXT_FUNC_CODE; ++j)
                    comment.append(reinterpret_cast<const char*>(blocks[j].Bytes),
                                   size_t(blocks[j].ByteCount));
            }
        }
    };
    for (int i = 0; i < gif->ImageCount; ++i)
        scan(gif->SavedImages[i].ExtensionBlocks, gif->SavedImages[i].ExtensionBlockCount);
    scan(gif->ExtensionBlocks, gif->ExtensionBlockCount);
    props.push_back(makeShort(0x5101, loops));
    if (gif->SColorMap) {
        std::vector<uint8_t> rgb;
        for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
            const GifColorType& c = gif->SColorMap->Colors[i];
            rgb.insert(rgb.end(), {c.Red, c.Green, c.Blue});
        }
        props.push_back(makeItem(0x5102, PropertyTagTypeByte, rgb.data(), rgb.size()));
    }
    uint8_t background = uint8_t(gif->SBackGroundColor);
    props.push_back(makeItem(0x5103, PropertyTagTypeByte, &background, 1));
    GraphicsControlBlock gcb{};
    if (gif->ImageCount > 0 &&
        DGifSavedExtensionToGCB(const_cast<GifFileType*>(gif), 0, &gcb) == GIF_OK &&
        gcb.TransparentColor != NO_TRANSPARENT_COLOR) {
        uint8_t t = uint8_t(gcb.TransparentColor);
        props.push_back(makeItem(0x5104, PropertyTagTypeByte, &t, 1));
    }
    if (!comment.empty()) {
        // The "ASCII\0\0\0" character-code prefix of EXIF user comments keeps readers that
        // skip eight bytes of header from cutting the text.
        std::vector<uint8_t> value(8 + comment.size(), 0);
        std::memcpy(value.data(), "ASCII", 5);
        std::memcpy(value.data() + 8, comment.data(), comment.size());
        props.push_back(makeItem(0x9286, PropertyTagTypeUndefined, value.data(), value.size()));
    }
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
    if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1)
        fail(error == D_GIF_ERR_NOT_ENOUGH_MEM ? OutOfMemory : UnknownImageFormat);

    const int count = gif->ImageCount;
    std::vector<uint32_t> delays(size_t(count), 0);
    std::vector<GraphicsControlBlock> controls(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        GraphicsControlBlock& gcb = controls[size_t(i)];
        gcb = GraphicsControlBlock{0, false, 0, NO_TRANSPARENT_COLOR};
        DGifSavedExtensionToGCB(gif, i, &gcb);
        delays[size_t(i)] = uint32_t(std::max(gcb.DelayTime, 0));
        if (!paletteOf(gif, gif->SavedImages[i]))
            fail(); // no palette to read the indices through
    }
    std::vector<PropertyItem> props;
    addProperties(gif, delays, props);
    out.frameDimension = FrameDimensionTime;

    auto clip = [&](const GifImageDesc& d, int64_t& x0, int64_t& y0, int64_t& x1, int64_t& y1) {
        x0 = std::clamp<int64_t>(d.Left, 0, screenW);
        y0 = std::clamp<int64_t>(d.Top, 0, screenH);
        x1 = std::clamp<int64_t>(int64_t(d.Left) + d.Width, 0, screenW);
        y1 = std::clamp<int64_t>(int64_t(d.Top) + d.Height, 0, screenH);
    };

    if (count == 1) {
        const SavedImage& image = gif->SavedImages[0];
        const ColorMapObject* map = paletteOf(gif, image);
        const int transparent = controls[0].TransparentColor;
        FrameData frame;
        allocateFrame(frame, screenW, screenH, PixelFormat8bppIndexed);
        for (int i = 0; i < map->ColorCount; ++i) {
            const GifColorType& c = map->Colors[i];
            frame.palette.entries.push_back(
                makeArgb(i == transparent ? 0 : 255, c.Red, c.Green, c.Blue));
        }
        if (transparent >= 0 && transparent < map->ColorCount)
            frame.palette.flags |= PaletteFlagsHasAlpha;
        // Uncovered screen area shows the transparent entry, or the background one.
        uint8_t fill = uint8_t(transparent >= 0 ? transparent : gif->SBackGroundColor);
        std::fill(frame.pixels.begin(), frame.pixels.end(), fill);
        int64_t x0, y0, x1, y1;
        clip(image.ImageDesc, x0, y0, x1, y1);
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* src = image.RasterBits +
                                 size_t(y - image.ImageDesc.Top) * size_t(image.ImageDesc.Width) +
                                 size_t(x0 - image.ImageDesc.Left);
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
    for (int i = 0; i < count; ++i) {
        const SavedImage& image = gif->SavedImages[i];
        const GraphicsControlBlock& gcb = controls[size_t(i)];
        const ColorMapObject* map = paletteOf(gif, image);
        int64_t x0, y0, x1, y1;
        clip(image.ImageDesc, x0, y0, x1, y1);
        if (gcb.DisposalMode == DISPOSE_PREVIOUS)
            saved = canvas.pixels;
        uint32_t colors[256];
        for (int c = 0; c < 256; ++c) {
            if (c < map->ColorCount) {
                const GifColorType& e = map->Colors[c];
                colors[c] = makeArgb(255, e.Red, e.Green, e.Blue);
            } else {
                colors[c] = 0xFF000000u;
            }
        }
        for (int64_t y = y0; y < y1; ++y) {
            const uint8_t* src =
                image.RasterBits + size_t(y - image.ImageDesc.Top) * size_t(image.ImageDesc.Width);
            auto* dst = reinterpret_cast<uint32_t*>(rowOf(canvas, int32_t(y)));
            for (int64_t x = x0; x < x1; ++x) {
                uint8_t index = src[x - image.ImageDesc.Left];
                if (index != gcb.TransparentColor)
                    dst[x] = colors[index];
            }
        }
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
