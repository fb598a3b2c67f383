// Included once per instruction-set variant, each in its own namespace.

// Byte-lane vectors for the window operations: eight pixels (32 bytes) at a time, every
// byte an independent lane, so blue, green and red are filtered together and alpha is
// restored afterwards. GCC lowers these to the vector unit of the
// variant that includes this file (see filter_rank_impl.h).

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#ifndef TAVIMO_RANK_NS
#error "define TAVIMO_RANK_NS (the instruction-set variant) before including"
#endif

namespace tavimo::fx::TAVIMO_RANK_NS {

typedef uint8_t VBytes __attribute__((vector_size(32)));
typedef uint16_t VWords __attribute__((vector_size(64)));
typedef int16_t VShorts __attribute__((vector_size(64)));
typedef uint16_t VWords8 __attribute__((vector_size(16)));

inline constexpr int kLanePixels = 8;

inline VBytes vmin(VBytes a, VBytes b) {
    return a < b ? a : b;
}
inline VBytes vmax(VBytes a, VBytes b) {
    return a < b ? b : a;
}
inline VWords vmin(VWords a, VWords b) {
    return a < b ? a : b;
}
inline VWords vmax(VWords a, VWords b) {
    return a < b ? b : a;
}

// v / 9 lane by lane. GCC turns the division of a vector of native width into a multiply,
// but scalarises it for wider ones, so it is done in 16-byte pieces.
inline VWords divideBy9(VWords v) {
    VWords8 part[4];
    std::memcpy(part, &v, sizeof v);
    for (auto& p : part) {
        p = p / 9;
    }
    std::memcpy(&v, part, sizeof v);
    return v;
}

inline VShorts widen(VBytes v) {
    return __builtin_convertvector(v, VShorts);
}
// Clamps to 0..255 and narrows to bytes.
inline VBytes narrowClamped(VShorts v) {
    const VShorts zero{}, top = zero + 255;
    v = v < zero ? zero : v;
    v = v > top ? top : v;
    return __builtin_convertvector(v, VBytes);
}
// The same lane values for every pixel (blue, green, red; alpha 0).
inline VShorts perChannel(int16_t b, int16_t g, int16_t r) {
    VShorts v{};
    for (int i = 0; i < 32; i += 4) {
        v[i] = b;
        v[i + 1] = g;
        v[i + 2] = r;
    }
    return v;
}

// Loads n (1..8) pixels; lanes past them are zero.
inline VBytes loadPixels(const uint32_t* p, int n) {
    VBytes v;
    if (n == kLanePixels) {
        std::memcpy(&v, p, sizeof v);
    } else {
        v = VBytes{};
        std::memcpy(&v, p, static_cast<size_t>(n) * 4);
    }
    return v;
}

// Stores n (1..8) pixels. The full store is a fixed-size copy, so that only the last
// group of a row takes the variable-length one.
inline void storePixels(uint32_t* p, VBytes v, int n) {
    if (n == kLanePixels) {
        std::memcpy(p, &v, sizeof v);
    } else {
        std::memcpy(p, &v, static_cast<size_t>(n) * 4);
    }
}

// Blue, green and red lanes from `value`, alpha lanes from `keep`.
inline VBytes keepAlpha(VBytes value, VBytes keep) {
    constexpr VBytes bgr = {255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0,
                            255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0};
    return (value & bgr) | (keep & ~bgr);
}

// A comparator of a selection network: after it, v[a] <= v[b]. `lo`/`hi` say whether
// its minimum/maximum output is used later; an unused one is not computed.
struct Comparator {
    uint8_t a, b;
    bool lo, hi;
};

// Batcher's odd-even merge sort on n (a power of two) inputs.
template <int N> constexpr int batcherSize() {
    int count = 0;
    for (int p = 1; p < N; p += p)
        for (int k = p; k > 0; k /= 2)
            for (int j = k % p; j + k < N; j += k + k)
                for (int i = 0; i < k && i + j + k < N; ++i)
                    if ((i + j) / (p + p) == (i + j + k) / (p + p))
                        ++count;
    return count;
}

template <int N> constexpr std::array<Comparator, batcherSize<N>()> batcher() {
    std::array<Comparator, batcherSize<N>()> out{};
    int count = 0;
    for (int p = 1; p < N; p += p)
        for (int k = p; k > 0; k /= 2)
            for (int j = k % p; j + k < N; j += k + k)
                for (int i = 0; i < k && i + j + k < N; ++i)
                    if ((i + j) / (p + p) == (i + j + k) / (p + p))
                        out[count++] = Comparator{static_cast<uint8_t>(i + j),
                                                  static_cast<uint8_t>(i + j + k), true, true};
    return out;
}

// The comparators of a sort of N inputs that decide the element of rank `Target` among
// `Used` real inputs, placed at positions N - Used .. N - 1, when those inputs come in
// groups of `Group` already sorted ascending (at kPad + g * Group .. kPad + g * Group +
// Group - 1; a group of one knows nothing). The unused low positions hold zeros, the
// smallest values. The sort's comparators are followed with what is certainly known about
// the order of every two positions, and a comparator whose inputs are known to be in order
// already is left out, since it would change nothing; then every comparator whose outputs
// no later one reads goes too. The result is the same element as the full sort's.
template <int N, int Used, int Target, int Group> struct PresortedSelection {
    static constexpr int kPad = N - Used;
    static constexpr int kOut = kPad + Target;
    static constexpr int kAll = batcherSize<N>();

    static constexpr auto marked() {
        auto all = batcher<N>();
        // le[i][j]: the value at i is certainly at most the value at j.
        std::array<std::array<bool, N>, N> le{};
        for (int i = 0; i < N; ++i) {
            le[i][i] = true;
            for (int j = 0; j < N; ++j) {
                if (i < kPad) {
                    le[i][j] = true; // the zero pads are the smallest
                }
            }
        }
        for (int g = 0; kPad + g * Group < N; ++g) {
            for (int r1 = 0; r1 < Group; ++r1) {
                for (int r2 = r1; r2 < Group; ++r2) {
                    le[kPad + g * Group + r1][kPad + g * Group + r2] = true;
                }
            }
        }
        std::array<bool, kAll> keep{};
        for (int n = 0; n < kAll; ++n) {
            const int a = all[n].a, b = all[n].b;
            if (le[a][b]) {
                continue;
            }
            keep[n] = true;
            // Afterwards a holds the minimum and b the maximum of the two.
            for (int k = 0; k < N; ++k) {
                if (k == a || k == b) {
                    continue;
                }
                const bool aLe = le[a][k] || le[b][k], leA = le[k][a] && le[k][b];
                const bool bLe = le[a][k] && le[b][k], leB = le[k][a] || le[k][b];
                le[a][k] = aLe;
                le[k][a] = leA;
                le[b][k] = bLe;
                le[k][b] = leB;
            }
            le[a][b] = true;
            le[b][a] = false;
        }
        // Then, from the end, only the comparators whose outputs are read later.
        std::array<bool, N> live{};
        live[kOut] = true;
        for (int n = kAll - 1; n >= 0; --n) {
            Comparator& c = all[n];
            if (!keep[n]) {
                c.lo = c.hi = false;
                continue;
            }
            c.lo = live[c.a];
            c.hi = live[c.b];
            if (c.lo || c.hi) {
                live[c.a] = live[c.b] = true;
            }
        }
        return all;
    }
    static constexpr int count() {
        int n = 0;
        for (const Comparator& c : marked())
            n += (c.lo || c.hi) ? 1 : 0;
        return n;
    }
    static constexpr auto network() {
        std::array<Comparator, count()> out{};
        int n = 0;
        for (const Comparator& c : marked())
            if (c.lo || c.hi)
                out[n++] = c;
        return out;
    }
    static constexpr auto kNetwork = network();

    template <class V, size_t... I> static void run(V* v, std::index_sequence<I...>) {
        (step<V, I>(v), ...);
    }
    template <class V, size_t I> static void step(V* v) {
        constexpr Comparator c = kNetwork[I];
        V x = v[c.a], y = v[c.b];
        if constexpr (c.lo) {
            v[c.a] = vmin(x, y);
        }
        if constexpr (c.hi) {
            v[c.b] = vmax(x, y);
        }
    }

    // values[kPad .. N - 1] hold the inputs; returns the element of rank Target.
    template <class V> static V select(V* values) {
        run(values, std::make_index_sequence<count()>{});
        return values[kOut];
    }
};

// The selection among inputs in no known order.
template <int N, int Used, int Target>
using SelectionNetwork = PresortedSelection<N, Used, Target, 1>;

} // namespace tavimo::fx::TAVIMO_RANK_NS
