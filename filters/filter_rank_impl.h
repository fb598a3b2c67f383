// Rank filters (median, minimum, maximum, morphological edge) and the edge-preserving
// 5x5 smoothing. All read the unchanged source copy and write the pixel buffer's interior,
// eight pixels at a time in byte lanes; the frame and alpha keep their values.
//
// Compiled once per instruction-set variant (filter_rank.cpp, filter_rank_avx2.cpp), each
// inside its own namespace so that no inline function is shared between the variants.
// Every standard and engine header is included before, outside the variant's target.

#include "filters/filter_simd.h"

namespace tavimo::fx::TAVIMO_RANK_NS {

namespace {

// Calls kernel(window) for every interior pixel group, where window[r * (2R+1) + c] is the
// source at row offset r - R and column offset c - R of the group's pixels, and writes
// the kernel's blue, green and red lanes into the pixel buffer.
template <int R, class Kernel> void windowFilter(PixelFrame& f, Kernel kernel) {
    constexpr int kSide = 2 * R + 1;
    const int32_t w = f.width, h = f.height;
    if (w < kSide || h < kSide) {
        return;
    }
    parallelRows(R, h - R, rowGrain(w), [&](int32_t y0, int32_t y1) {
        VBytes window[kSide * kSide];
        for (int32_t y = y0; y < y1; ++y) {
            uint32_t* out = f.pixels + static_cast<int64_t>(y) * w;
            for (int32_t x = R; x < w - R; x += kLanePixels) {
                const int n = std::min<int32_t>(kLanePixels, w - R - x);
                for (int r = 0; r < kSide; ++r) {
                    const uint32_t* row = f.source + static_cast<int64_t>(y + r - R) * w + x - R;
                    for (int c = 0; c < kSide; ++c) {
                        window[r * kSide + c] = loadPixels(row + c, n);
                    }
                }
                VBytes result = kernel(window);
                storePixels(out + x, keepAlpha(result, loadPixels(out + x, n)), n);
            }
        }
    });
}

using Median9 = SelectionNetwork<16, 9, 4>;

} // namespace

// The 3x3 filters below work on column blocks of a row: each column of three source
// pixels is reduced once (its extreme, or sorted for the median) and shared by the three
// windows that hold it. Minimum and maximum are exact in any order, and the median of
// nine is the median of (the largest column minimum, the median column median, the
// smallest column maximum), so the results equal the full-window ones.
namespace {

inline constexpr int32_t kBlockPixels = 512;

// Column results of one block, per thread.
struct ColumnScratch {
    uint32_t a[kBlockPixels + 2 + kLanePixels];
    uint32_t b[kBlockPixels + 2 + kLanePixels];
    uint32_t c[kBlockPixels + 2 + kLanePixels];
};

// Computes output row `out` from the three source rows about it, block by block: calls
// columns(scratch, top, middle, bottom, i, n) for each run of up to 8 columns x0 - 1 + i
// of the rows (keeping what it computes at index i of the scratch), then
// rows(scratch, i, n) for each group of up to 8 outputs x0 + i, whose columns sit at i,
// i + 1 and i + 2. Each output is written after the block's columns are read, and `out`
// is read only for its alpha, so `out` may be the middle row's own pixels as long as the
// middle row is a separate copy.
template <class Columns, class Rows>
void threeByThreeRow(int32_t w, const uint32_t* above, const uint32_t* here, const uint32_t* below,
                     uint32_t* out, ColumnScratch& scratch, Columns& columns, Rows& rows) {
    for (int32_t x0 = 1; x0 < w - 1; x0 += kBlockPixels) {
        const int32_t x1 = std::min<int32_t>(w - 1, x0 + kBlockPixels);
        // Columns x0 - 1 .. x1 (inclusive) feed outputs x0 .. x1 - 1.
        const int32_t first = x0 - 1, count = x1 + 1 - first;
        for (int32_t i = 0; i < count; i += kLanePixels) {
            const int n = std::min<int32_t>(kLanePixels, count - i);
            columns(scratch, loadPixels(above + first + i, n), loadPixels(here + first + i, n),
                    loadPixels(below + first + i, n), i, n);
        }
        for (int32_t x = x0; x < x1; x += kLanePixels) {
            const int n = std::min<int32_t>(kLanePixels, x1 - x);
            VBytes result = rows(scratch, x - x0, n);
            storePixels(out + x, keepAlpha(result, loadPixels(out + x, n)), n);
        }
    }
}

// Runs a 3x3 filter over the interior. With a separate source, rows in parallel; when
// the source is the pixels themselves, in place: the interior rows are split into bands,
// each band's first and last rows are saved before any band starts, and within a band each
// row is copied before it is overwritten, so every output still sees the original rows.
template <class Columns, class Rows> void threeByThree(PixelFrame& f, Columns columns, Rows rows) {
    const int32_t w = f.width, h = f.height;
    if (w < 3 || h < 3) {
        return;
    }
    if (f.source != f.pixels) {
        parallelRows(1, h - 1, rowGrain(w), [&](int32_t y0, int32_t y1) {
            ColumnScratch scratch;
            for (int32_t y = y0; y < y1; ++y) {
                const uint32_t* above = f.source + static_cast<int64_t>(y - 1) * w;
                threeByThreeRow(w, above, above + w, above + 2 * w,
                                f.pixels + static_cast<int64_t>(y) * w, scratch, columns, rows);
            }
        });
        return;
    }
    const int32_t interior = h - 2;
    const int32_t bands = inPlaceBands(interior);
    const size_t rowBytes = static_cast<size_t>(w) * 4;
    // Per band: its saved first and last rows, then two rows for the copies.
    auto* store = static_cast<uint32_t*>(scratchMemory(inPlaceScratchBytes(w, interior)));
    auto slot = [&](int32_t band, int k) {
        return store + (static_cast<int64_t>(band) * 4 + k) * w;
    };
    auto bandFirst = [&](int32_t band) {
        return 1 + static_cast<int32_t>(static_cast<int64_t>(interior) * band / bands);
    };
    uint32_t* px = f.pixels;
    auto row = [&](int64_t y) { return px + y * w; };
    parallelRows(0, bands, 1, [&](int32_t b0, int32_t b1) {
        for (int32_t band = b0; band < b1; ++band) {
            std::memcpy(slot(band, 0), row(bandFirst(band)), rowBytes);
            std::memcpy(slot(band, 1), row(bandFirst(band + 1) - 1), rowBytes);
        }
    });
    parallelRows(0, bands, 1, [&](int32_t b0, int32_t b1) {
        ColumnScratch scratch;
        for (int32_t band = b0; band < b1; ++band) {
            const int32_t first = bandFirst(band), last = bandFirst(band + 1);
            // The rows next to the band: the frame's own, never written, or a neighbour
            // band's saved copy.
            const uint32_t* above = first == 1 ? row(0) : slot(band - 1, 1);
            const uint32_t* afterLast = last == h - 1 ? row(h - 1) : slot(band + 1, 0);
            const uint32_t* here = slot(band, 0);
            uint32_t* spare[2] = {slot(band, 2), slot(band, 3)};
            int next = 0;
            for (int32_t y = first; y < last; ++y) {
                const uint32_t* below = y + 1 < last ? row(y + 1) : afterLast;
                threeByThreeRow(w, above, here, below, row(y), scratch, columns, rows);
                if (y + 1 < last) {
                    // Row y + 1 is written next: keep its original first, in the spare
                    // that `above` no longer needs.
                    uint32_t* copy = spare[next];
                    if (copy == here) {
                        copy = spare[next ^ 1];
                    }
                    std::memcpy(copy, row(y + 1), rowBytes);
                    next = copy == spare[0] ? 1 : 0;
                    above = here;
                    here = copy;
                }
            }
        }
    });
}

template <bool Max> void extreme3(PixelFrame& f) {
    auto pick = [](VBytes a, VBytes b) { return Max ? vmax(a, b) : vmin(a, b); };
    threeByThree(
        f,
        [&](ColumnScratch& s, VBytes a, VBytes b, VBytes c, int32_t i, int n) {
            storePixels(s.a + i, pick(pick(a, b), c), n);
        },
        [&](ColumnScratch& s, int32_t i, int n) {
            return pick(pick(loadPixels(s.a + i, n), loadPixels(s.a + i + 1, n)),
                        loadPixels(s.a + i + 2, n));
        });
}

} // namespace

inline void MedianFilter3(PixelFrame& f) {
    threeByThree(
        f,
        [](ColumnScratch& s, VBytes a, VBytes b, VBytes c, int32_t i, int n) {
            VBytes l = vmin(a, b), u = vmax(a, b);
            VBytes m = vmax(l, vmin(u, c));
            storePixels(s.a + i, vmin(l, c), n);
            storePixels(s.b + i, m, n);
            storePixels(s.c + i, vmax(u, c), n);
        },
        [](ColumnScratch& s, int32_t i, int n) {
            VBytes l = vmax(vmax(loadPixels(s.a + i, n), loadPixels(s.a + i + 1, n)),
                            loadPixels(s.a + i + 2, n));
            VBytes u = vmin(vmin(loadPixels(s.c + i, n), loadPixels(s.c + i + 1, n)),
                            loadPixels(s.c + i + 2, n));
            VBytes a = loadPixels(s.b + i, n), b = loadPixels(s.b + i + 1, n),
                   c = loadPixels(s.b + i + 2, n);
            VBytes m = vmax(vmin(a, b), vmin(vmax(a, b), c));
            return vmax(vmin(l, m), vmin(vmax(l, m), u));
        });
}

// The 5x5 median: each column of five source pixels is sorted once and shared by the
// five windows that hold it; the selection then leaves out every comparison whose order
// the sorted columns already settle.
namespace {

using Median25Columns = PresortedSelection<32, 25, 12, 5>;

struct SortedColumns {
    uint32_t r[5][kBlockPixels + 4 + kLanePixels];
};

// Sorts five vectors ascending, lane by lane (nine comparators).
inline void sortFive(VBytes* v) {
    constexpr int kPairs[9][2] = {{0, 1}, {3, 4}, {2, 4}, {2, 3}, {0, 3},
                                  {0, 2}, {1, 4}, {1, 3}, {1, 2}};
    for (const auto& p : kPairs) {
        VBytes lo = vmin(v[p[0]], v[p[1]]), hi = vmax(v[p[0]], v[p[1]]);
        v[p[0]] = lo;
        v[p[1]] = hi;
    }
}

} // namespace

inline void MedianFilter5(PixelFrame& f) {
    const int32_t w = f.width, h = f.height;
    if (w < 5 || h < 5) {
        return;
    }
    parallelRows(2, h - 2, rowGrain(w), [&](int32_t y0, int32_t y1) {
        SortedColumns cols;
        for (int32_t y = y0; y < y1; ++y) {
            const uint32_t* top = f.source + static_cast<int64_t>(y - 2) * w;
            uint32_t* out = f.pixels + static_cast<int64_t>(y) * w;
            for (int32_t x0 = 2; x0 < w - 2; x0 += kBlockPixels) {
                const int32_t x1 = std::min<int32_t>(w - 2, x0 + kBlockPixels);
                // Columns x0 - 2 .. x1 + 1 feed outputs x0 .. x1 - 1.
                const int32_t first = x0 - 2, count = x1 + 2 - first;
                for (int32_t i = 0; i < count; i += kLanePixels) {
                    const int n = std::min<int32_t>(kLanePixels, count - i);
                    VBytes v[5];
                    for (int r = 0; r < 5; ++r) {
                        v[r] = loadPixels(top + static_cast<int64_t>(r) * w + first + i, n);
                    }
                    sortFive(v);
                    for (int r = 0; r < 5; ++r) {
                        storePixels(cols.r[r] + i, v[r], n);
                    }
                }
                for (int32_t x = x0; x < x1; x += kLanePixels) {
                    const int n = std::min<int32_t>(kLanePixels, x1 - x);
                    const int32_t i = x - x0;
                    VBytes v[32];
                    for (int c = 0; c < 5; ++c) {
                        for (int r = 0; r < 5; ++r) {
                            v[Median25Columns::kPad + c * 5 + r] = loadPixels(cols.r[r] + i + c, n);
                        }
                    }
                    VBytes result = Median25Columns::select(v);
                    storePixels(out + x, keepAlpha(result, loadPixels(out + x, n)), n);
                }
            }
        }
    });
}

inline void MinimumFilter3(PixelFrame& f) {
    extreme3<false>(f);
}

inline void MaximumFilter3(PixelFrame& f) {
    extreme3<true>(f);
}

inline void MorphologicalEdge3(PixelFrame& f) {
    // The window holds the pixel itself, so its value minus the minimum never goes
    // below 0 and needs no clamp.
    windowFilter<1>(f, [](VBytes* win) {
        VBytes m = win[0];
        for (int i = 1; i < 9; ++i) {
            m = vmin(m, win[i]);
        }
        return win[4] - m;
    });
}

inline void EdgePreservingSmooth5(PixelFrame& f) {
    windowFilter<2>(f, [](VBytes* win) {
        VWords v[25];
        for (int i = 0; i < 25; ++i) {
            v[i] = __builtin_convertvector(win[i], VWords);
        }
        // Sub-windows 1 to 4: upper-left, upper-right, lower-left, lower-right, each 3x3
        // and each holding the centre. Means are truncated; the strictly smallest
        // deviation wins, so ties go to the lower-numbered sub-window. The deviation
        // uses |v - M| = v + M - 2 min(v, M), so its sum is S + 9M - 2 (sum of minima).
        constexpr int kTop[4] = {0, 0, 2, 2};
        constexpr int kLeft[4] = {0, 2, 0, 2};
        VWords bestMean{}, bestDev{};
        for (int k = 0; k < 4; ++k) {
            VWords sum{};
            for (int i = 0; i < 9; ++i) {
                sum += v[(kTop[k] + i / 3) * 5 + kLeft[k] + i % 3];
            }
            const VWords mean = divideBy9(sum);
            VWords minima{};
            for (int i = 0; i < 9; ++i) {
                minima += vmin(v[(kTop[k] + i / 3) * 5 + kLeft[k] + i % 3], mean);
            }
            const VWords dev = sum + mean * 9 - minima * 2;
            if (k == 0) {
                bestMean = mean;
                bestDev = dev;
            } else {
                auto better = dev < bestDev;
                bestMean = better ? mean : bestMean;
                bestDev = better ? dev : bestDev;
            }
        }
        return __builtin_convertvector(bestMean, VBytes);
    });
}

// 3x3 reliefs and embosses from the source copy, in signed 16-bit lanes; window index
// r * 3 + c is row offset r - 1, column offset c - 1.
inline void LaplaceRelief(PixelFrame& f, int32_t P) {
    const ColorParts c = splitColorRef(P);
    const VShorts bias = perChannel(static_cast<int16_t>(c.c0), static_cast<int16_t>(c.c1),
                                    static_cast<int16_t>(c.c2));
    windowFilter<1>(f, [&](VBytes* win) {
        VShorts ring{};
        for (int i = 0; i < 9; ++i) {
            if (i != 4) {
                ring += widen(win[i]);
            }
        }
        return narrowClamped(widen(win[4]) * 8 - ring + bias);
    });
}

inline void embossColumns(PixelFrame& f, int32_t P, bool leftMinusRight) {
    const ColorParts c = splitColorRef(P);
    // The blue difference goes to red with c0 and the red one to blue with c2: the bias
    // is added before the lanes are swapped.
    const VShorts bias = perChannel(static_cast<int16_t>(c.c0), static_cast<int16_t>(c.c1),
                                    static_cast<int16_t>(c.c2));
    const VBytes swap = {2,  1,  0,  3,  6,  5,  4,  7,  10, 9,  8,  11, 14, 13, 12, 15,
                         18, 17, 16, 19, 22, 21, 20, 23, 26, 25, 24, 27, 30, 29, 28, 31};
    windowFilter<1>(f, [&](VBytes* win) {
        VShorts left = widen(win[0]) + widen(win[3]) + widen(win[6]);
        VShorts right = widen(win[2]) + widen(win[5]) + widen(win[8]);
        VShorts d = leftMinusRight ? left - right : right - left;
        return __builtin_shuffle(narrowClamped(d + bias), swap);
    });
}

inline void EmbossLeftRight(PixelFrame& f, int32_t P) {
    embossColumns(f, P, true);
}
inline void EmbossRightLeft(PixelFrame& f, int32_t P) {
    embossColumns(f, P, false);
}

inline void DiagonalRelief(PixelFrame& f) {
    windowFilter<1>(f, [](VBytes* win) {
        // Kernel rows 2 1 0 / 1 1 -1 / 0 -1 -2.
        VShorts s = widen(win[0]) * 2 + widen(win[1]) + widen(win[3]) + widen(win[4]) -
                    widen(win[5]) - widen(win[7]) - widen(win[8]) * 2;
        // Halving truncated toward zero: negative sums round up first.
        VShorts half = (s - (s >> 15)) >> 1;
        return narrowClamped(half + 50);
    });
}

} // namespace tavimo::fx::TAVIMO_RANK_NS
