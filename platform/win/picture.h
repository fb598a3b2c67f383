#pragma once

// Picture objects: a GDI bitmap, metafile, icon or enhanced metafile with its size in
// HIMETRIC units (0.01 mm), shared by reference (std::shared_ptr plays the part of the
// reference count). A picture that owns its handle deletes it when the last reference
// goes. Calls return HRESULTs and never throw.

#include "platform/win/gdi_types.h"
#include "platform/win/stream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace win {

// S_OK, E_FAIL, E_POINTER, E_INVALIDARG and E_OUTOFMEMORY come with the stream calls.
// The control runtime's errors: 53 "File not found", 75 "Path/File access error",
// 481 "Invalid picture".
inline constexpr HRESULT CTL_E_FILENOTFOUND = int32_t(0x800A0035);
inline constexpr HRESULT CTL_E_PATHFILEACCESSERROR = int32_t(0x800A004B);
inline constexpr HRESULT CTL_E_INVALIDPICTURE = int32_t(0x800A01E1);

enum PictureType : int16_t {
    PICTYPE_UNINITIALIZED = -1,
    PICTYPE_NONE = 0,
    PICTYPE_BITMAP = 1,
    PICTYPE_METAFILE = 2,
    PICTYPE_ICON = 3,
    PICTYPE_ENHMETAFILE = 4,
};

// The picture description: 20 bytes, as callers fill it in.
struct PICTDESC {
    uint32_t cbSizeofstruct = sizeof(PICTDESC);
    uint32_t picType = PICTYPE_NONE;
    union {
        struct {
            HBITMAP hbitmap;
            HPALETTE hpal;
        } bmp;
        struct {
            HMETAFILE hmeta;
            int32_t xExt; // HIMETRIC
            int32_t yExt;
        } wmf;
        struct {
            HICON hicon;
        } icon;
        struct {
            HENHMETAFILE hemf;
        } emf;
    };
    PICTDESC() : wmf{0, 0, 0} {}
};
static_assert(sizeof(PICTDESC) == 20, "the description is 20 bytes");

class Picture {
public:
    ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    PictureType Type() const { return m_type; }
    // The GDI handle (HBITMAP, HMETAFILE, HICON or HENHMETAFILE), 0 for an empty picture.
    uint32_t Handle() const { return m_handle; }
    HPALETTE hPal() const { return m_palette; }
    // Size in HIMETRIC units: bitmaps and icons at 96 dpi, metafiles as described.
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    bool ownsHandle() const { return m_own; }

private:
    friend HRESULT OleCreatePictureIndirect(const PICTDESC*, bool, std::shared_ptr<Picture>*);
    Picture() = default;

    PictureType m_type = PICTYPE_NONE;
    uint32_t m_handle = 0;
    HPALETTE m_palette = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    bool m_own = false;
};

using PicturePtr = std::shared_ptr<Picture>;

// Wraps a handle in a picture; with `own` the picture deletes the handle (and a bitmap's
// palette) when released. A null description makes an uninitialized picture. A
// description whose size is not 20, an unknown type or a handle of the wrong kind or not
// alive: E_INVALIDARG. A null output: E_POINTER.
HRESULT OleCreatePictureIndirect(const PICTDESC* desc, bool own, PicturePtr* picture);

// Pixels <-> HIMETRIC at a resolution (rounded to nearest).
int32_t pixelsToHimetric(int32_t pixels, double dpi = 96.0);

// Loads BMP, ICO and CUR (first image), placeable WMF and EMF files, and GIF and JPEG
// through the raster decoder the GDI+ layer installs (UTF-8 path). Bitmaps become DIB
// sections, icons icons, metafiles metafile handles; the picture owns them. An empty path
// gives an empty picture (type PICTYPE_NONE). Missing file: CTL_E_FILENOTFOUND; content
// it cannot read: CTL_E_INVALIDPICTURE.
HRESULT LoadPicture(const std::string& path, PicturePtr* picture);

// Writes the picture: a bitmap as BMP, an icon as ICO, a metafile as a placeable WMF, an
// enhanced metafile as EMF. An empty picture: CTL_E_INVALIDPICTURE; a file that cannot
// be written: CTL_E_PATHFILEACCESSERROR.
HRESULT SavePicture(const Picture* picture, const std::string& path);

// Decodes raster content (GIF, JPEG, PNG and whatever the installed decoder reads) into
// a new 32-bpp DIB section; false when it cannot. The GDI+ layer installs one.
using PictureRasterDecoder = bool (*)(const uint8_t* data, size_t size, HBITMAP* bitmap);
void setPictureRasterDecoder(PictureRasterDecoder decoder);

} // namespace win
