#pragma once

// Page containers: a multi-page TIFF or a multi-frame GIF held as one entry of the image
// table whose ImageId stands for the whole document. Exactly one page is current at a time,
// and every image operation on the container's ImageId acts on that page.
//
// A container keeps its pages in one of three ways:
//  - in place, GDI+ (source kind 6): the one multi-frame GDI+ image that was loaded;
//    selecting a page switches its active frame;
//  - in place, plug-in (source kind 3): the plug-in's open multi-page bitmap; selecting a
//    page locks it and turns it into a page image of its own;
//  - split (source kind 0): every page was written to a temporary file (TIFF pages as LZW
//    TIFF, GIF frames as PNG); the current page is loaded from its file into a page image
//    and written back to a new file when it changed and another page is selected.
// Page images are ordinary entries of the table, owned and released by their container;
// page files are deleted with it.

#include "core/image_table.h"

#include <string>
#include <vector>

namespace tavimo {

// After a load: makes `loaded` a container when it is a GIF or TIFF with 2 or more frames
// or pages, and names in `result` the image the caller keeps. In place (the flag of the
// image's kind) the loaded entry becomes the container; otherwise every page is written to
// a temporary file, a new container entry (source kind 0) is registered under a new
// ImageId and the loaded image is released. Page 0 is current afterwards. GIF containers
// keep the frame delays (a delay of 0 or less reads as 25), the loop count and the comment.
// Statuses: 0; 13 when no page could be written (nothing stays registered, result 0).
int32_t SetupMultiFrame(const std::string& sourcePath, ImageId loaded, ImageId& result,
                        bool tiffPagesInPlace, bool gifFramesInPlace);

// Makes page `index` current. `formatName` is "TIFF" or "GIF" and must match the kind of
// container. Selecting the current page again changes nothing. On a GIF container the
// frame delays, loop count and comment are written onto the current page (not marking it
// modified) after every successful selection.
// Statuses: 1 absent id; 22 not a container of that kind; 2 index outside the pages; 1 a
// split page whose file was not written; else the frame activation's, the page load's or
// the plug-in page conversion's status.
int32_t SelectPage(ImageId id, int32_t index, const std::string& formatName);
int32_t SelectTiffPage(ImageId id, int32_t index);
int32_t SelectGifFrame(ImageId id, int32_t index);

// Lets go of the current page: a changed split page is written to a new file (the old file
// is deleted only once that succeeded; a failed write keeps the old file and drops the
// edit), the page image is released, and no page is current any more.
void FlushCurrentPage(ImageId id, const std::string& formatName);

// Puts `newId` in the place of `target`. For a plain image or an in-place container the
// target is released (a container with all its pages) and the new image's entry takes the
// target's identifier. For a split container the new image becomes the current page: it is
// written to a new page file first, and only when that worked the old page image and file
// go. Returns the target's identifier; 0 when the target is 0 or absent, or when the new
// image is absent (a plain target is then released all the same). `status` is 0 on success,
// 2 for absent images, 8 for a split container without a current page, else the page
// write's failure: the old page then stays current and the new image is released.
ImageId CommitPageChanges(ImageId target, ImageId newId, int32_t& status);
ImageId CommitPageChanges(ImageId target, ImageId newId);

// PageCount and 0 for a container of that kind; 22 with count 0 for another image; 22 with
// count untouched for an absent id.
int32_t GetTiffPageCount(ImageId id, int32_t& count);
int32_t GetGifFrameCount(ImageId id, int32_t& count);

// The container flags; false for an absent id. The temp-file variants are true only for
// split containers.
bool IsTiffContainer(ImageId id);
bool IsGifContainer(ImageId id);
bool IsTiffTempFileContainer(ImageId id);
bool IsGifTempFileContainer(ImageId id);

// The current page of a container of that kind; -1 for another image; 0 for an absent id.
int32_t GetCurrentTiffPage(ImageId id);
int32_t GetCurrentGifFrame(ImageId id);

// The delays (hundredths of a second) of a GIF container's frames: 2 for an absent id; 0
// with `delays` untouched for another image; else `delays` holds one value per frame.
int32_t GetGifFrameDelays(ImageId id, std::vector<int32_t>& delays);

// The animation values as the image's own tags give them (frame delay 0x5100, loop count
// 0x5101, user comment 0x9286), for an image with more than one GIF frame. ReadGifFrameDelays
// answers the frame count and fills `delays` (values missing from the tag stay 0); 0 when
// there is no usable delay tag. The loop count is 0 and the comment empty when absent.
int32_t ReadGifFrameDelays(ImageId id, std::vector<int32_t>& delays);
int32_t GetGifLoopCount(ImageId id);
std::string GetImageComment(ImageId id);

} // namespace tavimo
