#pragma once

// Metafile images: WMF (placeable or with a supplied placeable header) and EMF, from GDI
// handles or files. A metafile image reports ImageTypeMetafile, the raw format WMF or EMF,
// the pixel format 32bppRGB, its frame's size in pixels at the metafile's resolution
// (WMF: the bounding box over its units per inch, at 96 dpi; EMF: the frame in 0.01 mm at
// the reference device's resolution) and that resolution. Drawing it plays the records
// into the destination rectangle (graphics.h). Records outside the common set (pens,
// brushes, fonts, lines, polygons, rectangles, ellipses, arcs, text, DIB blits, paths,
// clipping, mapping) are skipped.

#include "platform/gdiplus/codec_registry.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win/gdi_types.h"

#include <span>
#include <string>

namespace gp {

using GpMetafile = GpImage;

#pragma pack(push, 2)
struct WmfPlaceableFileHeader {
    uint32_t Key = 0x9AC6CDD7u;
    int16_t Hmf = 0;
    struct {
        int16_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    } BoundingBox;
    uint16_t Inch = 1440;
    uint32_t Reserved = 0;
    int16_t Checksum = 0;
};
#pragma pack(pop)

// A metafile image of the HMETAFILE's records framed by `header` (its bounding box and
// units per inch; the key and checksum are not checked). With deleteWmf the image owns
// the handle and deletes it when disposed. Null output or header, an unknown handle or
// records that are not a WMF: 2. Not started: 18.
Status GdipCreateMetafileFromWmf(win::HMETAFILE hWmf, BOOL deleteWmf,
                                 const WmfPlaceableFileHeader* header, GpMetafile* metafile);

// A metafile image of the HENHMETAFILE; deleteEmf hands the handle over as above.
Status GdipCreateMetafileFromEmf(win::HENHMETAFILE hEmf, BOOL deleteEmf, GpMetafile* metafile);

// A metafile image from a placeable WMF or an EMF file (UTF-8 path). Missing or unreadable
// file: 10; other content: 13.
Status GdipCreateMetafileFromFile(const std::string& path, GpMetafile* metafile);

// The reader the codec registry calls for WMF and EMF content: one 32bppARGB frame of the
// metafile at its own pixel size (transparent where nothing is drawn), raw format WMF or
// EMF, its resolution. Not a metafile: 13; larger than 2^28 pixels: 3.
Status readMetafileAsBitmap(std::span<const uint8_t> bytes, ImageKind kind, DecodedImage& out);

// Installs readMetafileAsBitmap as the codec registry's metafile reader. The drawing layer
// installs it when it is linked in; calling it again is harmless.
void installMetafileReader();

} // namespace gp
