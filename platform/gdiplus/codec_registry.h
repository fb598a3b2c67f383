#pragma once

// The codec registry: recognises image content, decodes it into frames, and lists and runs the
// built-in encoders. Everything here works on bytes in memory; streams and files are the
// caller's business (images are decoded eagerly, so a loader reads its whole input first).
//
// Thread safety: every function may be called from any thread at the same time. The metafile
// reader hook is process-wide and is meant to be installed once at start-up.

#include "platform/gdiplus/types.h"

#include <cstdint>
#include <span>
#include <vector>

namespace gp {

// ---------------------------------------------------------------------------------------------
// Content sniffing

enum class ImageKind {
    Unknown,
    Bmp,
    Gif,
    Jpeg,
    Png,
    Tiff,
    Icon, // ICO (type 1) or CUR (type 2)
    Wmf,  // placeable WMF (key 0x9AC6CDD7)
    Emf,  // EMF (EMR_HEADER with the " EMF" signature)
};

// Recognises the format from the first bytes of the content, never from a file name. Needs
// at most the first 44 bytes; shorter input is judged on what is there.
ImageKind sniffImageKind(std::span<const uint8_t> bytes);

// The raw-format GUID of a kind (ImageFormatUndefined for Unknown).
win::Guid rawFormatOf(ImageKind kind);

// ---------------------------------------------------------------------------------------------
// Decoding

struct DecodeOptions {
    // When set and the content embeds an ICC profile (JPEG APP2, PNG iCCP, TIFF tag 34675),
    // 24/32-bit RGB and CMYK pixels are converted from that profile to sRGB (lcms2). Indexed,
    // grey and 16-bit-per-channel frames are left as they are. Without a profile the ICM
    // variants decode exactly as the plain ones.
    bool applyIcm = false;

