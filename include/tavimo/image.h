#pragma once

// The image core: the per-thread table of open images that every other part of the C++
// API works on. An image enters the table by a load and is named by its ImageId until
// ReleaseImage; the table owns it. Multi-page TIFF files and animated GIF files are held
// as one image whose pages are selected one at a time; every call on such an image acts
// on its current page.
//
// Threads: each thread has its own table and its own start count. An ImageId is
// meaningful only on the thread that loaded it. Start the image core on every thread that
// uses images (ImageSession, or StartGdiPlus / StopGdiPlus): a thread's last stop releases
// the images of its table, and while no thread has the core started, image calls fail
// (GdiplusNotInitialized, 18, or for loads the failure of the last decoder tried).
//
// Every call returns a QuennetStatus; none throws. An unknown ImageId answers
// InvalidParameter (2). Paths are UTF-8; a "\" in a path is read as "/". Image formats
// read: BMP, GIF, JPEG, PNG, TIFF, ICO, WMF, EMF, and through the codec plug-in
// (libkelvra.so, when installed) TGA, PCX, PSD and the other formats it reads.

#include <tavimo/enums.h>
#include <tavimo/export.h>
#include <tavimo/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavimo {
inline namespace v0 {

// ---- Session ---------------------------------------------------------------------------

// Starts the image core for one user on the calling thread (counted: every call needs its
// StopGdiPlus). True when the core is running.
TAVIMO_API bool StartGdiPlus();
// Ends one user's start. The last stop on a thread releases every image still in its
// table.
TAVIMO_API void StopGdiPlus();

// The image core, started for the life of the object.
class ImageSession {
public:
    ImageSession() : m_started(StartGdiPlus()) {}
    ~ImageSession() { StopGdiPlus(); }
    ImageSession(const ImageSession&) = delete;
    ImageSession& operator=(const ImageSession&) = delete;
    // False when the core could not be started; image calls then fail.
    bool started() const { return m_started; }

private:
    bool m_started;
};

// ---- Loading and releasing ---------------------------------------------------------------

// Loads a file into a new image; `id` receives its identifier, 0 when nothing was loaded.
// The codec plug-in is tried first for the formats it reads, then the built-in decoders.
// With useIcm, colours are converted from an embedded ICC profile. Statuses: OK;
// FileNotFound (10) for a missing or unreadable file (also an empty path);
// UnknownImageFormat (13) when no decoder reads it; Aborted (9) when only the absent
// plug-in could have read it; OutOfMemory (3).
TAVIMO_API QuennetStatus LoadImageFromFile(ImageId& id, std::string_view path,
                                           bool useIcm = false);

// Loads an image from the encoded bytes of a file (`size` bytes at `data`, copied; the
// caller keeps its buffer). The statuses of LoadImageFromFile, and InvalidParameter (2)
// for no bytes, Win32Error (7) when the bytes cannot be staged in the temporary folder.
TAVIMO_API QuennetStatus LoadImageFromMemory(ImageId& id, const void* data, size_t size,
                                             bool useIcm = false);

// Releases an image and everything it holds (pages, page files, a staged copy). The
// identifier is unknown afterwards.
TAVIMO_API QuennetStatus ReleaseImage(ImageId id);

// ---- Information ---------------------------------------------------------------------------

// Size in pixels and resolution in dots per inch (96 when the file gives none). The out
// value is 0 whenever the status is not OK.
TAVIMO_API QuennetStatus GetImageWidth(ImageId id, int32_t& width);
TAVIMO_API QuennetStatus GetImageHeight(ImageId id, int32_t& height);
TAVIMO_API QuennetStatus GetImageHorizontalResolution(ImageId id, float& dpi);
TAVIMO_API QuennetStatus GetImageVerticalResolution(ImageId id, float& dpi);
// The pixel format and its bits per pixel (0 for an unlisted format). 8-bit grey images
// read as PixelFormat8bppIndexed with a grey palette.
TAVIMO_API QuennetStatus GetImagePixelFormat(ImageId id, PixelFormats& format);
TAVIMO_API QuennetStatus GetImageBitDepth(ImageId id, int32_t& bits);
// The format the image was read from: "JPEG", "PNG", "TIFF", "GIF", "BMP", "Memory BMP",
// or the plug-in's name for its formats ("TARGA", ...); empty for an unknown ImageId.
TAVIMO_API std::string GetImageFormatName(ImageId id);

// ---- Pages -----------------------------------------------------------------------------------

// The pages of a multi-page TIFF (frames of an animated GIF): OK with the count for such
// an image; UnsupportedImageFormat (22) with count 0 for any other image (a single-page
// file is one page).
TAVIMO_API QuennetStatus GetTiffPageCount(ImageId id, int32_t& count);
TAVIMO_API QuennetStatus GetGifFrameCount(ImageId id, int32_t& count);
// Makes page (frame) `index`, counted from 0, the current one. UnsupportedImageFormat
// (22) for an image without pages of that kind; InvalidParameter (2) for an index
// outside them; GenericError (1) for an unknown ImageId.
TAVIMO_API QuennetStatus SelectTiffPage(ImageId id, int32_t index);
TAVIMO_API QuennetStatus SelectGifFrame(ImageId id, int32_t index);

// ---- Saving ----------------------------------------------------------------------------------

// Each writes the current page, replacing an existing file.
// JPEG at a quality of 0 to 100 (above 100 writes 100; below 0 the encoder's default).
TAVIMO_API QuennetStatus SaveAsJpeg(ImageId id, std::string_view path, int32_t quality = 75);
TAVIMO_API QuennetStatus SaveAsPng(ImageId id, std::string_view path);
// TIFF compression: 0 the encoder's choice, 2 LZW, 3 CCITT3, 4 CCITT4, 5 RLE, 6 none (the
// CCITT and RLE schemes become LZW above 1 bit per pixel); colorDepth in bits per pixel,
// 0 keeps the image's.
TAVIMO_API QuennetStatus SaveAsTiff(ImageId id, std::string_view path, int32_t compression = 0,
                                    int32_t colorDepth = 0);
// Encodes into `bytes` (replacing what they held) by format name: "jpg", "png", "tif",
// "gif", "bmp" (an unknown name writes BMP). `quality` is the JPEG quality, 1 to 100 (0
// or less: the default).
TAVIMO_API QuennetStatus SaveToByteArray(ImageId id, std::vector<uint8_t>& bytes,
                                         std::string_view format, int32_t quality = 0);

} // namespace v0
} // namespace tavimo
