#include "safe/cAutoDeskew.h"

#include <cmath>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "core/file_helpers.h"
#include "core/image_info.h"
#include "core/quennet_status.h"
#include "platform/win/vb_number.h"

namespace tavimo {

namespace {

constexpr double kPi = 3.141592657;
constexpr double kAngleStep = 0.2;
// 40 degrees in steps of 0.2, whatever MaxAngleOfResearch holds.
constexpr int32_t kSteps = 200;
constexpr int32_t kMinSide = 51;
constexpr int32_t kBestLines = 10;
constexpr double kMaxSpread = 4.0;

// Halves to even, as the library's rounding helper, but without branches or library calls:
// it runs once per vote. Adding and taking away 1.5 x 2^52 leaves a double with no
// fraction bits, rounded the way the processor rounds by default (to nearest, halves to
// even); the library never changes that mode. Offsets are bounded by the image's size, far
// below 2^51, where the trick is exact.
inline int64_t roundVote(double v) {
    constexpr double kShift = 6755399441055744.0;
    double shifted = v + kShift;
    return static_cast<int64_t>(shifted - kShift);
}

struct BestLine {
    uint32_t votes = 0;
    int64_t cell = 0;
    double angle = 0;
};

// Marks the dark pixels of one row (1 dark, 0 not).
void darkRow(const uint32_t* row, int32_t width, bool bilevel, std::vector<uint8_t>& out) {
    for (int32_t x = 0; x < width; ++x) {
        uint32_t p = row[x];
        double b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
        out[static_cast<size_t>(x)] =
            bilevel ? (r == 0) : (0.587 * g + 0.299 * r + 0.114 * b < 140.0);
    }
}

} // namespace

double AcceptedSkewAngle(const std::array<double, 10>& angles) {
    double sum = 0;
    double largest = angles[0];
    double smallest = angles[0];
    for (double a : angles) {
        sum += a;
        largest = MaxDouble(largest, a);
        smallest = MinDouble(smallest, a);
    }
    double spread = largest - smallest;
    if (spread >= kMaxSpread)
        return 0;
    double mean = sum / static_cast<double>(angles.size());
    // Lines that disagree by more than the tilt they report do not show a tilt.
    return spread > std::fabs(mean) ? 0 : mean;
}

int32_t cAutoDeskew::GetSkewAngle(ImageId id) {
    try {
        int32_t height = 0, width = 0;
        GetImageHeight(id, height);
        GetImageWidth(id, width);
        SkewAngle = 0;
        if (width < kMinSide || height < kMinSide)
            return Aborted;
        if (!std::isfinite(MaxAngleOfResearch))
            return GenericError;

        std::array<double, kSteps> sines{}, cosines{};
        for (int32_t i = 0; i < kSteps; ++i) {
            double radians = (i * kAngleStep - MaxAngleOfResearch) * kPi / 180.0;
            sines[static_cast<size_t>(i)] = std::sin(radians);
            cosines[static_cast<size_t>(i)] = std::cos(radians);
        }
        bool bilevel = ImageBitDepth(id) == 1;

        // One plain copy of the pixels, so the scan reads memory directly.
        int32_t strideStatus = OK;
        int32_t stride = GetStride(width, 32, strideStatus);
        if (strideStatus != OK)
            return strideStatus;
        auto pixels = std::make_unique_for_overwrite<uint32_t[]>(static_cast<size_t>(width) *
                                                                 static_cast<size_t>(height));
        gp::BitmapData data{};
        data.Width = static_cast<gp::UINT>(width);
        data.Height = static_cast<gp::UINT>(height);
        data.Stride = stride;
        data.PixelFormat = gp::PixelFormat32bppARGB;
        data.Scan0 = pixels.get();
        gp::Rect all{0, 0, width, height};
        int32_t status =
            LockImageBits(id, &all, gp::ImageLockModeRead | gp::ImageLockModeUserInputBuf,
                          gp::PixelFormat32bppARGB, data);
        if (status != OK)
            return status;
        UnlockImageBits(id, data);

        // Offsets run from about -(W + H) to W + H before the shift by W; cells outside
        // the accumulator are dropped.
        int64_t offsets = 2 * (static_cast<int64_t>(width) + height);
        int64_t lastCell = kSteps * offsets;
        std::vector<uint32_t> votes(static_cast<size_t>(lastCell) + 1, 0);

        int32_t yFrom = static_cast<int32_t>(win::roundHalfEven(height / 4.0));
        int32_t yTo = static_cast<int32_t>(win::roundHalfEven(3.0 * height / 4.0));
        std::vector<uint8_t> dark(static_cast<size_t>(width)), below(static_cast<size_t>(width));
        auto rowAt = [&](int32_t y) { return pixels.get() + static_cast<size_t>(y) * width; };
        darkRow(rowAt(yFrom), width, bilevel, dark);
        std::array<double, kSteps> rowTerms{};
        std::array<int64_t, kSteps> rounded{};
        for (int32_t y = yFrom; y <= yTo && y + 1 < height; ++y) {
            darkRow(rowAt(y + 1), width, bilevel, below);
            for (int32_t i = 0; i < kSteps; ++i)
                rowTerms[static_cast<size_t>(i)] = y * cosines[static_cast<size_t>(i)];
            for (int32_t x = 1; x <= width - 2; ++x) {
                if (!dark[static_cast<size_t>(x)] || below[static_cast<size_t>(x)])
                    continue;
                // The point votes once per angle for the line through it at that angle. The
                // offsets are rounded in a loop of their own, which the compiler can keep
                // free of branches.
                for (size_t i = 0; i < kSteps; ++i)
                    rounded[i] = roundVote(rowTerms[i] - x * sines[i] + width);
                for (int32_t i = 0; i < kSteps; ++i) {
                    int64_t cell = rounded[static_cast<size_t>(i)] * kSteps + i;
                    if (cell >= 0 && cell <= lastCell)
                        ++votes[static_cast<size_t>(cell)];
                }
            }
            dark.swap(below);
        }
        pixels.reset();

        // The ten strongest cells in descending order of votes; on equal votes the cell
        // read first stays above.
        std::array<BestLine, kBestLines> best{};
        for (int64_t cell = 0; cell <= lastCell; ++cell) {
            uint32_t v = votes[static_cast<size_t>(cell)];
            if (v <= best[kBestLines - 1].votes)
                continue;
            best[kBestLines - 1] = {v, cell, 0};
            for (int32_t k = kBestLines - 1; k > 0 && best[k - 1].votes < best[k].votes; --k)
                std::swap(best[k - 1], best[k]);
        }
        votes = {};

        std::array<double, kBestLines> angles{};
        for (int32_t k = 0; k < kBestLines; ++k) {
            best[k].angle =
                static_cast<double>(best[k].cell % kSteps) * kAngleStep - MaxAngleOfResearch;
            angles[static_cast<size_t>(k)] = best[k].angle;
        }
        // A page without a single edge point has no line at all: its ten "best" cells are
        // empty and say nothing about a tilt.
        if (best[0].votes > 0)
            SkewAngle = AcceptedSkewAngle(angles);
        return OK;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

} // namespace tavimo
