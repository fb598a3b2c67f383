#include "tests/filters/reference.h"

#include <cstdlib>

namespace tavimo::ref::detail {

bool neighbourhood(int32_t sel, PixelFrame& f, const FilterParams& a) {
    Img m = img(f);
    const int32_t W = m.W, H = m.H;
    auto P = [&] { return cint(a.P); };
    switch (sel) {
    case 1:
    case 3:
    case 5:
    case 6:
    case 33: {
        const int64_t p = (sel == 1 || sel == 6 || sel == 33) ? P() : 0;
        for (int32_t y = 2; y <= H - 1; ++y) {
            for (int32_t x = 2; x <= W - 1; ++x) {
                int32_t v[3];
                for (int c = 0; c < 3; ++c) {
                    // Read from the buffer itself: NW, N, NE, W hold new values already.
                    int64_t cc = ch(m.at(x, y), c);
                    int64_t N = ch(m.at(x, y - 1), c), S = ch(m.at(x, y + 1), c);
                    int64_t Wv = ch(m.at(x - 1, y), c), E = ch(m.at(x + 1, y), c);
                    int64_t n8 = N + S + Wv + E + ch(m.at(x - 1, y - 1), c) +
                                 ch(m.at(x + 1, y - 1), c) + ch(m.at(x - 1, y + 1), c) +
                                 ch(m.at(x + 1, y + 1), c);
                    int64_t r;
                    if (sel == 1) {
                        r = clamp(idiv(check(check(check(p + 24) * cc) - 2 * n8), check(p + 8)));
                    } else if (sel == 3) {
                        r = n8 / 8;
                    } else if (sel == 5) {
                        r = (cc + N + S + Wv + E) / 5;
                    } else if (sel == 6) {
                        r = clamp(idiv(check(check(check(p + 9) * cc) - n8), check(p + 1)));
                    } else {
                        int64_t w = check(101 - p);
                        r = idiv(check(check(w * cc) + N + S + Wv + E), check(w + 4));
                        if (r < 0 || r > 255)
                            fault();
                    }
                    v[c] = static_cast<int32_t>(r);
                }
                setBgr(m.at(x, y), v[0], v[1], v[2]);
            }
        }
        return true;
    }
    case 7:
    case 9:
    case 11:
    case 13: {
        const int32_t p = sel == 13 ? 0 : P();
        const int32_t c0 = p % 256, c1 = (p >> 8) & 255, c2 = (p >> 16) & 255;
        for (int32_t y = 2; y <= H - 1; ++y) {
            for (int32_t x = 2; x <= W - 1; ++x) {
                int32_t out[3];
                for (int c = 0; c < 3; ++c) {
                    auto s = [&](int dx, int dy) { return ch(m.from(x + dx, y + dy), c); };
                    if (sel == 7) {
                        int32_t n8 = s(-1, -1) + s(0, -1) + s(1, -1) + s(-1, 0) + s(1, 0) +
                                     s(-1, 1) + s(0, 1) + s(1, 1);
                        int32_t bias = c == 2 ? c2 : (c == 1 ? c1 : c0);
                        out[c] = clamp(8 * s(0, 0) - n8 + bias);
                    } else if (sel == 13) {
                        int32_t v = 2 * s(-1, -1) + s(0, -1) + s(-1, 0) + s(0, 0) - s(1, 0) -
                                    s(0, 1) - 2 * s(1, 1);
                        out[c] = clamp(v / 2 + 50);
                    } else {
                        int32_t left = s(-1, -1) + s(-1, 0) + s(-1, 1),
                                right = s(1, -1) + s(1, 0) + s(1, 1);
                        out[c] = sel == 9 ? left - right : right - left;
                    }
                }
                if (sel == 9 || sel == 11) {
                    setBgr(m.at(x, y), clamp(out[2] + c2), clamp(out[1] + c1), clamp(out[0] + c0));
                } else {
                    setBgr(m.at(x, y), out[0], out[1], out[2]);
                }
            }
        }
        return true;
    }
    case 8:
    case 10: {
        const int32_t p = P();
        const int32_t c0 = p % 256, c1 = (p >> 8) & 255, c2 = (p >> 16) & 255;
        for (int32_t y = 1; y <= H - 1; ++y) {
            for (int32_t x = 1; x <= W - 1; ++x) {
                uint32_t c = m.at(x, y), se = m.at(x + 1, y + 1);
                if (sel == 8) {
                    int32_t red = clamp(std::abs(ch(c, 0) - ch(se, 0) + c0));
                    int32_t gb = clamp(std::abs(ch(c, 1) - ch(se, 1) + c1));
                    setBgr(m.at(x, y), gb, gb, red);
                } else {
                    int32_t red = clamp(std::abs(ch(se, 0) - ch(c, 0) + c0));
                    int32_t green = clamp(std::abs(ch(se, 1) - ch(c, 1) + c1));
                    int32_t blue = clamp(std::abs(ch(se, 2) - ch(c, 2) + c2));
                    setBgr(m.at(x, y), blue, green, red);
                }
            }
        }
        return true;
    }
    case 32: {
        float fu = static_cast<float>(1 + 20 / 100.0), fd = static_cast<float>(1 - 20 / 100.0);
        int32_t up[256], down[256];
        for (int i = 0; i < 256; ++i) {
            double u = i * static_cast<double>(fu);
            up[i] = u > 255 ? 255 : cint(u);
            down[i] = cint(i * static_cast<double>(fd));
        }
        for (int32_t y = 1; y <= H - 1; y += 2) {
            for (int32_t x = 1; x <= W; ++x) {
                for (int c = 0; c < 3; ++c) {
                    setCh(m.at(x, y), c, up[ch(m.at(x, y), c)]);
                    setCh(m.at(x, y + 1), c, down[ch(m.at(x, y + 1), c)]);
                }
            }
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace tavimo::ref::detail
