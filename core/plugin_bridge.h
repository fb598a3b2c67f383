#pragma once

// The codec plug-in bridge: which files go to the plug-in, loading them, turning a plug-in
// bitmap into a registered GDI+ image, and the small wrappers the rest of the core uses.
// Every call copes with an absent plug-in (null function table): it then answers its
// failure value (9 for loads, 0, false, -1 or "" for the wrappers) and calls nothing.

#include "core/image_table.h"
#include "platform/win/gdi_types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavimo {

// The plug-in's format codes the bridge names.
enum PluginFormat : int32_t {
    PluginFormatUnknown = -1,
    PluginFormatBmp = 0,
    PluginFormatJpeg = 2,
    PluginFormatPng = 13,
    PluginFormatTiff = 18,
    PluginFormatGif = 25,
    PluginFormatJ2k = 30,
    PluginFormatJp2 = 31,
};

// One tag of a plug-in metadata model, copied out of the plug-in: the value bytes belong
// to the entry, so it stays valid whatever the plug-in does afterwards.
struct MetadataTagEntry {
    std::string key;
    std::string description;
    uint16_t id = 0;
    uint16_t type = 0;
    uint32_t count = 0;
    uint32_t length = 0;
    std::vector<uint8_t> value; // `length` bytes
};

// The format of a file: from its content, unless its name agrees or says TIFF. -1 when
// the content is unknown (whatever the name says) or the plug-in is absent.
int32_t DetectPluginFormat(const std::string& path);

// "UNKNOWN" for -1, the format's name for 0..35 ("BMP" ... "JBIG"), empty otherwise.
std::string GetPluginFormatName(int32_t code);

// Opens TIFF (18) and GIF (25) files as multi-page bitmaps through a file handle (GIF
// frames played back); fewer than 2 pages, or another format, load as one bitmap. With
// useIcm a TIFF loads with the CMYK flag. Returns the multi-page bitmap (isMulti true,
// fileHandle open) or the bitmap; 0 when nothing loaded (code -1 included).
KelvraHandle LoadWithPages(int32_t& code, const std::string& path, bool& isMulti, bool useIcm,
                           KelvraHandle& fileHandle);

// Loads a file through the codec plug-in and registers the result under `id` (0 when
// nothing was registered). Statuses: 0 loaded; 9 (Aborted) when the plug-in is absent;
// 13 (UnknownImageFormat) for a format left to GDI+ (BMP, PNG, GIF, unknown content);
// 3 (OutOfMemory) when the plug-in cannot load the file; else the conversion's status. The
// image takes the plug-in's format name; when it draws from the plug-in's pixels it owns the
// plug-in bitmap.
// A TIFF of 2 or more pages becomes a page container: with tiffPagesInPlace one that keeps
// the open multi-page bitmap (source kind 3), otherwise one whose pages are written to
// temporary page files (LZW TIFF; PNG for GIF frames). A split container is released again
// when its last page fails; its status is then that page's (13 without pages). Page 0 is
// selected through the page selector set below; without one, multi-page files are closed
// again and left to GDI+ (13).
int32_t LoadThroughPlugin(ImageId& id, const std::string& path, bool useIcm, bool tiffPagesInPlace,
                          bool gifFramesInPlace);

// Selects a page of a page container (SelectTiffPage, SelectGifFrame); the status is not
// looked at here.
using PluginPageSelector = int32_t (*)(ImageId container, int32_t index);
// Sets the selectors the plug-in's page containers use (process-wide). They are the
// containers' SelectTiffPage and SelectGifFrame unless replaced; null means none, and
// multi-page files then go back to GDI+.
void SetPluginPageSelectors(PluginPageSelector tiff, PluginPageSelector gif);

// Turns a plug-in bitmap into a registered GDI+ image under `id`. Non-standard image types
// are converted first (16-bit grey to 8-bit grey, high-range colour tone-mapped, others to a
// standard bitmap), an 8-bit image with transparency to 32 bits; a converted bitmap replaces
// `bitmap` and the old one is given back (unlocked when it was the locked page of `multi`:
// isLockedPage then becomes false). Images of 24 bits and more share the plug-in's pixels
// (mayUnload false: the caller must keep the bitmap until the image is released); smaller
// ones are copied through a DIB section (mayUnload true). 1-bit min-is-white images come out
// as black ink on white with the palette [black, white]. Then the plug-in's metadata is
// copied in, and the resolution: the plug-in's, or the resolution tags' when the plug-in
// says exactly 72 x 72 dpi. Statuses: 0; 13 above 64 bits per pixel; 3 when no DIB section
// could be made; else the image creation's status.
int32_t PluginBitmapToGdiBitmap(KelvraHandle& bitmap, ImageId& id, bool& mayUnload,
                                bool& isLockedPage, KelvraHandle multi, int32_t code);

// True only when the plug-in saved the file (KELVRA_SaveU answered 1).
bool SaveThroughPlugin(int32_t code, KelvraHandle bitmap, const std::string& path, int32_t flags);

// Resolution in dpi, rounded from dots per metre (0 without the plug-in); the setters
// store dpi as dots per metre.
int32_t GetPluginDpiX(KelvraHandle bitmap);
int32_t GetPluginDpiY(KelvraHandle bitmap);
void SetPluginDpiX(KelvraHandle bitmap, int32_t dpi);
void SetPluginDpiY(KelvraHandle bitmap, int32_t dpi);

// The tags of a metadata model (1 EXIF main, 2 EXIF, 3 GPS, 6 IPTC, 7 XMP, ...). Answers
// the plug-in's tag count; below 1 the vector is left untouched, else it is sized to the
// count and filled with at most that many tags.
int32_t GetMetadataTags(int32_t model, KelvraHandle bitmap, std::vector<MetadataTagEntry>& tags);

// Copies palette entries (ARGB) into the plug-in bitmap's palette: as many as the bitmap
// uses, and never more than `entries` holds. Answers the number of colours the bitmap uses.
int32_t CopyPaletteToPlugin(KelvraHandle bitmap, const std::vector<uint32_t>& entries);

// A DIB section laid out as the plug-in bitmap (rows bottom-up) holding a copy of its
// pixels, made on `dc` (0: a screen DC, released again). With unload the plug-in bitmap is
// freed afterwards, also on failure. 0 when the bitmap is 0 or the section cannot be made.
win::HBITMAP PluginToDibSection(KelvraHandle bitmap, win::HDC dc, bool unload);

} // namespace tavimo
