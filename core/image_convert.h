#pragma once

// Operations that change an image's pixel format, orientation or resolution, and the
// preparation of an image before an encoder save. Replacements keep the caller's ImageId.

#include "core/image_table.h"

namespace tavimo {

// Copies the image into a new buffer in `target` format (rows of GetStride bytes) and
// makes a new image over it that owns the buffer (source kind 9). Resolution and every
// property item are carried over. With returnNew the new image is registered beside the
// old one and `newId` names it; otherwise it replaces the old image under the old
// identifier (`newId` is then the old identifier too).
// Statuses: 2 unknown image; 1 for a zero-size image or a failed replacement; 3 when the
// buffer cannot be had; 11 when the row size overflows; 2 for a target the buffer size
// cannot be worked out for (format 0); else the lock's or the creation's status.
int32_t ConvertPixelFormat(ImageId id, gp::PixelFormat target, bool returnNew, ImageId& newId);
// ConvertPixelFormat to 32bppARGB, replacing the image.
int32_t ConvertTo32bppArgb(ImageId id);

// A copy in the image's own format (palette included for indexed formats), always
// registered beside the original.
int32_t DuplicateImage(ImageId id, ImageId& newId);

// Rotates and flips by a GDI+ RotateFlipType (0..7). Images whose pixels belong to a
// memory block, the plug-in or a GDI handle are copied first when they are 1 bpp and
// the turn changes their size; a 1 bpp turn by 180 degrees is made of two quarter turns;
// a non-indexed result is replaced by a copy that owns its pixels. Marks the image
// modified unless skipModified. 2 unknown image; GDI+'s status for a refused turn;
// the copy's status when a needed copy fails.
int32_t RotateFlip(ImageId id, int32_t type, bool skipModified);

// Sets the resolution in dots per inch, both as the image's DPI and as the X and Y
// resolution tags (282, 283; RATIONAL with a power-of-ten denominator, 72.5 -> 725/10).
// Marks the image modified unless skipModified. 2 unknown image; else the status of
// setting the DPI (2 for a value not above 0).
int32_t SetResolution(ImageId id, float horizontal, float vertical, bool skipModified);

// Writes the resolution tags again from the DPI (when both are non-zero), without marking
// the image modified, so that tags and DPI agree before a save.
void ReapplyResolution(ImageId id);

// Before JPEG and TIFF saves: a resolution below 0.5 dpi is raised, both axes by the same
// factor (1.0 in steps of 0.1) until the smaller reaches 0.5; a smaller resolution that is
// 0, negative or not a number is left as it is. Every time-zone offset tag (0x882A) is
// removed.
void PrepareImageForSave(ImageId id);

} // namespace tavimo
