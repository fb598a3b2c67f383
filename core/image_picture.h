#pragma once

// Picture objects and the clipboard: loading images from pictures, and pictures of
// images.

#include "core/image_table.h"
#include "platform/win/picture.h"

namespace tavimo {

// Loads a picture by its type: a bitmap through the HBITMAP loader (source kind 4); a
// metafile framed by its HIMETRIC size at 1440 units per inch and rasterised on white
// (extents too large for 16 bits are scaled down together with the units per inch); an
// icon through the HICON loader, or, when GDI+ cannot take the icon, through a
// temporary file that is deleted with the image; an enhanced metafile rasterised on
// white. A null or empty picture, or another type: 2.
int32_t LoadFromPicture(ImageId& id, const win::Picture* picture);

// The first clipboard format present of device-independent bitmap, bitmap, palette and
// metafile, loaded as a picture. None present: 1.
int32_t LoadFromClipboard(ImageId& id);

// A picture object owning a new HBITMAP of the image (background 0). 2 unknown image;
// the status of the HBITMAP's creation; 1 when the picture cannot be made.
int32_t GetImageStdPicture(ImageId id, win::PicturePtr& picture);
// The same, or null on any failure.
win::PicturePtr ImageToStdPicture(ImageId id);

namespace test {

// Makes the icon conversion of LoadFromPicture fail on this thread while set, so the
// temporary-file path can be exercised with icons GDI+ does take.
void FailNextIconConversion(bool fail);

} // namespace test

} // namespace tavimo
