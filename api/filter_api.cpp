// The public filter entry (tavimo/filters.h) over the filter engine.

#include "core/image_info.h"
#include "filters/filters.h"

// Bound before the public header declares ApplyFilter and FilterRect of its own in the
// inline namespace tavimo::v0.
namespace tavimo::api::engine {
using Rect = ::tavimo::FilterRect;
constexpr auto ApplyFilter =
    static_cast<gp::Status (*)(int32_t, ImageId, double, Rect&, float, float, float, double, double,
                               double, double&)>(&::tavimo::ApplyFilter);
constexpr auto SetFilterPattern = &::tavimo::SetFilterPattern;
constexpr auto GetImageWidth = &::tavimo::GetImageWidth;
constexpr auto GetImageHeight = &::tavimo::GetImageHeight;
} // namespace tavimo::api::engine

#include "api/guard.h"

#include <tavimo/filters.h>

namespace tavimo::v0 {

QuennetStatus ApplyFilter(int32_t selector, ImageId image, double P, FilterRect& rect, float c,
                          float d, float e, double F, double G, double X, double& result) {
    return api::guardedStatus([&] {
        api::engine::Rect inner{rect.X, rect.Y, rect.Width, rect.Height};
        gp::Status status =
            api::engine::ApplyFilter(selector, image, P, inner, c, d, e, F, G, X, result);
        rect = FilterRect{inner.X, inner.Y, inner.Width, inner.Height};
        return status;
    });
}

QuennetStatus ApplyFilter(int32_t selector, ImageId image, double P) {
    return api::guardedStatus([&]() -> int32_t {
        int32_t width = 0, height = 0;
        if (int32_t status = api::engine::GetImageWidth(image, width); status != OK)
            return status;
        if (int32_t status = api::engine::GetImageHeight(image, height); status != OK)
            return status;
        api::engine::Rect rect{0, 0, width, height};
        double result = 0;
        return api::engine::ApplyFilter(selector, image, P, rect, 0, 0, 0, 0, 0, 0, result);
    });
}

void SetFilterPattern(const std::array<uint32_t, 18>& pattern) {
    api::guardedVoid([&] { api::engine::SetFilterPattern(pattern); });
}

} // namespace tavimo::v0
