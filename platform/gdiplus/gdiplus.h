#pragma once

// The GDI+ flat API of the layer: session, image objects, pixel access, frames, palettes
// and property items. Drawing, graphics and metafiles have their own headers.
//
// Conventions shared by every call:
// - Images are 32-bit handle values (`GpImage`; a `GpBitmap` is a `GpImage` that is a
//   bitmap). 0, a disposed or a forged handle answers InvalidParameter; nothing is
//   dereferenced.
// - Every call returns a `Status`; no exception leaves a call.
// - Calls that create objects answer GdiplusNotInitialized (18) while the layer is not
//   started (before the first GdiplusStartup or after the last GdiplusShutdown).
// - An object is used by one thread at a time; the session and the handle table are
//   shared by all threads.

#include "platform/gdiplus/codec_registry.h"
#include "platform/gdiplus/types.h"
#include "platform/win/stream.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace gp {

using GpImage = uint32_t;
using GpBitmap = GpImage;
using REAL = float;
using BOOL = int32_t;
using UINT = uint32_t;
using PROPID = uint32_t;

// ---------------------------------------------------------------------------------------
// Session

struct GdiplusStartupInput {
    UINT GdiplusVersion = 1;            // 1 (or 2); anything else: 17
    void* DebugEventCallback = nullptr; // never called
    BOOL SuppressBackgroundThread = 0;  // needs an output record to hand back hooks
    BOOL SuppressExternalCodecs = 0;    // accepted, no effect
};

using NotificationHookProc = Status (*)(uintptr_t* token);
using NotificationUnhookProc = void (*)(uintptr_t token);

struct GdiplusStartupOutput {
    NotificationHookProc NotificationHook = nullptr;
    NotificationUnhookProc NotificationUnhook = nullptr;
};

// Takes one reference on the process-wide session and hands back a non-zero token that
// names it. Null token or input: 2; an unknown version: 17; SuppressBackgroundThread
// without an output record: 2. The output record is optional.
Status GdiplusStartup(uintptr_t* token, const GdiplusStartupInput* input,
                      GdiplusStartupOutput* output);

// Drops the reference named by the token. An unknown or repeated token is ignored.
// When the last reference goes the layer is no longer started; objects already made stay
// valid until they are disposed.
void GdiplusShutdown(uintptr_t token);

// malloc and free. A block from GdipAlloc may serve as a bitmap's pixel memory
// (GdipCreateBitmapFromScan0); the bitmap never frees it, GdipFree does. Null is
// accepted by GdipFree.
void* GdipAlloc(size_t size);
void GdipFree(void* ptr);

// ---------------------------------------------------------------------------------------
// Creation and disposal

// Makes a bitmap of width x height pixels in `format` (any format of types.h).
// - scan0 null: the bitmap owns a zero-filled store (32bppARGB: transparent black) with
//   rows padded to 4 bytes; `stride` is ignored.
// - scan0 given: the caller's memory is used in place (never copied, never freed); rows
//   are `stride` bytes apart, a negative stride for bottom-up memory, |stride| at least
//   the row bytes; stride 0 means the 4-byte aligned row size.
// Indexed formats start with the default palette of their depth. DPI 96, raw format
// MemoryBMP. Not started: 18. Null output, width or height below 1, an unknown format
// or a too small stride: 2. A store that cannot be allocated: 3.
Status GdipCreateBitmapFromScan0(int32_t width, int32_t height, int32_t stride, PixelFormat format,
                                 uint8_t* scan0, GpBitmap* bitmap);

// Destroys the image and its owned store (never a caller's memory). Unknown handle: 2.
Status GdipDisposeImage(GpImage image);

// ---------------------------------------------------------------------------------------
// Copies and derived images

// A deep copy: every frame (owning its pixels, also when the original uses a caller's
// memory), the active frame, palettes, property items, DPI and raw format. Not started:
// 18; unknown image or null output: 2.
Status GdipCloneImage(GpImage image, GpImage* clone);

// Copies the rectangle of the active frame, converted to `format` (0 keeps the source
// format), into a new bitmap with raw format MemoryBMP and the source's DPI; property
// items are not copied. An indexed target takes the source palette when the source is
// indexed and the palette fits, else the default palette of the target. A rectangle not
// inside the frame, an empty one or an unknown format: 2. Not started: 18.
Status GdipCloneBitmapAreaI(int32_t x, int32_t y, int32_t width, int32_t height, PixelFormat format,
                            GpBitmap source, GpBitmap* clone);
// The same with real coordinates, which are rounded to the nearest integer.
Status GdipCloneBitmapArea(REAL x, REAL y, REAL width, REAL height, PixelFormat format,
                           GpBitmap source, GpBitmap* clone);