    // The most pixels one decode may produce over all its frames together (an animation
    // composes every frame at full screen size). Content needing more fails with OutOfMemory
    // before the memory is taken. 0 takes the process-wide default (defaultMaxPixels).
    int64_t maxPixels = 0;
};

// The pixel allowance of decodes that do not set their own: initially 2^30 (4 GiB of
// 32-bit pixels). A value of 0 or less restores that; larger values are clamped to it.
// Meant for hosts (and fuzzers) that must bound what a small file can make them allocate.
void setDefaultMaxPixels(int64_t pixels);
int64_t defaultMaxPixels();

// Decodes every frame of `bytes` into `out` (rows top-down). Frames have the dimension of
// their container: time for GIF, page for TIFF, zero GUID for single-frame formats. A
// resolution the content does not give is 96 dpi. 8-bit grey becomes 8bppIndexed with the
// 256-entry identity grey palette (flag GrayScale).
//
// Returns Ok; UnknownImageFormat for content no decoder recognises and for recognised content
// that is truncated or corrupt (out is then left empty); OutOfMemory when the frame buffers
// cannot be allocated or the declared size is absurd (over 1 Gi pixels); InvalidParameter for
// empty input. Metafiles go to the installed metafile reader; without one they give
// UnknownImageFormat. Never throws.
Status decodeImage(std::span<const uint8_t> bytes, DecodedImage& out,
                   const DecodeOptions& options = {});

// The hook through which the metafile layer reads placeable WMF and EMF content. It receives
// the whole content and the sniffed kind (Wmf or Emf) and fills `out` like a decoder (the
// raw format WMF/EMF). Install a null pointer to remove it.
using MetafileReader = Status (*)(std::span<const uint8_t> bytes, ImageKind kind,
                                  DecodedImage& out);
void setMetafileReader(MetafileReader reader);
MetafileReader metafileReader();

// ---------------------------------------------------------------------------------------------
// Encoder parameters (the flat layout callers pass to the save functions)

// Parameter categories.
inline constexpr win::Guid EncoderQuality{
    0x1D5BE4B5, 0xFA4A, 0x452D, {0x9C, 0xDD, 0x5D, 0xB3, 0x51, 0x05, 0xE7, 0xEB}};
inline constexpr win::Guid EncoderCompression{
    0xE09D739D, 0xCCD4, 0x44EE, {0x8E, 0xBA, 0x3F, 0xBF, 0x8B, 0xE4, 0xFC, 0x58}};
inline constexpr win::Guid EncoderColorDepth{
    0x66087055, 0xAD66, 0x4C7C, {0x9A, 0x18, 0x38, 0xA2, 0x31, 0x0B, 0x83, 0x37}};
inline constexpr win::Guid EncoderSaveFlag{
    0x292266FC, 0xAC40, 0x47BF, {0x8C, 0xFC, 0xA8, 0x5B, 0x89, 0xA6, 0x55, 0xDE}};

// Parameter value types.
enum EncoderParameterValueType : uint32_t {
    EncoderParameterValueTypeByte = 1,
    EncoderParameterValueTypeASCII = 2,
    EncoderParameterValueTypeShort = 3,
    EncoderParameterValueTypeLong = 4,
    EncoderParameterValueTypeRational = 5,
    EncoderParameterValueTypeLongRange = 6,
    EncoderParameterValueTypeUndefined = 7,
    EncoderParameterValueTypeRationalRange = 8,
};

// Values of the Compression parameter (and of SaveFlag, which only a multi-frame save uses).
enum EncoderValue : uint32_t {
    EncoderValueCompressionLZW = 2,
    EncoderValueCompressionCCITT3 = 3,
    EncoderValueCompressionCCITT4 = 4,
    EncoderValueCompressionRle = 5,
    EncoderValueCompressionNone = 6,
    EncoderValueMultiFrame = 18,
    EncoderValueLastFrame = 19,
    EncoderValueFlush = 20,
    EncoderValueFrameDimensionPage = 23,
};

struct EncoderParameter {
    win::Guid Guid;
    uint32_t NumberOfValues = 0;
    uint32_t Type = 0;
    void* Value = nullptr;
};

// A counted block: `Count` entries follow in place (the declared array of one is the
// conventional variable-length tail). Allocate sizeof(EncoderParameters) +
// (Count - 1) * sizeof(EncoderParameter) bytes.
struct EncoderParameters {
    uint32_t Count = 0;
    EncoderParameter Parameter[1];
};

// ---------------------------------------------------------------------------------------------
// Encoders

// ImageCodecInfo flags.
inline constexpr uint32_t ImageCodecFlagsEncoder = 0x1;
inline constexpr uint32_t ImageCodecFlagsDecoder = 0x2;
inline constexpr uint32_t ImageCodecFlagsSupportBitmap = 0x4;
inline constexpr uint32_t ImageCodecFlagsSupportVector = 0x8;
inline constexpr uint32_t ImageCodecFlagsBuiltin = 0x10000;

// One encoder as the encoder list reports it. Texts are UTF-8 literals with static storage;
// the object layer converts them into the UTF-16 record it hands out.
struct CodecInfo {
    win::Guid clsid;
    win::Guid formatId;            // the raw-format GUID the encoder writes
    const char* codecName;         // "Built-in BMP Codec", ...
    const char* formatDescription; // "BMP", "JPEG", "GIF", "TIFF", "PNG"
    const char* filenameExtension; // "*.BMP;*.DIB;*.RLE", ...
    const char* mimeType;          // "image/bmp", ...
    uint32_t flags;
    uint32_t version;
    uint32_t sigCount; // signature patterns, each sigSize bytes, with masks
    uint32_t sigSize;
    const uint8_t* sigPattern;
    const uint8_t* sigMask;
};

// The built-in encoders in list order: BMP, JPEG, GIF, TIFF, PNG. Class ids are unique and
// no extension pattern appears twice.
std::span<const CodecInfo> encoderList();

// The encoder entry with this class id, or null.
const CodecInfo* findEncoder(const win::Guid& clsid);

// Encodes one frame (the active frame of an image) with the encoder of class id `clsid`.
// `params` may be null. Understood parameters:
//   - Quality (JPEG): Long 0..100, larger values clamp to 100, negative ones to 0; default 75.
//   - Compression (TIFF): Long 2 LZW, 3 CCITT3, 4 CCITT4, 5 RLE, 6 None. CCITT3/4 and RLE
//     need 1-bpp output (else InvalidParameter). Default: CCITT4 for 1-bpp output, else LZW.
//   - ColorDepth (TIFF): Long 1, 4, 8, 24 or 32 (else InvalidParameter). 1 converts by a
//     luminance threshold; 4 and 8 keep the frame's own palette when the depth matches, else
//     map onto the halftone palette; 24 drops alpha; 32 writes ARGB.
// Other parameters, and parameters of a type other than Long, are ignored. Property items
// are written back where the format has room for them (JPEG EXIF/ICC, PNG text/gamma, TIFF
// tags), except the structural tags the encoder regenerates; no tag ever makes a save fail.
//
// Returns Ok with `out` holding the file bytes; InvalidParameter for an unknown class id,
// an invalid parameter value or a frame whose size, stride or pixel buffer does not add up;
// OutOfMemory; GenericError when the underlying library fails. Never throws.
Status encodeImage(const win::Guid& clsid, const FrameData& frame, const EncoderParameters* params,
                   std::vector<uint8_t>& out);

} // namespace gp
