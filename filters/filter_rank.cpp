// The entry points of the window filters (rank filters, smoothing, reliefs): the AVX2 variant where
// the processor has it, the generic one otherwise (or when the generic path is forced).

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
void LaplaceRelief(PixelFrame& f, int32_t P);
void EmbossLeftRight(PixelFrame& f, int32_t P);
void EmbossRightLeft(PixelFrame& f, int32_t P);
void DiagonalRelief(PixelFrame& f);
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
TAVIMO_DISPATCH(DiagonalRelief)

#define TAVIMO_DISPATCH_P(name)                                                                    \
    void name(PixelFrame& f, int32_t P) {                                                          \
        if (useAvx2()) {                                                                           \
            avx2::name(f, P);                                                                      \
        } else {                                                                                   \
            generic::name(f, P);                                                                   \
        }                                                                                          \
    }

TAVIMO_DISPATCH_P(LaplaceRelief)
TAVIMO_DISPATCH_P(EmbossLeftRight)
TAVIMO_DISPATCH_P(EmbossRightLeft)

} // namespace tavimo::fx