using GetThumbnailImageAbort = BOOL (*)(void* data);

// A scaled copy of the active frame at width x height (0 x 0 gives 120 x 120), filtered
// with the high-quality bicubic filter, in 32bppPARGB with raw format MemoryBMP and the
// source's DPI. Embedded thumbnails are not used. The abort
// callback is not called. Not started: 18; unknown image or null output: 2.
Status GdipGetImageThumbnail(GpImage image, UINT width, UINT height, GpImage* thumbnail,
                             GetThumbnailImageAbort callback, void* callbackData);

enum RotateFlipType : int32_t {
    RotateNoneFlipNone = 0,
    Rotate90FlipNone = 1,
    Rotate180FlipNone = 2,
    Rotate270FlipNone = 3,
    RotateNoneFlipX = 4,
    Rotate90FlipX = 5,
    Rotate180FlipX = 6,
    Rotate270FlipX = 7,
    // Aliases GDI+ defines.
    RotateNoneFlipY = Rotate180FlipX,
    Rotate90FlipY = Rotate270FlipX,
    Rotate180FlipY = RotateNoneFlipX,
    Rotate270FlipY = Rotate90FlipX,
    RotateNoneFlipXY = Rotate180FlipNone,
    Rotate90FlipXY = Rotate270FlipNone,
    Rotate180FlipXY = RotateNoneFlipNone,
    Rotate270FlipXY = Rotate90FlipNone,
};

// Rotates clockwise, then flips horizontally for the FlipX types; every pixel format.
// 90 and 270 degrees swap width and height and the two resolutions. The result goes into
// a new owned store (never into a caller's memory), except for type 0, which changes
// nothing. A multi-frame image keeps only its active frame. Unknown image or a type
// outside 0..7: 2; a locked image: 4; a metafile: 6.
Status GdipImageRotateFlip(GpImage image, RotateFlipType type);

// ---------------------------------------------------------------------------------------
// Information (all of the active frame)

enum ImageFlags : UINT {
    ImageFlagsNone = 0,
    ImageFlagsScalable = 0x0001,
    ImageFlagsHasAlpha = 0x0002,
    ImageFlagsHasTranslucent = 0x0004,
    ImageFlagsPartiallyScalable = 0x0008,
    ImageFlagsColorSpaceRGB = 0x0010,
    ImageFlagsColorSpaceCMYK = 0x0020,
    ImageFlagsColorSpaceGRAY = 0x0040,
    ImageFlagsColorSpaceYCBCR = 0x0080,
    ImageFlagsColorSpaceYCCK = 0x0100,
    ImageFlagsHasRealDPI = 0x1000,
    ImageFlagsHasRealPixelSize = 0x2000,
    ImageFlagsReadOnly = 0x00010000,
    ImageFlagsCaching = 0x00020000,
};

enum Unit : int32_t {
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6,
};

struct RectF {
    REAL X = 0, Y = 0, Width = 0, Height = 0;
};

// Each getter answers 2 for an unknown image or a null output.
Status GdipGetImageWidth(GpImage image, UINT* width);
Status GdipGetImageHeight(GpImage image, UINT* height);
Status GdipGetImageHorizontalResolution(GpImage image, REAL* dpi);
Status GdipGetImageVerticalResolution(GpImage image, REAL* dpi);
Status GdipGetImagePixelFormat(GpImage image, PixelFormat* format);
Status GdipGetImageRawFormat(GpImage image, win::Guid* format);
Status GdipGetImageFlags(GpImage image, UINT* flags);
Status GdipGetImageType(GpImage image, int32_t* type); // ImageType of image_object.h
// Bitmaps: the size in pixels. Metafiles: the size in hundredths of a millimetre.
Status GdipGetImageDimension(GpImage image, REAL* width, REAL* height);
// The bounds in pixels (unit UnitPixel) at the origin.
Status GdipGetImageBounds(GpImage image, RectF* bounds, Unit* unit);

// Sets the DPI of the active frame. Both values must be above 0; a metafile or an
// unknown image: 2.
Status GdipBitmapSetResolution(GpBitmap bitmap, REAL xdpi, REAL ydpi);

// Images are decoded when they are made, so a live image is always valid: Ok; an
// unknown image: 2.
Status GdipImageForceValidation(GpImage image);

// ---------------------------------------------------------------------------------------
// Frames

// Frame dimensions: time (GIF frames), page (TIFF pages), resolution (not used).
inline constexpr win::Guid FrameDimensionTime{
    0x6AEDBD6Du, 0x3FB5, 0x418A, {0x83, 0xA6, 0x7F, 0x45, 0x22, 0x9D, 0xC8, 0x72}};
