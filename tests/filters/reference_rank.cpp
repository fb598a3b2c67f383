#include "tests/filters/reference.h"

namespace tavimo::ref::detail {

namespace {

void bubble(int32_t* v, int last) {
    int bound = last;
    for (;;) {
        int lastSwap = 0;
        for (int i = 0; i < bound; ++i) {
            if (v[i] > v[i + 1]) {
                int32_t t = v[i];
                v[i] = v[i + 1];
                v[i + 1] = t;
                lastSwap = i;
            }
        }
        if (lastSwap == 0) {
            return;
        }
        bound = lastSwap;
    }
}

} // namespace

bool rank(int32_t sel, PixelFrame& f) {
    Img m = img(f);
    const int32_t W = m.W, H = m.H;
    switch (sel) {
    case 61:
    case 63: {
        const int r = sel == 61 ? 1 : 2;
        const int n = (2 * r + 1) * (2 * r + 1);
        for (int32_t y = 1 + r; y <= H - r; ++y) {
            for (int32_t x = 1 + r; x <= W - r; ++x) {
                for (int c = 0; c < 3; ++c) {
                    int32_t v[25];
                    int k = 0;
                    for (int dy = -r; dy <= r; ++dy)
                        for (int dx = -r; dx <= r; ++dx)
                            v[k++] = ch(m.from(x + dx, y + dy), c);
                    bubble(v, n - 1);
                    setCh(m.at(x, y), c, v[n / 2]);
                }
            }
        }
        return true;
    }
    case 25:
    case 26:
    case 27:
        for (int32_t y = 2; y <= H - 1; ++y) {
            for (int32_t x = 2; x <= W - 1; ++x) {
                for (int c = 0; c < 3; ++c) {
                    int32_t run = sel == 25 ? 0 : 255;
                    for (int dy = -1; dy <= 1; ++dy) {
                        for (int dx = -1; dx <= 1; ++dx) {
                            int32_t v = ch(m.from(x + dx, y + dy), c);
                            if (sel == 25 ? v > run : v < run)
                                run = v;
                        }
                    }
                    if (sel == 27)
                        run = ch(m.at(x, y), c) - run;
                    setCh(m.at(x, y), c, run);
                }
            }
        }
        return true;
    case 24:
        for (int32_t y = 3; y <= H - 2; ++y) {
            for (int32_t x = 3; x <= W - 2; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const int top[4] = {y - 2, y - 2, y, y}, left[4] = {x - 2, x, x - 2, x};
                    int32_t M[4], D[4];
                    for (int k = 0; k < 4; ++k) {
                        int32_t S = 0;
                        for (int dy = 0; dy < 3; ++dy)
                            for (int dx = 0; dx < 3; ++dx)
                                S += ch(m.from(left[k] + dx, top[k] + dy), c);
                        M[k] = S / 9;
                        D[k] = 0;
                        for (int dy = 0; dy < 3; ++dy)
                            for (int dx = 0; dx < 3; ++dx) {
                                int32_t d = ch(m.from(left[k] + dx, top[k] + dy), c) - M[k];
                                D[k] += d < 0 ? -d : d;
                            }
                    }
                    int32_t best = 99999, choice = 0;
                    for (int k = 0; k < 4; ++k) {
                        if (D[k] < best) {
                            best = D[k];
                            choice = k;
                        }
                    }
                    setCh(m.at(x, y), c, M[choice]);
                }
            }
        }
        return true;
    case 19: {
        static const int matrix[4][4] = {
            {1, 13, 4, 16}, {9, 5, 12, 8}, {3, 15, 2, 14}, {11, 7, 10, 6}};
        for (int32_t y = 1; y <= H; ++y) {
            for (int32_t x = 1; x <= W; ++x) {
                uint32_t& p = m.at(x, y);
                int32_t s = ch(p, 0) + ch(p, 1) + ch(p, 2);
                int32_t level = s / 48 + 1;
                int32_t v = level < matrix[(y - 1) % 4][(x - 1) % 4] ? 0 : 255;
                setBgr(p, v, v, v);
            }
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace tavimo::ref::detail
