#pragma once

#include <cstdint>

#include "viewer/quennet_status.h"

namespace tavimo::corelink {

// The few image-core calls the control's lifecycle makes: the per-thread GDI+ user count
// and image release. They stand in for the image core's session until the viewer links
// it; the count is per thread, like the core's.
QuennetStatus startGdiPlus();
// The last user on the thread releases every image still open.
void stopGdiPlus();
int gdiPlusUsers();
// Releases an image of the thread's table; 0 and unknown ids do nothing.
QuennetStatus releaseImage(int32_t imageId);

} // namespace tavimo::corelink
