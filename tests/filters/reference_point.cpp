#include "tests/filters/reference.h"

#include <algorithm>
#include <cstdlib>

namespace tavimo::ref::detail {

namespace {

int32_t P32(const FilterParams& a) {
    return cint(a.P);
}

void hsl(float h, float s, float l, int32_t& r, int32_t& g, int32_t& b) {
    float fr, fg, fb;
    if (s == 0.0f) {
        fr = fg = fb = l;
    } else {
        float lo;
        if (l <= 0.5f) {
            lo = l * (1.0f - s);
        } else {
            lo = l - (1.0f - l) * s;
        }
        float hi = 2.0f * l - lo;
        float d = hi - lo;
        if (h < 0.0f) {
            fr = hi;
            fg = lo;
            fb = lo - h * d;
        } else if (h < 1.0f) {
            fr = hi;
            fg = lo + h * d;
            fb = lo;
        } else if (h < 2.0f) {
            fg = hi;
            fr = lo - (h - 2.0f) * d;
            fb = lo;
        } else if (h < 3.0f) {
            fg = hi;
            fr = lo;
            fb = lo + (h - 2.0f) * d;
        } else if (h < 4.0f) {
            fb = hi;
            fr = lo;
            fg = lo - (h - 4.0f) * d;
        } else {
            fb = hi;
            fg = lo;
            fr = lo + (h - 4.0f) * d;
        }
    }
    float x = fr * 255.0f;
    r = cbyte(x);
    x = fg * 255.0f;
    g = cbyte(x);
    x = fb * 255.0f;
    b = cbyte(x);
}

} // namespace

FilterOutcome point(int32_t sel, PixelFrame& f, const FilterParams& a, const FilterContext& context,
                    bool& handled) {
    FilterOutcome out;
    handled = true;
    const int64_t N = static_cast<int64_t>(f.width) * f.height;
    uint32_t* px = f.pixels;
    switch (sel) {
    case 2:
        for (int64_t i = 0; i < N; ++i) {
            for (int k = 0; k < 3; ++k)
                setCh(px[i], k, 255 - ch(px[i], k));
        }
        break;
    case 12:
        for (int64_t i = 0; i < N; ++i) {
            int32_t s = ch(px[i], 0) + ch(px[i], 1) + ch(px[i], 2);
            int32_t v = cbyte(s / 3.0);
            setBgr(px[i], v, v, v);
        }
        break;
    case 14: {
        float k = static_cast<float>(static_cast<double>(check(int64_t{P32(a)} + 100)) / 100.0);
        int32_t t[256];
        for (int i = 0; i < 256; ++i)
            t[i] = clamp(cint(static_cast<double>(k) * i));
        for (int64_t i = 0; i < N; ++i) {
            for (int c = 0; c < 3; ++c)
                setCh(px[i], c, t[ch(px[i], c)]);
        }
        break;
    }
    case 16: {
        int32_t mode = P32(a);
        for (int64_t i = 0; i < N; ++i) {
            int32_t B = ch(px[i], 0), G = ch(px[i], 1), R = ch(px[i], 2);
            switch (mode) {
            case 1:
                setBgr(px[i], R, B, G);
                break; // R := G, G := B, B := R
            case 2:
                setBgr(px[i], G, R, B);
                break; // R := B, G := R, B := G
            case 3:
                setBgr(px[i], B, R, G);
                break;
            case 4:
                setBgr(px[i], R, G, B);
                break;
            case 5:
                setBgr(px[i], G, B, R);
                break;
            default:
                break;
            }
        }
        break;
    }
    case 17: {
        int32_t P = P32(a);
        int64_t sum = 0;
        for (int64_t i = 0; i < N; ++i)
            sum += (ch(px[i], 0) + ch(px[i], 1) + ch(px[i], 2)) / 3;
        int32_t mean = static_cast<int32_t>(std::floor(static_cast<double>(sum) / N));
        float k = static_cast<float>(static_cast<double>(check(int64_t{P} + 100)) / 100.0);
        int64_t t[256];
        for (int i = 0; i < 256; ++i)
            t[i] = cint(mean + (i - mean) * static_cast<double>(k));
        for (int64_t i = 0; i < N; ++i) {
            int64_t r = t[ch(px[i], 2)], g = t[ch(px[i], 1)], b = t[ch(px[i], 0)];
            int rounds = 0;
            while (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255) {
                if (++rounds > 1001)
                    fault();
                if (r <= 0 && g <= 0 && b <= 0)
                    r = g = b = 0;
                if (r > 254 && g > 254 && b > 254)
                    r = g = b = 255;
                if (r < 0) {
                    g = check(g + r / 2);
                    b = check(b + r / 2);
                    r = 0;
                } else if (r > 255) {
                    int64_t h = (r - 255) / 2;
                    g = check(g + h);
                    b = check(b + h);
                    r = 255;
                }
                if (g < 0) {
                    r = check(r + g / 2);
                    b = check(b + g / 2);
                    g = 0;
                } else if (g > 255) {
                    int64_t h = (g - 255) / 2;
                    r = check(r + h);
                    b = check(b + h);
                    g = 255;
                }
                if (b < 0) {
                    r = check(r + b / 2);
                    g = check(g + b / 2);
                    b = 0;
                } else if (b > 255) {
                    int64_t h = (b - 255) / 2;
                    r = check(r + h);
                    g = check(g + h);
                    b = 255;
                }
            }
            setBgr(px[i], static_cast<int32_t>(b), static_cast<int32_t>(g),
                   static_cast<int32_t>(r));
        }
        break;
    }
    case 18: {
        int32_t P = P32(a);
        int32_t c0 = P % 256, c1 = (P >> 8) & 255, c2 = (P >> 16) & 255;
        for (int64_t i = 0; i < N; ++i) {
            bool black = ch(px[i], 0) < c0 && ch(px[i], 1) < c1 && ch(px[i], 2) < c2;
            int32_t v = black ? 0 : 255;
            setBgr(px[i], v, v, v);
        }
        break;
    }
    case 28: {
        int32_t lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
        for (int64_t i = 0; i < N; ++i) {
            for (int c = 0; c < 3; ++c) {
                lo[c] = std::min(lo[c], ch(px[i], c));
                hi[c] = std::max(hi[c], ch(px[i], c));
            }
        }
        for (int c = 0; c < 3; ++c) {
            if (lo[c] == hi[c]) {
                lo[c] = 0;
                hi[c] = 255;
            }
        }
        for (int64_t i = 0; i < N; ++i) {
            for (int c = 0; c < 3; ++c) {
                int32_t v = ch(px[i], c);
                setCh(px[i], c,
                      clamp(cint(static_cast<double>((v - lo[c]) * 255) / (hi[c] - lo[c]))));
            }
        }
        break;
    }
    case 29: {
        int32_t P = P32(a);
        int64_t span = check(2 * int64_t{P} + 1);
        for (int64_t i = 0; i < N; ++i) {
            float u1 = draw(), u2 = draw(), u3 = draw();
            int32_t r = clamp(cint(static_cast<double>(u1) * span - P + ch(px[i], 2)));
            int32_t g = clamp(cint(static_cast<double>(u2) * span - P + ch(px[i], 1)));
            int32_t b = clamp(cint(static_cast<double>(u3) * span - P + ch(px[i], 0)));
            setBgr(px[i], b, g, r);
        }
        break;
    }
    case 30: {
        float s = static_cast<float>(P32(a) / 100.0);
        for (int64_t i = 0; i < N; ++i) {
            int32_t o = (ch(px[i], 0) + ch(px[i], 1) + ch(px[i], 2)) / 3;
            for (int c = 0; c < 3; ++c) {
                int32_t v = ch(px[i], c);
                setCh(px[i], c, clamp(cint(static_cast<double>(s) * (v - o) + v)));
            }
        }
        break;
    }
    case 31: {
        int32_t P = P32(a);
        if (P == 0)
            P = 1;
        double g = P / 100.0, e = 1.0 / g;
        for (int64_t i = 0; i < N; ++i) {
            for (int c = 0; c < 3; ++c)
                setCh(px[i], c, cbyte(std::pow(ch(px[i], c) / 255.0, e) * 255.0));
        }
        break;
    }
    case 34: {
        for (int64_t i = 0; i < N; ++i) {
            uint32_t s = f.source[i];
            float lt = static_cast<float>((ch(s, 1) + ch(s, 2) + ch(s, 0)) / 765.0);
            float l = a.e * lt;
            int32_t r, g, b;
            hsl(a.c, a.d, l, r, g, b);
            setBgr(px[i], b, g, r);
        }
        break;
    }
    case 35: {
        int32_t P = P32(a);
        for (int64_t i = 0; i < N; ++i)
            setCh(px[i], 3, clamp(check(int64_t{ch(px[i], 3)} + P)));
        break;
    }
    case 36:
        out.test = true;
        for (int64_t i = 0; i < N; ++i) {
            if (ch(px[i], 2) != ch(px[i], 0) || ch(px[i], 2) != ch(px[i], 1)) {
                out.test = false;
                break;
            }
        }
        break;
    case 39: {
        int32_t F = cint(a.F), G = cint(a.G), X = cint(a.X);
        for (int64_t i = 0; i < N; ++i) {
            setCh(px[i], 0, clamp(check(int64_t{ch(px[i], 0)} + X)));
            setCh(px[i], 1, clamp(check(int64_t{ch(px[i], 1)} + G)));
            setCh(px[i], 2, clamp(check(int64_t{ch(px[i], 2)} + F)));
        }
        break;
    }
    case 40:
        for (int64_t i = 0; i < N; ++i) {
            int32_t B = ch(px[i], 0), G = ch(px[i], 1), R = ch(px[i], 2);
            if (R > 59) {
                int32_t L = cbyte(0.587 * G + 0.114 * B + 0.299 * R);
                if (R > 1.5 * L && (B < L || G < L)) {
                    int32_t v = cbyte((B + G) / 2.0);
                    setBgr(px[i], v, v, v);
                }
            }
        }
        break;
    case 41:
    case 42:
    case 43: {
        int keep = sel == 41 ? 2 : (sel == 42 ? 1 : 0);
        for (int64_t i = 0; i < N; ++i) {
            for (int c = 0; c < 3; ++c)
                if (c != keep)
                    setCh(px[i], c, 0);
        }
        break;
    }
    case 44:
    case 45:
    case 46: {
        int drop = sel == 44 ? 2 : (sel == 45 ? 1 : 0);
        for (int64_t i = 0; i < N; ++i)
            setCh(px[i], drop, 0);
        break;
    }
    case 47:
    case 48:
    case 49: {
        int c = sel == 47 ? 2 : (sel == 48 ? 1 : 0);
        float factor = static_cast<float>(a.P);
        for (int64_t i = 0; i < N; ++i) {
            int32_t v = cint(ch(px[i], c) * static_cast<double>(factor));
            if (v < 0)
                fault();
            setCh(px[i], c, std::min(v, 255));
        }
        break;
    }
    case 50: {
        int32_t F = cint(a.F);
        double t = std::floor(768.0 - 768.0 / 100.0 * a.P);
        if (!(t >= -2147483648.0 && t <= 2147483647.0))
            fault();
        int32_t T = static_cast<int32_t>(t);
        uint32_t col = static_cast<uint32_t>(F);
        for (int64_t i = 0; i < N; ++i) {
            int32_t d = std::abs(ch(px[i], 2) - ch(col, 2)) + std::abs(ch(px[i], 1) - ch(col, 1)) +
                        std::abs(ch(px[i], 0) - ch(col, 0));
            if (T != 0 ? d <= T : d == 0)
                setCh(px[i], 3, 0);
        }
        break;
    }
    case 51: {
        int32_t F = cint(a.F), G = cint(a.G);
        double t = std::floor(1024.0 - 1024.0 / 100.0 * a.P);
        if (!(t >= -2147483648.0 && t <= 2147483647.0))
            fault();
        int32_t T = static_cast<int32_t>(t);
        uint32_t col = static_cast<uint32_t>(F);
        for (int64_t i = 0; i < N; ++i) {
            int32_t d = 0;
            for (int c = 0; c < 4; ++c)
                d += std::abs(ch(px[i], c) - ch(col, c));
            if (T != 0 ? d <= T : d == 0)
                px[i] = static_cast<uint32_t>(G);
        }
        break;
    }
    case 53: {
        float conf = static_cast<float>(a.F);
        int64_t dark = 0;
        for (int64_t i = 0; i < N; ++i) {
            if (context.packedOneBit) {
                dark += ch(px[i], 0) == 0;
            } else {
                dark += 0.587 * ch(px[i], 1) + 0.299 * ch(px[i], 2) + 0.114 * ch(px[i], 0) < 140;
            }
        }
        double share = 100.0 - static_cast<double>(dark) / static_cast<double>(N) * 100.0;
        share = std::nearbyint(share * 10.0) / 10.0;
        out.test = share > conf;
        break;
    }
    case 54:
        for (int64_t i = 0; i < N; ++i) {
            int32_t B = ch(px[i], 0), G = ch(px[i], 1), R = ch(px[i], 2);
            if (B >= R) {
                int32_t r2 = cint((R + G + B) / 3.0 + R);
                int32_t b2 = cint(std::fabs(r2 - (r2 + G + B) / 3.0));
                setBgr(px[i], clamp(b2), G, clamp(r2));
            }
        }
        break;
    case 58: {
        int64_t hist[256] = {};
        for (int64_t i = 0; i < N; ++i)
            hist[cint((ch(px[i], 2) + ch(px[i], 1) + ch(px[i], 0)) / 3.0)]++;
        double c[256];
        c[0] = static_cast<double>(hist[0]);
        for (int i = 1; i < 256; ++i)
            c[i] = c[i - 1] + static_cast<double>(hist[i]);
        int32_t map[256];
        for (int i = 0; i < 256; ++i) {
            double v = c[i] * 255 / static_cast<double>(N);
            if (v < 0)
                v = 0;
            if (v > 255)
                v = 255;
            map[i] = cbyte(v);
        }
        for (int64_t i = 0; i < N; ++i) {
            for (int k = 0; k < 3; ++k)
                setCh(px[i], k, map[ch(px[i], k)]);
        }
        break;
    }
    case 59:
        out.test = true;
        for (int64_t i = 0; i < N; ++i) {
            int32_t s = ch(px[i], 0) + ch(px[i], 1) + ch(px[i], 2);
            if (s > 0 && s < 765) {
                out.test = false;
                break;
            }
        }
        break;
    case 60: {
        uint32_t col = static_cast<uint32_t>(cint(a.F));
        double n = 0;
        for (int64_t i = 0; i < N; ++i)
            n += px[i] == col ? 1 : 0;
        out.hasValue = true;
        out.value = n;
        break;
    }
    case 67: {
        double n = 0;
        for (int64_t i = 0; i < N; ++i) {
            if (ch(px[i], 3) == 0) {
                n += 1;
                setBgr(px[i], 255, 0, 0);
            }
        }
        out.hasValue = true;
        out.value = n;
        break;
    }
    case 68: {
        double s[4] = {};
        for (int64_t i = 0; i < N; ++i)
            for (int c = 0; c < 4; ++c)
                s[c] += ch(px[i], c);
        int32_t m[4];
        for (int c = 0; c < 4; ++c)
            m[c] = cbyte(s[c] / static_cast<double>(N));
        uint32_t argb = static_cast<uint32_t>(m[0]) + static_cast<uint32_t>(m[1]) * 256u +
                        static_cast<uint32_t>(m[2]) * 65536u +
                        static_cast<uint32_t>(m[3]) * 16777216u;
        out.hasValue = true;
        out.value = static_cast<double>(static_cast<int32_t>(argb));
        break;
    }
    default:
        handled = false;
    }
    return out;
}

} // namespace tavimo::ref::detail
