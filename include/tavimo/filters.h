#pragma once

// The filter engine: ApplyFilter runs one of its numbered pixel operations on a rectangle
// of an image of the calling thread's table (a multi-page image's current page), in
// place. The image core must be started on the thread (tavimo/image.h).
//
// The rectangle's pixels are read as 32-bit ARGB, changed, and written back in the
// image's own pixel format (1-bit images as black and white, 8-bit grey images as grey
// levels, other palette images as the nearest palette entry). Two operations on colour
// palette images (FilterNegative and FilterApplyBrightness) change the palette instead.

#include <tavimo/enums.h>
#include <tavimo/export.h>
#include <tavimo/types.h>

#include <array>
#include <cstdint>

namespace tavimo {
inline namespace v0 {

// A rectangle of an image in pixels: left, top, width, height.
struct FilterRect {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

// The selectors. The parameters each one reads are given after it; "P as integer" is P
// rounded to the nearest integer, halves to even (likewise F, G, X); a colour is a 32-bit
// ARGB value passed as a signed number (tavimo::cColor builds one). The operations
// marked (test) set `result` to 1.0 when the test holds, else 0.0, and change no pixel;
// those marked (count) leave their value in `result`. 21, 22, 23 and every number outside
// 1..70 read and write the pixels back unchanged.
enum FilterSelector : int32_t {
    FilterSharpenRingTwo = 1,      // P as integer: strength
    FilterNegative = 2,            // inverts blue, green, red
    FilterBlurNeighbours = 3,      //
    FilterDiffuse = 4,             // P as integer: spread in pixels (0 or less: 6)
    FilterBlurCross = 5,           //
    FilterSharpenRingOne = 6,      // P as integer: strength
    FilterLaplaceRelief = 7,       // P as integer
    FilterDiagonalEmboss = 8,      // P as integer
    FilterEmbossLeftRight = 9,     // P as integer
    FilterAbsDiagonalRelief = 10,  // P as integer
    FilterEmbossRightLeft = 11,    // P as integer
    FilterGrayscale = 12,          //
    FilterDiagonalRelief = 13,     //
    FilterApplyBrightness = 14,    // P as integer: per cent, -100 black, 0 none, 100 double
    FilterMosaic = 15,             // P as integer: block size (0: 3)
    FilterSwapChannels = 16,       // P as integer: 1 GBR, 2 BRG, 3 R<>G, 4 R<>B, 5 G<>B
    FilterApplyContrast = 17,      // P as integer: per cent, 0 none
    FilterThresholdToColor = 18,   // P as integer: thresholds, blue in bits 0-7
    FilterDitherOrdered = 19,      //
    FilterDitherBurkes = 20,       // P as integer
    FilterEdgePreservingSmooth5 = 24,
    FilterMaximumFilter3 = 25,
    FilterMinimumFilter3 = 26,
    FilterMorphologicalEdge3 = 27,
    FilterAutoLevels = 28,         //
    FilterAddNoise = 29,           // P as integer: amplitude per channel
    FilterApplySaturation = 30,    // P as integer: per cent, -100 grey, 0 none
    FilterApplyGamma = 31,         // P as integer: gamma x 100
    FilterAlternateRowShading = 32,
    FilterBlurCrossWeighted = 33,  // P as integer
    FilterColorize = 34,           // c hue, d saturation, e lightness scale
    FilterAdjustAlpha = 35,        // P as integer: added to alpha
    FilterIsGrayscale = 36,        // (test)
    FilterWaveHorizontal = 37,     // F, G: amplitude, wave length
    FilterWaveVertical = 38,       // F, G: amplitude, wave length
    FilterAdjustRGB = 39,          // F, G, X as integers: added to red, green, blue
    FilterRedEyeReduction = 40,
    FilterKeepRed = 41,
    FilterKeepGreen = 42,
    FilterKeepBlue = 43,
    FilterRemoveRed = 44,
    FilterRemoveGreen = 45,
    FilterRemoveBlue = 46,
    FilterScaleRed = 47,           // P: the factor (negative fails)
    FilterScaleGreen = 48,         // P: the factor
    FilterScaleBlue = 49,          // P: the factor
    FilterColorToTransparent = 50, // F: the colour, P: per cent match (100 exact)
    FilterReplaceColor = 51,       // F: the colour, G: its replacement, P: per cent match
    FilterReplacePattern3x3 = 52,  // the pattern of SetFilterPattern
    FilterIsBlank = 53,            // (test) F: the share of light pixels to exceed, per cent
    FilterRedBoostBlueDominant = 54,
    FilterSwirl = 55,              // P: strength
    FilterEllipseSqueeze = 56,
    FilterTwirl = 57,              // P: strength
    FilterEqualizeHistogram = 58,
    FilterIsBlackWhite = 59,       // (test)
    FilterCountColor = 60,         // (count) F: the colour; pixels equal in all four bytes
    FilterMedianFilter3 = 61,
    FilterGrowBlack = 62,          // P as integer: 1 eight neighbours, 2 four, 3 above and below
    FilterMedianFilter5 = 63,
    FilterRemoveIsolatedDots = 64,
    FilterShrinkBlack = 65,        // P as integer: 1 four neighbours, 2 eight must be black
    FilterFillWhiteGaps = 66,      // P as integer: the kind of gap
    FilterCountTransparent = 67,   // (count) fully transparent pixels
    FilterAverageColor = 68,       // (count) the mean colour, as an ARGB value
    FilterRemoveThinRuns = 69,     // P as integer: 1 rows, 2 columns; F: run length 1-3
    FilterRemoveSpecks = 70,
};

// Runs operation `selector` on the rectangle `rect` of `image`. P, c, d, e, F, G and X are
// its parameters (see FilterSelector; unused ones are ignored); `result` receives the
// value of the tests and counts (0.0 whenever the status is not OK) and is left alone by
// the other operations.
//
// Statuses: OK; InvalidParameter (2) for an unknown image or a rectangle not inside the
// image; OutOfMemory (3); GenericError (1) when the operation fails on its parameters (a
// zero divisor, an overflow, a colour above 2147483647), and then the image is left
// unchanged. An empty rectangle (width or height below 1) is OK and changes nothing.
TAVIMO_API QuennetStatus ApplyFilter(int32_t selector, ImageId image, double P,
                                     FilterRect& rect, float c, float d, float e, double F,
                                     double G, double X, double& result);

// The same over the whole image with only P; the other parameters are 0 and the result
// is dropped.
TAVIMO_API QuennetStatus ApplyFilter(int32_t selector, ImageId image, double P = 0);

// The 3x3 pattern FilterReplacePattern3x3 looks for on the calling thread (zero at
// start): colours 0-8 are the block to find and 9-17 its replacement, each nine in the
// order NW, N, NE, W, centre, E, SW, S, SE. Only blue, green and red are compared and
// replaced.
TAVIMO_API void SetFilterPattern(const std::array<uint32_t, 18>& pattern);

} // namespace v0
} // namespace tavimo