inline constexpr win::Guid FrameDimensionPage{
    0x7462DC86u, 0x6180, 0x4C7E, {0x8E, 0x3F, 0xEE, 0x73, 0x33, 0xA7, 0xA4, 0x83}};
inline constexpr win::Guid FrameDimensionResolution{
    0x84236F7Bu, 0x3BD3, 0x428F, {0x8D, 0xAB, 0x4E, 0xA1, 0x43, 0x9C, 0xA3, 0x15}};

// Every image has exactly one dimension: time or page as decoded; an image decoded
// without one has time when it is a GIF and page otherwise. The list call needs count 1.
Status GdipImageGetFrameDimensionsCount(GpImage image, UINT* count);
Status GdipImageGetFrameDimensionsList(GpImage image, win::Guid* dimensions, UINT count);

// The number of frames in the image's own dimension; another dimension, an unknown
// image or null arguments: 2.
Status GdipImageGetFrameCount(GpImage image, const win::Guid* dimension, UINT* count);

// Makes frame `index` active: size, format, palette, DPI and property items are then
// that frame's. Index out of range, another dimension or an unknown image: 2; a locked
// image: 4.
Status GdipImageSelectActiveFrame(GpImage image, const win::Guid* dimension, UINT index);

// ---------------------------------------------------------------------------------------
// Palettes

// Flags, Count and then Count entries: a record of 8 + 4 x Count bytes.
struct ColorPalette {
    UINT Flags;
    UINT Count;
    ARGB Entries[1];
};

// 8 + 4 x entries of the active frame's palette; 8 for a non-indexed frame, which
// always reports an empty palette (Count 0).
Status GdipGetImagePaletteSize(GpImage image, int32_t* size);
// Fills `palette`; a size below GdipGetImagePaletteSize's answer: 2.
Status GdipGetImagePalette(GpImage image, ColorPalette* palette, int32_t size);
// Indexed frames take 1 to 2^bpp entries (else 2). Non-indexed frames keep the palette
// without using it (Ok). Other frames keep theirs. A metafile: 2.
Status GdipSetImagePalette(GpImage image, const ColorPalette* palette);

// ---------------------------------------------------------------------------------------
// Property items (of the active frame), in decoder order followed by appended items

// The flat-API form of a property item. In buffers filled by the layer `value` points
// into the same buffer, behind the header(s).
struct GdipPropertyItem {
    PROPID id;
    uint32_t length; // bytes of value
    uint16_t type;   // PropertyTagType
    void* value;
};

Status GdipGetPropertyCount(GpImage image, UINT* count);
// `count` must equal the property count, else 2.
Status GdipGetPropertyIdList(GpImage image, UINT count, PROPID* list);
// sizeof(GdipPropertyItem) + the value length; an absent id: 19.
Status GdipGetPropertyItemSize(GpImage image, PROPID id, UINT* size);
// Header then value in one buffer of at least the item size (else 2); absent id: 19.
Status GdipGetPropertyItem(GpImage image, PROPID id, UINT size, GdipPropertyItem* buffer);
// Every item: `count` headers followed by all values.
Status GdipGetPropertySize(GpImage image, UINT* totalBufferSize, UINT* count);
Status GdipGetAllPropertyItems(GpImage image, UINT totalBufferSize, UINT count,
                               GdipPropertyItem* items);
// Replaces the item with the same id in its place, else appends. Types 1..12; a value
// is required when the length is above 0 (else 2). Metafiles: 20.
Status GdipSetPropertyItem(GpImage image, const GdipPropertyItem* item);
// An absent id: 19.
Status GdipRemovePropertyItem(GpImage image, PROPID id);

// ---------------------------------------------------------------------------------------
// Pixel access

enum ImageLockMode : UINT {
    ImageLockModeRead = 1,
    ImageLockModeWrite = 2,
    ImageLockModeUserInputBuf = 4,
};

struct Rect {
    int32_t X = 0, Y = 0, Width = 0, Height = 0;
};

struct BitmapData {
    UINT Width;
    UINT Height;
    int32_t Stride;
    gp::PixelFormat PixelFormat;
    void* Scan0;
    uintptr_t Reserved;
};

// Locks a rectangle of the active frame (null: the whole frame) for reading, writing or
// both, in `format`.
// - ImageLockModeUserInputBuf: the caller's Scan0 and Stride are used (any |Stride| at
//   least the row bytes); its Width and Height are ignored. A read fills the buffer; a
//   write-only lock leaves it as the caller filled it.
// - Otherwise the layer supplies the buffer: in the frame's own format (and, for 1 and
//   4 bpp, when the rectangle starts on a byte) a pointer into the frame's rows, so a
//   read of the whole frame returns the store's own first row; else a temporary buffer
//   holding the converted current pixels, also for a write-only lock.
// - 1 and 4 bpp buffers start with the rectangle's first pixel in the top bits of byte 0.
// - An indexed lock format other than the frame's own uses the frame's palette when the
//   frame is indexed and its palette fits, else the default palette of that format.
// A write lock of a multi-frame image keeps only the active frame. Unknown image, a
// metafile, a rectangle not inside the frame, no read or write flag, an unknown format,
// a null record or (UserInputBuf) a null Scan0 or a short stride: 2. A second lock: 4.
Status GdipBitmapLockBits(GpBitmap bitmap, const Rect* rect, UINT flags, PixelFormat format,
                          BitmapData* lockedData);

