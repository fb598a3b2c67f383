#pragma once

// The codec plug-in bridge as the load dispatcher calls it.

#include "core/image_table.h"

#include <string>

namespace tavimo {

// Loads a file through the codec plug-in and registers the result. Statuses: 0 loaded;
// 9 (Aborted) when the plug-in is absent; 13 (UnknownImageFormat) for a format left to
// GDI+ (BMP, PNG, GIF, unknown content); 3 when the plug-in cannot read the file.
int32_t LoadThroughPlugin(ImageId& id, const std::string& path, bool useIcm, bool tiffPagesInPlace,
                          bool gifFramesInPlace);

} // namespace tavimo
