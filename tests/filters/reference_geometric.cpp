#include "filters/filters.h"
#include "tests/filters/reference.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tavimo::ref::detail {

namespace {

double polar(double y, double x) {
    if (y == 0 && x == 0)
        return 0;
    double xd = x;
    if (x == 0)
        xd = 0.0001;
    double r = std::atan(y / xd);
    if (x < 0)
        r = r + kPi;
    return r;
}

void copyBgr(uint32_t& dst, uint32_t src) {
    setBgr(dst, ch(src, 0), ch(src, 1), ch(src, 2));
}

} // namespace

bool geometric(int32_t sel, PixelFrame& f, const FilterParams& a, const FilterContext& context) {
    Img m = img(f);
    const int32_t W = m.W, H = m.H;
    const int64_t N = static_cast<int64_t>(W) * H;
    switch (sel) {
    case 4: {
        int32_t P = cint(a.P);
        int64_t s = P > 0 ? P : 6;
        int32_t h = cint(s / 2.0);
        for (int32_t y = 1; y <= H; ++y)
            for (int32_t x = 1; x <= W; ++x) {
                float r1 = draw(), r2 = draw();
                int64_t dx = cint(s * static_cast<double>(r1) - h);
                int64_t dy = cint(s * static_cast<double>(r2) - h);
                if (x + dx < 1 || x + dx > W)
                    dx = 0;
                if (y + dy < 1 || y + dy > H)
                    dy = 0;
                uint32_t from = m.at(static_cast<int32_t>(x + dx), static_cast<int32_t>(y + dy));
                copyBgr(m.at(x, y), from);
            }
        return true;
    }
    case 15: {
        int32_t P = cint(a.P);
        int64_t c = P < 1 ? 3 : P;
        for (int32_t y = 1; y <= H; ++y)
            for (int32_t x = 1; x <= W; ++x) {
                int64_t x0 = c * ((x - 1) / c) + 1, y0 = c * ((y - 1) / c) + 1;
                int64_t x1 = std::min<int64_t>(W, x0 + c - 1),
                        y1 = std::min<int64_t>(H, y0 + c - 1);
                int64_t s[3] = {}, n = 0;
                for (int64_t yy = y0; yy <= y1; ++yy)
                    for (int64_t xx = x0; xx <= x1; ++xx) {
                        for (int k = 0; k < 3; ++k)
                            s[k] +=
                                ch(m.from(static_cast<int32_t>(xx), static_cast<int32_t>(yy)), k);
                        ++n;
                    }
                setBgr(m.at(x, y), static_cast<int32_t>(s[0] / n), static_cast<int32_t>(s[1] / n),
                       static_cast<int32_t>(s[2] / n));
            }
        return true;
    }
    case 20: {
        int32_t P = cint(a.P);
        int64_t sum = 0;
        for (int64_t i = 0; i < N; ++i)
            sum += (ch(f.pixels[i], 0) + ch(f.pixels[i], 1) + ch(f.pixels[i], 2)) / 3;
        int32_t T =
            static_cast<int32_t>(std::floor(static_cast<double>(sum) / static_cast<double>(N)));
        std::vector<int32_t> cur(W + 1), next(W + 1);
        for (int32_t y = 1; y <= H; ++y) {
            for (int32_t x = 1; x <= W; ++x) {
                uint32_t& p = m.at(x, y);
                int32_t grey = (ch(p, 0) + ch(p, 1) + ch(p, 2)) / 3;
                int32_t v = clamp(grey + idiv(int64_t{cur[x]} * 10, P));
                bool white = v >= T && v > 0;
                int32_t out = white ? 255 : 0;
                setBgr(p, out, out, out);
                int32_t e = white ? v - 255 : v;
                if (x + 1 <= W)
                    cur[x + 1] += 8 * e / 32;
                if (x + 2 <= W)
                    cur[x + 2] += 4 * e / 32;
                if (y < H) {
                    if (x > 2)
                        next[x - 2] += 2 * e / 32;
                    if (x > 1)
                        next[x - 1] += 4 * e / 32;
                    next[x] += 8 * e / 32;
                    if (x + 1 <= W)
                        next[x + 1] += 4 * e / 32;
                    if (x + 2 <= W)
                        next[x + 2] += 2 * e / 32;
                }
            }
            cur = next;
            std::fill(next.begin(), next.end(), 0);
        }
        return true;
    }
    case 37:
    case 38: {
        double amp = a.F < 1 ? 1 : a.F, per = a.G < 1 ? 1 : a.G;
        for (int32_t y = 1; y <= H; ++y)
            for (int32_t x = 1; x <= W; ++x) {
                int64_t i = (static_cast<int64_t>(y) - 1) * W + (x - 1), t;
                if (sel == 37) {
                    int64_t g = cint(std::sin(x / per) * amp);
                    t = (y - g - 1) * W + (x - 1);
                } else {
                    int64_t g = cint(std::sin(y / per) * amp);
                    t = i - g;
                }
                if (t >= 0 && t <= N - 1)
                    copyBgr(f.pixels[t], f.source[i]);
            }
        return true;
    }
    case 52: {
        FilterPattern pat = GetFilterPattern();
        for (int32_t y = 2; y <= H - 1; ++y)
            for (int32_t x = 2; x <= W - 1; ++x) {
                bool match = true;
                for (int k = 0; k < 9; ++k) {
                    uint32_t s = m.from(x + k % 3 - 1, y + k / 3 - 1);
                    for (int c = 0; c < 3; ++c)
                        match = match && ch(s, c) == ch(pat[k], c);
                }
                if (match)
                    for (int k = 0; k < 9; ++k)
                        copyBgr(m.at(x + k % 3 - 1, y + k / 3 - 1), pat[9 + k]);
            }
        return true;
    }
    case 55: {
        double s = a.P >= 1 ? std::min(a.P, 100.0) : 1;
        double amax = s / 10 * kPi;
        double D = std::max(W, H);
        int32_t cx = W / 2, cy = H / 2;
        for (int32_t y = 1; y <= H; ++y)
            for (int32_t x = 1; x <= W; ++x) {
                double dx = x - cx, dy = y - cy;
                double r = std::sqrt(dx * dx + dy * dy);
                double t = r / D * amax;
                double sx = std::floor(dx * std::cos(t) + cx - dy * std::sin(t));
                double sy = std::floor(dy * std::cos(t) + cy + dx * std::sin(t));
                if (sx >= 1 && sx <= W && sy >= 1 && sy <= H) {
                    copyBgr(m.at(x, y), m.from(static_cast<int32_t>(sx), static_cast<int32_t>(sy)));
                } else if (context.coversWholeImage) {
                    setBgr(m.at(x, y), 255, 255, 255);
                }
            }
        return true;
    }
    case 56: {
        if (context.coversWholeImage)
            for (int64_t i = 0; i < N; ++i)
                setBgr(f.pixels[i], 255, 255, 255);
        int32_t b = W / 2, d = H / 2;
        for (int32_t y = 1; y <= H; ++y) {
            if (d == 0)
                fault();
            double t = static_cast<double>(y - d) / d;
            double q = std::min(t * t, 1.0);
            double l = std::sqrt(1 - q);
            int64_t mm = static_cast<int64_t>(std::floor((1 - l) * b)) - 1;
            double k = static_cast<double>(W - 2 * mm) / W;
            for (int32_t x = 1; x <= W; ++x) {
                int64_t col = cint((x - 1) * k + mm);
                col = std::clamp<int64_t>(col, 0, W - 1);
                copyBgr(m.at(static_cast<int32_t>(col) + 1, y), m.from(x, y));
            }
        }
        return true;
    }
    case 57: {
        double R = std::sqrt(static_cast<double>(W) * W + static_cast<double>(H) * H) / 2;
        double s = a.P >= 1 ? std::min(a.P, 100.0) : 1;
        for (int32_t x = 1; x <= W; ++x)
            for (int32_t y = 1; y <= H; ++y) {
                double dx = cint(W * 0.5 - x), dy = cint(H * 0.5 - y);
                double r = std::sqrt(dx * dx + dy * dy);
                if (r >= R)
                    continue;
                double angle = polar(dy, dx) + r / (R / s);
                int64_t sx = cint(r * std::cos(angle) + W * 0.5);
                int64_t sy = cint(H * 0.5 - r * std::sin(angle));
                sx = std::clamp<int64_t>(sx, 1, W);
                sy = std::clamp<int64_t>(sy, 1, H);
                m.at(x, y) = m.from(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
            }
        return true;
    }
    default:
        return false;
    }
}

} // namespace tavimo::ref::detail
