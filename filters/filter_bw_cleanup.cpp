// Black-and-white clean-up of scanned documents. Every decision is taken on the blue byte
// of the unchanged source copy (0 black, 255 white, anything else neither), so nothing
// cascades; each output pixel is worked out from the source alone, rows in parallel.

#include "filters/filter_engine.h"
#include "filters/filter_ops.h"

#include <vector>

namespace tavimo::fx {

namespace {

constexpr uint32_t kBlackBgr = 0x00000000u;
constexpr uint32_t kWhiteBgr = 0x00FFFFFFu;

struct Source {
    const uint32_t* p;
    int32_t w, h;
    // 0-based coordinates; callers stay inside the frame.
    uint32_t blue(int32_t x, int32_t y) const { return p[static_cast<int64_t>(y) * w + x] & 0xFF; }
    bool black(int32_t x, int32_t y) const { return blue(x, y) == 0; }
    bool white(int32_t x, int32_t y) const { return blue(x, y) == 255; }
};

inline uint32_t setBgr(uint32_t p, uint32_t bgr) {
    return (p & 0xFF000000u) | bgr;
}

// Calls decide(x, y) for every pixel and sets it to what it returns: 0 keeps the pixel,
// 1 makes it black, 2 white.
template <class Decide> void decidePixels(PixelFrame& f, Decide decide) {
    const int32_t w = f.width;
    parallelRows(0, f.height, rowGrain(w), [&](int32_t y0, int32_t y1) {
        for (int32_t y = y0; y < y1; ++y) {
            uint32_t* row = f.pixels + static_cast<int64_t>(y) * w;
            for (int32_t x = 0; x < w; ++x) {
                int what = decide(x, y);
                if (what == 1) {
                    row[x] = setBgr(row[x], kBlackBgr);
                } else if (what == 2) {
                    row[x] = setBgr(row[x], kWhiteBgr);
                }
            }
        }
    });
}

} // namespace

void GrowBlack(PixelFrame& f, int32_t kind) {
    if (kind < 1 || kind > 3) {
        return;
    }
    const int32_t w = f.width, h = f.height;
    // A black centre inside rows/columns 1..n-2 (0-based) blackens its neighbours, so a
    // pixel turns black when one of the centres that reach it is black. The centres are
    // marked first in a map with a margin of one, which needs no bounds tests.
    const int64_t mw = static_cast<int64_t>(w) + 2;
    std::vector<uint8_t> centre(static_cast<size_t>(mw * (h + 2)), 0);
    parallelRows(1, h - 1, rowGrain(w), [&](int32_t y0, int32_t y1) {
        for (int64_t y = y0; y < y1; ++y) {
            const uint32_t* src = f.source + y * w;
            uint8_t* m = centre.data() + (y + 1) * mw + 1;
            for (int64_t x = 1; x < w - 1; ++x) {
                m[x] = (src[x] & 0xFF) == 0;
            }
        }
    });
    parallelRows(0, h, rowGrain(w), [&](int32_t y0, int32_t y1) {
        for (int64_t y = y0; y < y1; ++y) {
            uint32_t* row = f.pixels + y * w;
            const uint8_t* up = centre.data() + y * mw + 1;
            const uint8_t* mid = up + mw;
            const uint8_t* down = mid + mw;
            for (int64_t x = 0; x < w; ++x) {
                uint8_t hit = up[x] | down[x];
                if (kind != 3) {
                    hit |= mid[x - 1] | mid[x + 1];
                }
                if (kind == 1) {
                    hit |= up[x - 1] | up[x + 1] | down[x - 1] | down[x + 1];
                }
                row[x] = hit ? (row[x] & 0xFF000000u) : row[x];
            }
        }
    });
}

void RemoveIsolatedDots(PixelFrame& f) {
    const Source s{f.source, f.width, f.height};
    const int32_t w = f.width, h = f.height;
    decidePixels(f, [&](int32_t x, int32_t y) {
        if (x < 1 || x > w - 2 || y < 1 || y > h - 2) {
            return 0;
        }
        bool isolated = s.black(x, y) && s.white(x - 1, y) && s.white(x + 1, y) &&
                        s.white(x, y - 1) && s.white(x, y + 1);
        return isolated ? 2 : 0;
    });
}

void ShrinkBlack(PixelFrame& f, int32_t kind) {
    if (kind != 1 && kind != 2) {
        return;
    }
    const Source s{f.source, f.width, f.height};
    const int32_t w = f.width, h = f.height;
    decidePixels(f, [&](int32_t x, int32_t y) {
        if (x < 1 || x > w - 2 || y < 1 || y > h - 2) {
            return 0;
        }
        bool keep;
        if (kind == 1) {
            keep = s.black(x, y) && s.black(x, y - 1) && s.black(x, y + 1) && s.black(x + 1, y) &&
                   s.black(x - 1, y);
        } else {
            keep = true;
            for (int dy = -1; dy <= 1 && keep; ++dy) {
                for (int dx = -1; dx <= 1 && keep; ++dx) {
                    keep = s.black(x + dx, y + dy);
                }
            }
        }
        return keep ? 0 : 2;
    });
}

void FillWhiteGaps(PixelFrame& f, int32_t kind) {
    if (kind != 1 && kind != 2) {
        return;
    }
    const Source s{f.source, f.width, f.height};
    const int32_t w = f.width, h = f.height;
    decidePixels(f, [&](int32_t x, int32_t y) {
        if (kind == 1) {
            if (x < 1 || x > w - 2) {
                return 0;
            }
            return s.white(x, y) && s.black(x - 1, y) && s.black(x + 1, y) ? 1 : 0;
        }
        if (y < 1 || y > h - 2) {
            return 0;
        }
        return s.white(x, y) && s.black(x, y - 1) && s.black(x, y + 1) ? 1 : 0;
    });
}

void RemoveThinRuns(PixelFrame& f, int32_t direction, int32_t length) {
    if ((direction != 1 && direction != 2) || length < 1 || length > 3) {
        return;
    }
    const Source s{f.source, f.width, f.height};
    // Along rows the run lies on the row (step along x); along columns on the column.
    const bool rows = direction == 1;
    const int32_t n = rows ? f.width : f.height;
    // 0-based first and last start positions of a run; length 3 starts one later.
    const int32_t first = length == 3 ? 2 : 1;
    const int32_t last = length == 1 ? n - 2 : (length == 2 ? n - 3 : n - 4);
    auto blueAt = [&](int32_t x, int32_t y, int32_t k) {
        return rows ? s.blue(x + k, y) : s.blue(x, y + k);
    };
    // A run of `length` black pixels starting at position t along the line, between two
    // white ones.
    auto runAt = [&](int32_t x, int32_t y, int32_t t) {
        int32_t pos = rows ? x : y;
        int32_t dx = rows ? t - pos : 0, dy = rows ? 0 : t - pos;
        int32_t sx = x + dx, sy = y + dy;
        if (t < first || t > last) {
            return false;
        }
        if (blueAt(sx, sy, -1) != 255 || blueAt(sx, sy, length) != 255) {
            return false;
        }
        for (int32_t k = 0; k < length; ++k) {
            if (blueAt(sx, sy, k) != 0) {
                return false;
            }
        }
        return true;
    };
    decidePixels(f, [&](int32_t x, int32_t y) {
        int32_t pos = rows ? x : y;
        for (int32_t k = 0; k < length; ++k) {
            if (runAt(x, y, pos - k)) {
                return 2;
            }
        }
        return 0;
    });
}

void RemoveSpecks(PixelFrame& f) {
    const Source s{f.source, f.width, f.height};
    const int32_t w = f.width, h = f.height;
    // A 2x2 black block with its top-left at (x, y), 0-based x in 1..W-3, y in 1..H-3,
    // inside a ring of twelve white pixels.
    auto speck = [&](int32_t x, int32_t y) {
        if (x < 1 || x > w - 3 || y < 1 || y > h - 3) {
            return false;
        }
        if (!(s.black(x, y) && s.black(x + 1, y) && s.black(x, y + 1) && s.black(x + 1, y + 1))) {
            return false;
        }
        for (int32_t dx = -1; dx <= 2; ++dx) {
            if (!s.white(x + dx, y - 1) || !s.white(x + dx, y + 2)) {
                return false;
            }
        }
        return s.white(x - 1, y) && s.white(x + 2, y) && s.white(x - 1, y + 1) &&
               s.white(x + 2, y + 1);
    };
    decidePixels(f, [&](int32_t x, int32_t y) {
        for (int dy = 0; dy <= 1; ++dy) {
            for (int dx = 0; dx <= 1; ++dx) {
                if (speck(x - dx, y - dy)) {
                    return 2;
                }
            }
        }
        return 0;
    });
}

} // namespace tavimo::fx
