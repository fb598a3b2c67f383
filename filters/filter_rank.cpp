// The rank filters' entry points: the AVX2 variant where the processor has it, the generic
// one otherwise (or when the generic path is forced).

#include "filters/filter_engine.h"
#include "filters/filter_ops.h"

#include <algorithm>
#include <cstring>

#define TAVIMO_RANK_NS generic
#include "filters/filter_rank_impl.h"
#undef TAVIMO_RANK_NS

namespace tavimo::fx {

namespace avx2 {
void MedianFilter3(PixelFrame& f);
void MedianFilter5(PixelFrame& f);
void MinimumFilter3(PixelFrame& f);
void MaximumFilter3(PixelFrame& f);
void MorphologicalEdge3(PixelFrame& f);
void EdgePreservingSmooth5(PixelFrame& f);
} // namespace avx2

#define TAVIMO_DISPATCH(name)                                                                      \
    void name(PixelFrame& f) {                                                                     \
        if (useAvx2()) {                                                                           \
            avx2::name(f);                                                                         \
        } else {                                                                                   \
            generic::name(f);                                                                      \
        }                                                                                          \
    }

TAVIMO_DISPATCH(MedianFilter3)
TAVIMO_DISPATCH(MedianFilter5)
TAVIMO_DISPATCH(MinimumFilter3)
TAVIMO_DISPATCH(MaximumFilter3)
TAVIMO_DISPATCH(MorphologicalEdge3)
TAVIMO_DISPATCH(EdgePreservingSmooth5)

} // namespace tavimo::fx
