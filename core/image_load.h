#pragma once

// Every way an image enters the image table. Each loader registers its result under a new
// ImageId, returned through the by-reference argument (0 when nothing was registered),
// and returns a status: the GDI+ codes, 2 for a missing argument, 9 when the plug-in is
// needed but absent, 10 for a missing file, 13 for a format nobody reads.

#include "core/image_table.h"
#include "platform/win/gdi_types.h"
#include "platform/win/global_memory.h"
#include "platform/win/stream.h"

#include <string>

namespace tavimo {

// The load dispatcher. With an empty path (and noDialog false) the open-file dialog asks
// for one. The path is normalised and must name a readable file (else 10). GDI+-only and
// colour-managed loads try GDI+ first (an image without a pixel format is released and
// gives 13); GDI+-only loads stop there. Then the codec plug-in, GDI+ and the picture
// loader are tried in that order; when all fail the plug-in's status is returned. The
// keep flags say whether multi-page TIFF and multi-frame GIF files stay in one image.
int32_t LoadImageFromFile(ImageId& id, const std::string& path, bool useIcm, bool gdiplusOnly,
                          bool tiffPagesInPlace, uint32_t ownerWindow, bool noDialog,
                          bool gifFramesInPlace);

// A file through GDI+ (source kind 6), then set up as a page container when it has pages.
int32_t LoadThroughGdiPlus(const std::string& path, ImageId& id, bool useIcm, bool tiffPagesInPlace,
                           bool gifFramesInPlace);

// A file through the platform picture loader; on success the entry's format name is
// empty. 13 when the picture loader cannot read it.
int32_t LoadThroughPicture(ImageId& id, const std::string& path);

// An image from a stream through GDI+ (source kind 0), read from its position. A null
// stream: 2; an unexpected failure: 23. A multi-page image is split into page images.
int32_t LoadFromStream(ImageId& id, win::IStream* stream, bool useIcm);

// A bitmap over pixels at `memory` (rows `stride` bytes apart, 0 for the 4-byte aligned
// size; null memory lets GDI+ allocate them). The caller keeps the memory alive for the
// image's life (source kind 7), or hands it over (source kind 9): it must then come from
// GdipAlloc, and the entry frees it on release while the image still uses it.
int32_t LoadFromRawBits(int32_t width, int32_t height, int32_t stride, gp::PixelFormat format,
                        void* memory, ImageId& id, bool handOver);

// A scaled copy of `source` (source kind 7). Whenever the source identifier is not 0 an
// entry is registered, also when GDI+ fails: a failing status then comes with the
// identifier of an entry without an image, which the caller may release.
int32_t CreateThumbnail(ImageId source, int32_t width, int32_t height, ImageId& id);

// Copies of an image and of a rectangle of it (source kind 0). Both register their result
// whatever GDI+ answered, as CreateThumbnail does.
int32_t CloneImage(ImageId& newId, ImageId id);
int32_t CloneImageArea(int32_t x, int32_t y, int32_t width, int32_t height, gp::PixelFormat format,
                       ImageId id, ImageId& newId);

// Registers an image made elsewhere (source kind 0) after GDI+ validated it; the entry
// owns it from then on. A null image: 2.
int32_t RegisterValidatedImage(ImageId& id, gp::GpImage image);

// GDI objects. Each copies what it needs (the handles stay the caller's) and registers
// only when GDI+ made an image: HBITMAP (source kind 4), HICON (5).
int32_t LoadFromHBitmap(win::HBITMAP bitmap, win::HPALETTE palette, ImageId& id);
int32_t LoadFromHIcon(win::HICON icon, ImageId& id);

// A bitmap over a device-independent bitmap's bits, used in place (source kind 2): the
// caller keeps `bits` alive while the image lives.
int32_t CreateBitmapFromGdiDib(const win::BITMAPINFO* info, void* bits, ImageId& id);

// A packed device-independent bitmap (header, colour table or masks, bits) in a global
// memory block. The image uses the bits in place: with handOver the entry frees the block
// on release, otherwise the caller keeps it alive. A 1 bpp bitmap whose palette is
// [opaque white, opaque black] is rewritten as [black, white] with inverted bits, so that
// its palette starts with black. The resolution comes from the pixels per metre, rounded
// to whole dpi with wholeDpi, else to 3 decimals. 0 memory: 2; a block that cannot be
// locked or is too small for its header, colour table or bits: 1.
int32_t LoadFromDib(ImageId& id, win::HGLOBAL memory, bool handOver, bool wholeDpi);

namespace test {

// Replaces the plug-in loader the dispatcher calls (null restores LoadThroughPlugin), so
// tests can see the order in which the loaders are tried.
using PluginFileLoader = int32_t (*)(ImageId& id, const std::string& path, bool useIcm,
                                     bool tiffPagesInPlace, bool gifFramesInPlace);
void SetPluginFileLoader(PluginFileLoader loader);

} // namespace test

} // namespace tavimo
