#pragma once

// Small helpers of the filter tests: frames made by the tests, a scripted random source.

#include "filters/filter_types.h"
#include "filters/filters.h"

#include <cstdint>
#include <random>
#include <vector>

namespace tavimo::testing {

// Replays a fixed list of values, cycling; or, without a list, a seeded sequence.
class ScriptedUniform final : public FilterUniformSource {
public:
    explicit ScriptedUniform(std::vector<float> values = {}, uint32_t seed = 1)
        : m_values(std::move(values)), m_seed(seed), m_rng(seed) {}
    void fill(float* out, size_t count) override {
        for (size_t i = 0; i < count; ++i) {
            if (!m_values.empty()) {
                out[i] = m_values[m_next++ % m_values.size()];
            } else {
                out[i] = static_cast<float>(m_rng() >> 8) * 0x1p-24f;
            }
        }
    }
    void restart() {
        m_next = 0;
        m_rng.seed(m_seed);
    }

private:
    std::vector<float> m_values;
    size_t m_next = 0;
    uint32_t m_seed;
    std::mt19937 m_rng;
};

// Installs a source on this thread for the lifetime of the guard.
class UseUniform {
public:
    explicit UseUniform(FilterUniformSource& s) { SetFilterUniformSource(&s); }
    ~UseUniform() { SetFilterUniformSource(nullptr); }
};

inline constexpr uint32_t bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a = 255) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}
inline constexpr uint32_t grey(uint32_t v, uint32_t a = 255) {
    return bgra(v, v, v, a);
}

// A frame over owned pixels; `source` is a copy of the pixels made at construction.
struct TestFrame {
    int32_t width, height;
    std::vector<uint32_t> pixels, source;
    TestFrame(int32_t w, int32_t h, uint32_t fillValue = 0)
        : width(w), height(h), pixels(static_cast<size_t>(w) * h, fillValue) {}
    TestFrame(int32_t w, int32_t h, std::vector<uint32_t> px)
        : width(w), height(h), pixels(std::move(px)) {}
    uint32_t& at(int32_t x, int32_t y) { return pixels[static_cast<size_t>(y) * width + x]; }
    PixelFrame frame() {
        source = pixels;
        return PixelFrame{pixels.data(), source.data(), width, height};
    }
};

// Random pixels: every byte drawn from `alphabet` (all bytes 0..255 when empty); with
// `greyOnly`, blue = green = red.
inline std::vector<uint32_t> randomPixels(int32_t w, int32_t h, uint32_t seed,
                                          const std::vector<uint8_t>& alphabet = {},
                                          bool greyOnly = false) {
    std::mt19937 rng(seed);
    auto byte = [&] {
        return alphabet.empty() ? static_cast<uint32_t>(rng() & 255)
                                : static_cast<uint32_t>(alphabet[rng() % alphabet.size()]);
    };
    std::vector<uint32_t> px(static_cast<size_t>(w) * h);
    for (auto& p : px) {
        uint32_t b = byte(), g = byte(), r = byte(), a = rng() & 255;
        if (greyOnly) {
            g = r = b;
        }
        p = bgra(b, g, r, a);
    }
    return px;
}

// Runs one selector on a test frame; returns true when it completed, false on a fault.
inline bool runOn(int32_t selector, TestFrame& t, const FilterParams& params = {},
                  const FilterContext& context = {}, FilterOutcome* outcome = nullptr) {
    PixelFrame f = t.frame();
    try {
        FilterOutcome o = runFilterOperation(selector, f, params, context);
        if (outcome) {
            *outcome = o;
        }
        return true;
    } catch (const FilterFault&) {
        return false;
    }
}

inline FilterParams withP(double P) {
    FilterParams p;
    p.P = P;
    return p;
}

} // namespace tavimo::testing
