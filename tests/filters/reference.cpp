#include "tests/filters/reference.h"
#include "filters/filter_engine.h"

namespace tavimo::ref {

namespace detail {
float draw() {
    float v;
    fx::drawUniform(&v, 1);
    return v;
}
} // namespace detail

FilterOutcome runFilterOperation(int32_t selector, PixelFrame& frame, const FilterParams& params,
                                 const FilterContext& context) {
    using namespace detail;
    bool handled = false;
    FilterOutcome out = point(selector, frame, params, context, handled);
    if (handled || rank(selector, frame) || neighbourhood(selector, frame, params) ||
        cleanup(selector, frame, params) || geometric(selector, frame, params, context)) {
        return out;
    }
    return out;
}

} // namespace tavimo::ref
