// The AVX2 variant of the window filters. Everything included before the target pragma
// keeps the generic instruction set; only this variant's own functions use AVX2, and they
// run only where the processor has it.

#include "filters/filter_engine.h"
#include "filters/filter_ops.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#pragma GCC target("avx2")

#define TAVIMO_RANK_NS avx2_impl
#include "filters/filter_rank_impl.h"
#undef TAVIMO_RANK_NS

namespace tavimo::fx::avx2 {

void MedianFilter3(PixelFrame& f) {
    avx2_impl::MedianFilter3(f);
}
void MedianFilter5(PixelFrame& f) {
    avx2_impl::MedianFilter5(f);
}
void MinimumFilter3(PixelFrame& f) {
    avx2_impl::MinimumFilter3(f);
}
void MaximumFilter3(PixelFrame& f) {
    avx2_impl::MaximumFilter3(f);
}
void MorphologicalEdge3(PixelFrame& f) {
    avx2_impl::MorphologicalEdge3(f);
}
void EdgePreservingSmooth5(PixelFrame& f) {
    avx2_impl::EdgePreservingSmooth5(f);
}
void LaplaceRelief(PixelFrame& f, int32_t P) {
    avx2_impl::LaplaceRelief(f, P);
}
void EmbossLeftRight(PixelFrame& f, int32_t P) {
    avx2_impl::EmbossLeftRight(f, P);
}
void EmbossRightLeft(PixelFrame& f, int32_t P) {
    avx2_impl::EmbossRightLeft(f, P);
}
void DiagonalRelief(PixelFrame& f) {
    avx2_impl::DiagonalRelief(f);
}

} // namespace tavimo::fx::avx2
