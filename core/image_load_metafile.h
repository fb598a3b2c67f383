#pragma once

// Metafiles into the image table: metafile images from GDI handles, and metafiles
// rasterised into bitmaps.

#include "core/image_table.h"
#include "platform/gdiplus/metafile.h"

#include <string>

namespace tavimo {

// Metafile images of a WMF handle (framed by `header`) and of an EMF handle (source kind
// 0). With deleteHandle the image owns the handle. Register only when GDI+ made an image.
int32_t CreateMetafileFromWmf(win::HMETAFILE metafile, bool deleteHandle,
                              const gp::WmfPlaceableFileHeader* header, ImageId& id);
int32_t CreateMetafileFromEmf(win::HENHMETAFILE metafile, bool deleteHandle, ImageId& id);

// A metafile file drawn at `scale` into a new 32bppARGB bitmap (source kind 7). An empty
// or missing path: 10; `allowed` false: 9; else RasterizeMetafileFile's status.
int32_t LoadMetafileFromFile(ImageId& id, const std::string& path, double scale, bool allowed);
// GDI+'s status for the file (10 missing, 13 not a metafile) or for the drawing; a
// partial result is released.
int32_t RasterizeMetafileFile(const std::string& path, double scale, ImageId& id);

// Draws a registered metafile image at its own pixel size on opaque white into a screen-
// compatible bitmap and loads that as an HBITMAP image with the metafile's resolution.
// The metafile image is released in every case.
int32_t RasterizeMetafileImage(ImageId metafile, ImageId& id);

} // namespace tavimo
