#include "core/image_load.h"

#include "core/quennet_status.h"

namespace tavimo {

// The platform picture loader is not available yet, so nothing loads through it: 13, as
// for a file the picture loader cannot read.
int32_t LoadThroughPicture(ImageId& id, const std::string& path) {
    (void)path;
    id = 0;
    return UnknownImageFormat;
}

} // namespace tavimo
