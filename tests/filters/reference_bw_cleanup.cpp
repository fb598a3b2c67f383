#include "tests/filters/reference.h"

namespace tavimo::ref::detail {

bool cleanup(int32_t sel, PixelFrame& f, const FilterParams& a) {
    Img m = img(f);
    const int32_t W = m.W, H = m.H;
    auto blue = [&](int32_t x, int32_t y) { return ch(m.from(x, y), 0); };
    auto black = [&](int32_t x, int32_t y) { return blue(x, y) == 0; };
    auto white = [&](int32_t x, int32_t y) { return blue(x, y) == 255; };
    auto setBlack = [&](int32_t x, int32_t y) { setBgr(m.at(x, y), 0, 0, 0); };
    auto setWhite = [&](int32_t x, int32_t y) { setBgr(m.at(x, y), 255, 255, 255); };
    switch (sel) {
    case 62: {
        int32_t kind = cint(a.P);
        for (int32_t y = 2; y <= H - 1; ++y)
            for (int32_t x = 2; x <= W - 1; ++x) {
                if (!black(x, y))
                    continue;
                if (kind == 1) {
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            if (dx || dy)
                                setBlack(x + dx, y + dy);
                } else if (kind == 2) {
                    setBlack(x, y - 1);
                    setBlack(x - 1, y);
                    setBlack(x + 1, y);
                    setBlack(x, y + 1);
                } else if (kind == 3) {
                    setBlack(x, y - 1);
                    setBlack(x, y + 1);
                }
            }
        return true;
    }
    case 64:
        for (int32_t y = 2; y <= H - 1; ++y)
            for (int32_t x = 2; x <= W - 1; ++x)
                if (black(x, y) && white(x - 1, y) && white(x + 1, y) && white(x, y - 1) &&
                    white(x, y + 1))
                    setWhite(x, y);
        return true;
    case 65: {
        int32_t kind = cint(a.P);
        if (kind != 1 && kind != 2)
            return true;
        for (int32_t y = 2; y <= H - 1; ++y)
            for (int32_t x = 2; x <= W - 1; ++x) {
                bool keep;
                if (kind == 1) {
                    keep = black(x, y) && black(x, y - 1) && black(x, y + 1) && black(x + 1, y) &&
                           black(x - 1, y);
                } else {
                    keep = true;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx)
                            keep = keep && black(x + dx, y + dy);
                }
                if (!keep)
                    setWhite(x, y);
            }
        return true;
    }
    case 66: {
        int32_t kind = cint(a.P);
        if (kind == 1) {
            for (int32_t y = 1; y <= H; ++y)
                for (int32_t x = 2; x <= W - 1; ++x)
                    if (white(x, y) && black(x - 1, y) && black(x + 1, y))
                        setBlack(x, y);
        } else if (kind == 2) {
            for (int32_t y = 2; y <= H - 1; ++y)
                for (int32_t x = 1; x <= W; ++x)
                    if (white(x, y) && black(x, y - 1) && black(x, y + 1))
                        setBlack(x, y);
        }
        return true;
    }
    case 69: {
        int32_t dir = cint(a.P), len = cint(a.F);
        if (dir == 1) {
            for (int32_t y = 1; y <= H; ++y) {
                if (len == 1) {
                    for (int32_t x = 2; x <= W - 1; ++x)
                        if (white(x - 1, y) && black(x, y) && white(x + 1, y))
                            setWhite(x, y);
                } else if (len == 2) {
                    for (int32_t x = 2; x <= W - 2; ++x)
                        if (white(x - 1, y) && black(x, y) && black(x + 1, y) && white(x + 2, y)) {
                            setWhite(x, y);
                            setWhite(x + 1, y);
                        }
                } else if (len == 3) {
                    for (int32_t x = 3; x <= W - 3; ++x)
                        if (white(x - 1, y) && black(x, y) && black(x + 1, y) && black(x + 2, y) &&
                            white(x + 3, y)) {
                            setWhite(x, y);
                            setWhite(x + 1, y);
                            setWhite(x + 2, y);
                        }
                }
            }
        } else if (dir == 2) {
            for (int32_t x = 1; x <= W; ++x) {
                if (len == 1) {
                    for (int32_t y = 2; y <= H - 1; ++y)
                        if (white(x, y - 1) && black(x, y) && white(x, y + 1))
                            setWhite(x, y);
                } else if (len == 2) {
                    for (int32_t y = 2; y <= H - 2; ++y)
                        if (white(x, y - 1) && black(x, y) && black(x, y + 1) && white(x, y + 2)) {
                            setWhite(x, y);
                            setWhite(x, y + 1);
                        }
                } else if (len == 3) {
                    for (int32_t y = 3; y <= H - 3; ++y)
                        if (white(x, y - 1) && black(x, y) && black(x, y + 1) && black(x, y + 2) &&
                            white(x, y + 3)) {
                            setWhite(x, y);
                            setWhite(x, y + 1);
                            setWhite(x, y + 2);
                        }
                }
            }
        }
        return true;
    }
    case 70:
        for (int32_t y = 2; y <= H - 2; ++y)
            for (int32_t x = 2; x <= W - 2; ++x) {
                if (!(black(x, y) && black(x + 1, y) && black(x, y + 1) && black(x + 1, y + 1)))
                    continue;
                bool ring = true;
                for (int dx = -1; dx <= 2; ++dx)
                    ring = ring && white(x + dx, y - 1) && white(x + dx, y + 2);
                ring = ring && white(x - 1, y) && white(x + 2, y) && white(x - 1, y + 1) &&
                       white(x + 2, y + 1);
                if (ring) {
                    setWhite(x, y);
                    setWhite(x + 1, y);
                    setWhite(x, y + 1);
                    setWhite(x + 1, y + 1);
                }
            }
        return true;
    default:
        return false;
    }
}

} // namespace tavimo::ref::detail
