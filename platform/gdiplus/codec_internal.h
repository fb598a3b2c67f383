#pragma once

// Internals shared by the decoders and encoders: one entry point per format, frame allocation,
// standard palettes, byte readers and the row converter encoders use to read any pixel format.

#include "platform/gdiplus/codec_registry.h"
#include "platform/gdiplus/types.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace gp::codec {

using Bytes = std::span<const uint8_t>;

// Frame dimension GUIDs.
inline constexpr win::Guid FrameDimensionTime{
    0x6AEDBD6D, 0x3FB5, 0x418A, {0x83, 0xA6, 0x7F, 0x45, 0x22, 0x9D, 0xC8, 0x72}};
inline constexpr win::Guid FrameDimensionPage{
    0x7462DC86, 0x6180, 0x4C7E, {0x8E, 0x3F, 0xEE, 0x73, 0x33, 0xA7, 0xA4, 0x83}};

// Decoders never allocate frames above this many pixels: such headers are corrupt or hostile.
inline constexpr int64_t kMaxPixels = int64_t(1) << 30;

// What is left of the current decode's pixel allowance (DecodeOptions::maxPixels); every
// frame a decoder allocates is charged to it. False, with nothing charged, when the frame
// does not fit. The allowance belongs to the calling thread's decode.
bool takePixels(int64_t count);
void resetPixelAllowance(int64_t count);

// Thrown inside a codec to abandon it; the registry turns it into the status.
struct CodecError {
    Status status;
};
[[noreturn]] inline void fail(Status status = UnknownImageFormat) {
    throw CodecError{status};
}

// Row bytes rounded up to 4 bytes, as frames the layer allocates use.
inline int32_t strideFor(int32_t width, PixelFormat format) {
    return int32_t(((int64_t(width) * bitsPerPixel(format) + 31) / 32) * 4);
}

// Sizes `frame` (zero-filled pixels, stride rounded to 4). Fails with OutOfMemory for absurd
// sizes and UnknownImageFormat for non-positive ones.
void allocateFrame(FrameData& frame, int64_t width, int64_t height, PixelFormat format);

inline uint8_t* rowOf(FrameData& frame, int32_t y) {
    return frame.pixels.data() + size_t(y) * size_t(frame.stride);
}
inline const uint8_t* rowOf(const FrameData& frame, int32_t y) {
    return frame.pixels.data() + size_t(y) * size_t(frame.stride);
}

Palette greyPalette(int entries, bool inverted = false); // ramp 0..255 over `entries`
Palette halftonePalette256();                            // 6x6x6 cube + greys
Palette halftonePalette16();                             // the 16-colour VGA set

inline ARGB makeArgb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return (ARGB(a) << 24) | (ARGB(r) << 16) | (ARGB(g) << 8) | ARGB(b);
}

// Nearest palette entry by squared B,G,R distance, the first minimum winning.
int nearestIndex(const Palette& palette, uint8_t r, uint8_t g, uint8_t b);

// True when the palette is the 256-entry identity grey ramp.
bool isGreyRamp(const Palette& palette);

// Converts one row of `frame` into B,G,R,A bytes (straight alpha), `frame.width` pixels.
void rowToBgra(const FrameData& frame, int32_t y, uint8_t* out);

// Checks that a frame handed to an encoder is self-consistent.
bool frameIsValid(const FrameData& frame);

// Little/big-endian readers over a bounded buffer; reads past the end fail.
struct Reader {
    Bytes data;
    size_t pos = 0;
    bool bigEndian = false;

    bool has(size_t n) const { return pos <= data.size() && data.size() - pos >= n; }
    uint8_t u8() {
        if (!has(1))
            fail();
        return data[pos++];
    }
    uint16_t u16() {
        if (!has(2))
            fail();
        uint16_t v = bigEndian ? uint16_t(data[pos] << 8 | data[pos + 1])
                               : uint16_t(data[pos] | data[pos + 1] << 8);
        pos += 2;
        return v;
    }
    uint32_t u32() {
        if (!has(4))
            fail();
        uint32_t v = bigEndian ? (uint32_t(data[pos]) << 24 | uint32_t(data[pos + 1]) << 16 |
                                  uint32_t(data[pos + 2]) << 8 | data[pos + 3])
                               : (uint32_t(data[pos]) | uint32_t(data[pos + 1]) << 8 |
                                  uint32_t(data[pos + 2]) << 16 | uint32_t(data[pos + 3]) << 24);
        pos += 4;
        return v;
    }
    int32_t s32() { return int32_t(u32()); }
};

// Appends little-endian values.
inline void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}

PropertyItem makeItem(uint32_t id, uint16_t type, const void* data, size_t size);
PropertyItem makeAscii(uint32_t id, const std::string& text); // NUL-terminated
PropertyItem makeLong(uint32_t id, uint32_t value);
PropertyItem makeShort(uint32_t id, uint16_t value);
PropertyItem makeRational(uint32_t id, uint32_t num, uint32_t den);
const PropertyItem* findItem(const std::vector<PropertyItem>& items, uint32_t id);

// Per-format entry points.
void decodeBmp(Bytes bytes, DecodedImage& out);
void decodeGif(Bytes bytes, DecodedImage& out);
void decodeJpeg(Bytes bytes, DecodedImage& out, const DecodeOptions& options);
void decodePng(Bytes bytes, DecodedImage& out, const DecodeOptions& options);
void decodeTiff(Bytes bytes, DecodedImage& out, const DecodeOptions& options);
void decodeIcon(Bytes bytes, DecodedImage& out);

// Reads the BMP pixel payload that follows a BITMAPINFOHEADER-family header (the core of
// both the BMP and the ICO decoders). `header` starts at the info header; `bits` is where
// the pixels start, or a null span when they follow the colour table (then the return value
// is their offset in `header`). `heightOverride` is used by icons, whose header height
// counts the mask, and makes 32-bit pixels keep their alpha.
size_t decodeDib(Bytes header, Bytes bits, FrameData& frame, int32_t heightOverride);

struct EncodeSettings {
    int quality = 75;
    int compression = 0; // 0 = the default
    int colorDepth = 0;  // 0 = the frame's own
};

void encodeBmp(const FrameData& frame, std::vector<uint8_t>& out);
void encodeJpeg(const FrameData& frame, const EncodeSettings& settings, std::vector<uint8_t>& out);
void encodeGif(const FrameData& frame, std::vector<uint8_t>& out);
void encodeTiff(const FrameData& frame, const EncodeSettings& settings, std::vector<uint8_t>& out);
void encodePng(const FrameData& frame, std::vector<uint8_t>& out);

// Converts RGB(A) pixels of a frame in place from an ICC profile to sRGB. Leaves frames of
// other formats, and frames whose profile lcms2 cannot use, unchanged.
void applyIccToSrgb(FrameData& frame, Bytes profile);

// Converts CMYK pixels (4 bytes each; inverted, 0 = full ink, as Adobe writes them, when
// `inverted`) to B,G,R through an embedded CMYK profile. valid() is false when the profile
// is not a CMYK profile lcms2 can use.
class CmykTransform {
public:
    CmykTransform(Bytes profile, bool inverted);
    ~CmykTransform();
    CmykTransform(const CmykTransform&) = delete;
    CmykTransform& operator=(const CmykTransform&) = delete;
    bool valid() const { return m_transform != nullptr; }
    void run(const uint8_t* cmyk, uint8_t* bgr, int32_t pixels) const;

private:
    void* m_context = nullptr;
    void* m_transform = nullptr;
};

} // namespace gp::codec
