// The selector table: every fact about each numbered operation in one row (its name, the
// parameters it takes, whether it reads the source copy, how it may reach the pixels of a
// 32-bit image, what it checks before a direct route touches pixels, what it runs).

#include "filters/filter_engine.h"
#include "filters/filter_ops.h"
#include "filters/filters.h"

#include <array>

namespace tavimo {

namespace {

using namespace fx;

// Parameters written as "P" are P rounded to a 32-bit integer (halves to even; a value
// that does not fit fails), the same for F, G and X; "P Single", "F Single" are taken as
// Single; "F colour" is an ARGB colour as a signed integer.
using RunFn = void (*)(PixelFrame&, const FilterParams&, const FilterContext&, FilterOutcome&);
using CheckFn = void (*)(const FilterParams&, int32_t width, int32_t height);

enum class Result : uint8_t { None, Test, Value };

struct Selector {
    const char* name = nullptr; // null: no operation (21 to 23)
    const char* params = "";
    bool readsSource = false;
    DirectAccess direct = DirectAccess::None;
    Result result = Result::None;
    CheckFn check = nullptr; // conversions and memory of a direct route, done beforehand
    RunFn run = nullptr;
};

#define TAVIMO_RUN(body)                                                                           \
    [](PixelFrame& f, [[maybe_unused]] const FilterParams& a,                                      \
       [[maybe_unused]] const FilterContext& context,                                              \
       [[maybe_unused]] FilterOutcome& out) { body; }

void checkP(const FilterParams& a, int32_t, int32_t) {
    toInt32(a.P);
}
void checkF(const FilterParams& a, int32_t, int32_t) {
    toInt32(a.F);
}
// The 3x3 maximum, minimum and median run in place through bands of working rows.
void checkInPlaceScratch(const FilterParams&, int32_t width, int32_t height) {
    if (width >= 3 && height >= 3) {
        scratchMemory(inPlaceScratchBytes(width, height - 2));
    }
}
// Building the table is where brightness fails; a palette without entries builds it and
// changes nothing.
void checkBrightness(const FilterParams& a, int32_t, int32_t) {
    gp::Palette none;
    ApplyBrightnessToPalette(none, toInt32(a.P));
}

constexpr DirectAccess kInPlace = DirectAccess::InPlace;
constexpr DirectAccess kFromSource = DirectAccess::FromSource;
constexpr DirectAccess kReadOnly = DirectAccess::ReadOnly;
constexpr DirectAccess kBuffer = DirectAccess::None;

constexpr Selector kNoOperation{nullptr, "", false, kInPlace};

// Indexed by selector - 1.
constexpr std::array<Selector, 70> kSelectors{{
    {"SharpenRingTwo", "P", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(SharpenRingTwo(f, toInt32(a.P)))},
    {"Negative", "", false, kInPlace, Result::None, nullptr, TAVIMO_RUN(Negative(f))},
    {"BlurNeighbours", "", false, kBuffer, Result::None, nullptr, TAVIMO_RUN(BlurNeighbours(f))},
    {"Diffuse", "P", false, kBuffer, Result::None, nullptr, TAVIMO_RUN(Diffuse(f, toInt32(a.P)))},
    {"BlurCross", "", false, kBuffer, Result::None, nullptr, TAVIMO_RUN(BlurCross(f))},
    {"SharpenRingOne", "P", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(SharpenRingOne(f, toInt32(a.P)))},
    {"LaplaceRelief", "P", true, kFromSource, Result::None, checkP,
     TAVIMO_RUN(LaplaceRelief(f, toInt32(a.P)))},
    {"DiagonalEmboss", "P", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(DiagonalEmboss(f, toInt32(a.P)))},
    {"EmbossLeftRight", "P", true, kFromSource, Result::None, checkP,
     TAVIMO_RUN(EmbossLeftRight(f, toInt32(a.P)))},
    {"AbsDiagonalRelief", "P", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(AbsDiagonalRelief(f, toInt32(a.P)))},
    {"EmbossRightLeft", "P", true, kFromSource, Result::None, checkP,
     TAVIMO_RUN(EmbossRightLeft(f, toInt32(a.P)))},
    {"Grayscale", "", false, kBuffer, Result::None, nullptr, TAVIMO_RUN(Grayscale(f))},
    {"DiagonalRelief", "", true, kFromSource, Result::None, nullptr, TAVIMO_RUN(DiagonalRelief(f))},
    // Its table is checked beforehand.
    {"ApplyBrightness", "P", false, kInPlace, Result::None, checkBrightness,
     TAVIMO_RUN(ApplyBrightness(f, toInt32(a.P)))},
    // Its source may be the rows themselves.
    {"Mosaic", "P", true, kInPlace, Result::None, checkP, TAVIMO_RUN(Mosaic(f, toInt32(a.P)))},
    {"SwapChannels", "P", false, kInPlace, Result::None, checkP,
     TAVIMO_RUN(SwapChannels(f, toInt32(a.P)))},
    {"ApplyContrast", "P", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(ApplyContrast(f, toInt32(a.P)))},
    {"ThresholdToColor", "P", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(ThresholdToColor(f, toInt32(a.P)))},
    {"DitherOrdered", "", false, kBuffer, Result::None, nullptr, TAVIMO_RUN(DitherOrdered(f))},
    {"DitherBurkes", "P", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(DitherBurkes(f, toInt32(a.P)))},
    kNoOperation,
    kNoOperation,
    kNoOperation,
    {"EdgePreservingSmooth5", "", true, kFromSource, Result::None, nullptr,
     TAVIMO_RUN(EdgePreservingSmooth5(f))},
    {"MaximumFilter3", "", true, kInPlace, Result::None, checkInPlaceScratch,
     TAVIMO_RUN(MaximumFilter3(f))},
    {"MinimumFilter3", "", true, kInPlace, Result::None, checkInPlaceScratch,
     TAVIMO_RUN(MinimumFilter3(f))},
    {"MorphologicalEdge3", "", true, kFromSource, Result::None, nullptr,
     TAVIMO_RUN(MorphologicalEdge3(f))},
    {"AutoLevels", "", false, kBuffer, Result::None, nullptr, TAVIMO_RUN(AutoLevels(f))},
    {"AddNoise", "P", false, kBuffer, Result::None, nullptr, TAVIMO_RUN(AddNoise(f, toInt32(a.P)))},
    {"ApplySaturation", "P", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(ApplySaturation(f, toInt32(a.P)))},
    {"ApplyGamma", "P", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(ApplyGamma(f, toInt32(a.P)))},
    {"AlternateRowShading", "", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(AlternateRowShading(f))},
    {"BlurCrossWeighted", "P", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(BlurCrossWeighted(f, toInt32(a.P)))},
    {"Colorize", "c, d, e", true, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(Colorize(f, a.c, a.d, a.e))},
    {"AdjustAlpha", "P", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(AdjustAlpha(f, toInt32(a.P)))},
    {"IsGrayscale", "", false, kReadOnly, Result::Test, nullptr,
     TAVIMO_RUN(out.test = IsGrayscale(f))},
    {"WaveHorizontal", "F real, G real", true, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(WaveHorizontal(f, a.F, a.G))},
    {"WaveVertical", "F real, G real", true, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(WaveVertical(f, a.F, a.G))},
    {"AdjustRGB", "F, G, X", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(AdjustRGB(f, toInt32(a.F), toInt32(a.G), toInt32(a.X)))},
    {"RedEyeReduction", "", false, kBuffer, Result::None, nullptr, TAVIMO_RUN(RedEyeReduction(f))},
    {"KeepRed", "", false, kInPlace, Result::None, nullptr, TAVIMO_RUN(KeepChannel(f, kRed))},
    {"KeepGreen", "", false, kInPlace, Result::None, nullptr, TAVIMO_RUN(KeepChannel(f, kGreen))},
    {"KeepBlue", "", false, kInPlace, Result::None, nullptr, TAVIMO_RUN(KeepChannel(f, kBlue))},
    {"RemoveRed", "", false, kInPlace, Result::None, nullptr, TAVIMO_RUN(RemoveChannel(f, kRed))},
    {"RemoveGreen", "", false, kInPlace, Result::None, nullptr,
     TAVIMO_RUN(RemoveChannel(f, kGreen))},
    {"RemoveBlue", "", false, kInPlace, Result::None, nullptr, TAVIMO_RUN(RemoveChannel(f, kBlue))},
    {"ScaleRed", "P Single", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(ScaleChannel(f, kRed, static_cast<float>(a.P)))},
    {"ScaleGreen", "P Single", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(ScaleChannel(f, kGreen, static_cast<float>(a.P)))},
    {"ScaleBlue", "P Single", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(ScaleChannel(f, kBlue, static_cast<float>(a.P)))},
    {"ColorToTransparent", "F colour, P real", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(ColorToTransparent(f, toInt32(a.F), a.P))},
    {"ReplaceColor", "F colour, G colour, P real", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN({
         int32_t colour = toInt32(a.F);
         ReplaceColor(f, colour, toInt32(a.G), a.P);
     })},
    {"ReplacePattern3x3", "", true, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(ReplacePattern3x3(f, GetFilterPattern()))},
    {"IsBlank", "F Single", false, kReadOnly, Result::Test, nullptr,
     TAVIMO_RUN(out.test = IsBlank(f, static_cast<float>(a.F), context.packedOneBit))},
    {"RedBoostBlueDominant", "", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(RedBoostBlueDominant(f))},
    {"Swirl", "P real", true, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(Swirl(f, a.P, context.coversWholeImage))},
    {"EllipseSqueeze", "", true, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(EllipseSqueeze(f, context.coversWholeImage))},
    {"Twirl", "P real", true, kBuffer, Result::None, nullptr, TAVIMO_RUN(Twirl(f, a.P, 0.0))},
    {"EqualizeHistogram", "", false, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(EqualizeHistogram(f))},
    {"IsBlackWhite", "", false, kReadOnly, Result::Test, nullptr,
     TAVIMO_RUN(out.test = IsBlackWhite(f))},
    {"CountColor", "F colour", false, kInPlace, Result::Value, checkF,
     TAVIMO_RUN(out.value = CountColor(f, toInt32(a.F)))},
    {"MedianFilter3", "", true, kInPlace, Result::None, checkInPlaceScratch,
     TAVIMO_RUN(MedianFilter3(f))},
    {"GrowBlack", "P", true, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(GrowBlack(f, toInt32(a.P)))},
    {"MedianFilter5", "", true, kFromSource, Result::None, nullptr, TAVIMO_RUN(MedianFilter5(f))},
    {"RemoveIsolatedDots", "", true, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(RemoveIsolatedDots(f))},
    {"ShrinkBlack", "P", true, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(ShrinkBlack(f, toInt32(a.P)))},
    {"FillWhiteGaps", "P", true, kBuffer, Result::None, nullptr,
     TAVIMO_RUN(FillWhiteGaps(f, toInt32(a.P)))},
    // Recolours the transparent pixels it counts.
    {"CountTransparent", "", false, kInPlace, Result::Value, nullptr,
     TAVIMO_RUN(out.value = CountTransparent(f))},
    // The average as an ARGB value.
    {"AverageColor", "", false, kInPlace, Result::Value, nullptr,
     TAVIMO_RUN(out.value = AverageColor(f))},
    {"RemoveThinRuns", "P direction, F length", true, kBuffer, Result::None, nullptr, TAVIMO_RUN({
         int32_t direction = toInt32(a.P);
         RemoveThinRuns(f, direction, toInt32(a.F));
     })},
    {"RemoveSpecks", "", true, kBuffer, Result::None, nullptr, TAVIMO_RUN(RemoveSpecks(f))},
}};

#undef TAVIMO_RUN

// Numbers outside the table behave as the no-operation selectors: the rows stay as they are.
const Selector& selectorRow(int32_t selector) {
    if (selector < 1 || selector > static_cast<int32_t>(kSelectors.size())) {
        return kNoOperation;
    }
    return kSelectors[static_cast<size_t>(selector - 1)];
}

} // namespace

bool selectorNeedsSourceCopy(int32_t selector) {
    return selectorRow(selector).readsSource;
}

bool selectorIsTest(int32_t selector) {
    return selectorRow(selector).result == Result::Test;
}

DirectAccess selectorDirectAccess(int32_t selector) {
    return selectorRow(selector).direct;
}

void checkDirectParameters(int32_t selector, const FilterParams& params, int32_t width,
                           int32_t height) {
    if (CheckFn check = selectorRow(selector).check) {
        check(params, width, height);
    }
}

FilterOutcome runFilterOperation(int32_t selector, PixelFrame& f, const FilterParams& a,
                                 const FilterContext& context) {
    RoundToNearest nearest;
    FilterOutcome out;
    const Selector& row = selectorRow(selector);
    if (row.run) {
        row.run(f, a, context, out);
        out.hasValue = row.result == Result::Value;
    }
    return out;
}

} // namespace tavimo
