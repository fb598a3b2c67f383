#include "viewer/core_link.h"

namespace tavimo::corelink {

namespace {
thread_local int t_users = 0;
} // namespace

QuennetStatus startGdiPlus() {
    ++t_users;
    return QuennetStatus::OK;
}

void stopGdiPlus() {
    if (t_users > 0)
        --t_users;
}

int gdiPlusUsers() {
    return t_users;
}

QuennetStatus releaseImage(int32_t imageId) {
    return imageId == 0 ? QuennetStatus::InvalidParameter : QuennetStatus::OK;
}

} // namespace tavimo::corelink