// Ends the lock. After a write lock the buffer is converted into the frame over the
// rectangle only; pixels outside it (also bits sharing its first or last byte) stay.
// Not locked, unknown image or null record: 2.
Status GdipBitmapUnlockBits(GpBitmap bitmap, BitmapData* lockedData);

// ---------------------------------------------------------------------------------------
// Loading. Files and streams are read completely and decoded at once; nothing stays open.
// The decoder is chosen by the content (BMP, GIF, JPEG, PNG, TIFF, ICO, placeable WMF, EMF),
// never by the file name. Metafile content becomes a rasterised bitmap whose raw format
// stays WMF or EMF. The ICM variants convert pixels from an embedded ICC profile to sRGB;
// without a profile they decode as the plain calls do.
//
// Statuses: not started 18; null output or stream 2; a file that cannot be opened 10; a
// stream that cannot be read 7; content no decoder takes, truncated or corrupt 13;
// frames too large to allocate 3.

Status GdipCreateBitmapFromFile(const std::string& path, GpBitmap* bitmap);
Status GdipCreateBitmapFromFileICM(const std::string& path, GpBitmap* bitmap);
Status GdipLoadImageFromFile(const std::string& path, GpImage* image);
Status GdipLoadImageFromFileICM(const std::string& path, GpImage* image);
// Streams are read from their current position to the end.
Status GdipCreateBitmapFromStream(win::IStream* stream, GpBitmap* bitmap);
Status GdipCreateBitmapFromStreamICM(win::IStream* stream, GpBitmap* bitmap);
Status GdipLoadImageFromStream(win::IStream* stream, GpImage* image);
Status GdipLoadImageFromStreamICM(win::IStream* stream, GpImage* image);

// ---------------------------------------------------------------------------------------
// Encoders and saving

// One encoder of the list. Texts are UTF-8 and, like the signature bytes, live in the
// buffer the list was copied into.
struct ImageCodecInfo {
    win::Guid Clsid;
    win::Guid FormatID;
    const char* CodecName;
    const char* DllName;
    const char* FormatDescription;
    const char* FilenameExtension; // "*.JPG;*.JPEG;*.JPE;*.JFIF"
    const char* MimeType;
    uint32_t Flags;
    uint32_t Version;
    uint32_t SigCount;
    uint32_t SigSize;
    const uint8_t* SigPattern;
    const uint8_t* SigMask;
};

// The number of encoders (5: BMP, JPEG, GIF, TIFF, PNG in that order) and the bytes
// GdipGetImageEncoders needs. Null outputs: 2.
Status GdipGetImageEncodersSize(UINT* count, UINT* size);
// Copies the list into one buffer: `count` records followed by their texts. The count and
// size must be GdipGetImageEncodersSize's answers (else 2).
Status GdipGetImageEncoders(UINT count, UINT size, ImageCodecInfo* encoders);

// The parameters an encoder understands, as a block for GdipGetEncoderParameterList:
// JPEG Quality (a Long range 0..100); TIFF Compression (Longs 2..6) and ColorDepth
// (Longs 1, 4, 8, 24, 32). BMP, GIF and PNG take none (a block with Count 0). An unknown
// class id or null arguments: 2.
Status GdipGetEncoderParameterListSize(GpImage image, const win::Guid* clsid, UINT* size);
Status GdipGetEncoderParameterList(GpImage image, const win::Guid* clsid, UINT size,
                                   EncoderParameters* buffer);

// Writes the active frame with the encoder of class id `clsid` and the optional
// parameters (see encodeImage in codec_registry.h: quality clamps to 0..100, CCITT and RLE
// compression only for 1-bpp output). Property items go with the frame. A metafile is
// rasterised first. Unknown image, null class id or an unknown encoder: 2; a file or stream
// that cannot be written: 7; encoder statuses pass through.
Status GdipSaveImageToFile(GpImage image, const std::string& path, const win::Guid* clsid,
                           const EncoderParameters* params);
// Writes at the stream's position.
Status GdipSaveImageToStream(GpImage image, win::IStream* stream, const win::Guid* clsid,
                             const EncoderParameters* params);

} // namespace gp
