#pragma once

// Frame and page queries of GIF and TIFF images, over the GDI+ frame dimensions.

#include "core/image_table.h"

namespace tavimo {

// 2 for an absent id; otherwise count := 0 and, when the image is a GIF (a TIFF), the
// number of frames over the time (page) dimension. For another format the status of the
// format lookup is returned with count 0.
int32_t CountGifFrames(ImageId id, int32_t& count);
int32_t CountTiffPages(ImageId id, int32_t& count);

// 2 for an absent id; else the active frame (page) is selected.
int32_t ActivateGifFrame(ImageId id, int32_t index);
int32_t ActivateTiffPage(ImageId id, int32_t index);

} // namespace tavimo
