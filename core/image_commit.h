#pragma once

// The container interface the loaders and the replacing operations call: building a
// page container after a load, and putting a new image in the place of an image (or of a
// container's current page).
//
// Only plain images (and containers whose pages stay in their source) are handled here:
// the split-page containers, with their page files, are not built yet. Until they are,
// SetupMultiFrame leaves every loaded image a plain image (a multi-frame GDI+ image keeps
// its first frame active), and CommitPageChanges refuses a split container.

#include "core/image_table.h"

#include <string>

namespace tavimo {

// After a load: `result` names the image the caller keeps. Here always the loaded image
// itself, status OK.
int32_t SetupMultiFrame(const std::string& sourcePath, ImageId loaded, ImageId& result,
                        bool tiffPagesInPlace, bool gifFramesInPlace);

// Puts `newId` in the place of `target`: the target is released (a container with all
// its pages) and the new image's entry takes the target's identifier, so callers keep
// using it. Returns the target's identifier; 0 when the target is 0 or absent, when the
// new image is absent (the target is released all the same), or when the target is a
// split container (nothing changes; the caller still owns the new image).
ImageId CommitPageChanges(ImageId target, ImageId newId);

} // namespace tavimo
