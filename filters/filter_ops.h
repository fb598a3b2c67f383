#pragma once

// The engine's operations, one function each, named as the selector table names them.
// Each works on the frame that ApplyFilter prepared and throws FilterFault on a run-time
// failure. Channel values are bytes; alpha is left alone unless an operation says so.
//
// Selector table (P as integer = P rounded to a 32-bit integer, halves to even; the same
// for F, G, X; a value that does not fit fails):
//   1 SharpenRingTwo(P)      2 Negative              3 BlurNeighbours
//   4 Diffuse(P)             5 BlurCross             6 SharpenRingOne(P)
//   7 LaplaceRelief(P)*      8 DiagonalEmboss(P)     9 EmbossLeftRight(P)*
//  10 AbsDiagonalRelief(P)  11 EmbossRightLeft(P)*  12 Grayscale
//  13 DiagonalRelief*       14 ApplyBrightness(P)   15 Mosaic(P)*
//  16 SwapChannels(P)       17 ApplyContrast(P)     18 ThresholdToColor(P)
//  19 DitherOrdered         20 DitherBurkes(P)      21-23 no operation
//  24 EdgePreservingSmooth5* 25 MaximumFilter3*     26 MinimumFilter3*
//  27 MorphologicalEdge3*   28 AutoLevels           29 AddNoise(P)
//  30 ApplySaturation(P)    31 ApplyGamma(P)        32 AlternateRowShading
//  33 BlurCrossWeighted(P)  34 Colorize(c, d, e)*   35 AdjustAlpha(P)
//  36 IsGrayscale (test)    37 WaveHorizontal(F, G)* 38 WaveVertical(F, G)*
//  39 AdjustRGB(F, G, X)    40 RedEyeReduction      41-43 KeepRed/Green/Blue
//  44-46 RemoveRed/Green/Blue                       47-49 ScaleRed/Green/Blue(P Single)
//  50 ColorToTransparent(F colour, P)               51 ReplaceColor(F, G colours, P)
//  52 ReplacePattern3x3*    53 IsBlank(F Single, test) 54 RedBoostBlueDominant
//  55 Swirl(P)*             56 EllipseSqueeze*      57 Twirl(P)*
//  58 EqualizeHistogram     59 IsBlackWhite (test)  60 CountColor(F) -> count
//  61 MedianFilter3*        62 GrowBlack(P)*        63 MedianFilter5*
//  64 RemoveIsolatedDots*   65 ShrinkBlack(P)*      66 FillWhiteGaps(P)*
//  67 CountTransparent -> count (recolours)         68 AverageColor -> ARGB
//  69 RemoveThinRuns(P, F)* 70 RemoveSpecks*
// (* reads the unchanged source copy.)

#include "filters/filter_types.h"
#include "platform/gdiplus/types.h"

#include <array>
#include <cstdint>

namespace tavimo::fx {

enum Channel : int { kBlue = 0, kGreen = 1, kRed = 2 };

// Point, colour and test operations.
void Negative(PixelFrame& f);
void Grayscale(PixelFrame& f);
void ApplyBrightness(PixelFrame& f, int32_t P);
void ApplyBrightnessToPalette(gp::Palette& palette, int32_t P);
void InvertPalette(gp::Palette& palette);
void SwapChannels(PixelFrame& f, int32_t mode);
void ApplyContrast(PixelFrame& f, int32_t P);
void ThresholdToColor(PixelFrame& f, int32_t P);
void AutoLevels(PixelFrame& f);
void AddNoise(PixelFrame& f, int32_t P);
void ApplySaturation(PixelFrame& f, int32_t P);
void ApplyGamma(PixelFrame& f, int32_t P);
void Colorize(PixelFrame& f, float hue, float saturation, float scale);
void HSLToRGB(float h, float s, float l, uint32_t& red, uint32_t& green, uint32_t& blue);
void AdjustAlpha(PixelFrame& f, int32_t P);
bool IsGrayscale(const PixelFrame& f);
void AdjustRGB(PixelFrame& f, int32_t dRed, int32_t dGreen, int32_t dBlue);
void RedEyeReduction(PixelFrame& f);
void KeepChannel(PixelFrame& f, Channel keep);
void RemoveChannel(PixelFrame& f, Channel remove);
void ScaleChannel(PixelFrame& f, Channel channel, float factor);
void ColorToTransparent(PixelFrame& f, int32_t colour, double P);
void ReplaceColor(PixelFrame& f, int32_t colour, int32_t newColour, double P);
bool IsBlank(const PixelFrame& f, float confidence, bool packed);
void RedBoostBlueDominant(PixelFrame& f);
void EqualizeHistogram(PixelFrame& f);
bool IsBlackWhite(const PixelFrame& f);
double CountColor(const PixelFrame& f, int32_t colour);
double CountTransparent(PixelFrame& f);
double AverageColor(const PixelFrame& f);

// Rank filters, edge-preserving smoothing, ordered dither.
void MedianFilter3(PixelFrame& f);
void MedianFilter5(PixelFrame& f);
void MinimumFilter3(PixelFrame& f);
void MaximumFilter3(PixelFrame& f);
void MorphologicalEdge3(PixelFrame& f);
void EdgePreservingSmooth5(PixelFrame& f);
void DitherOrdered(PixelFrame& f);

// Neighbourhood filters.
void SharpenRingTwo(PixelFrame& f, int32_t P);
void BlurNeighbours(PixelFrame& f);
void BlurCross(PixelFrame& f);
void SharpenRingOne(PixelFrame& f, int32_t P);
void LaplaceRelief(PixelFrame& f, int32_t P);
void DiagonalEmboss(PixelFrame& f, int32_t P);
void EmbossLeftRight(PixelFrame& f, int32_t P);
void AbsDiagonalRelief(PixelFrame& f, int32_t P);
void EmbossRightLeft(PixelFrame& f, int32_t P);
void DiagonalRelief(PixelFrame& f);
void AlternateRowShading(PixelFrame& f);
void BlurCrossWeighted(PixelFrame& f, int32_t P);

// Black-and-white clean-up.
void GrowBlack(PixelFrame& f, int32_t kind);
void RemoveIsolatedDots(PixelFrame& f);
void ShrinkBlack(PixelFrame& f, int32_t kind);
void FillWhiteGaps(PixelFrame& f, int32_t kind);
void RemoveThinRuns(PixelFrame& f, int32_t direction, int32_t length);
void RemoveSpecks(PixelFrame& f);

// Geometric distortions, error diffusion, pattern replacement.
double PolarAngle(double y, double x);
void Diffuse(PixelFrame& f, int32_t P);
void Mosaic(PixelFrame& f, int32_t P);
void DitherBurkes(PixelFrame& f, int32_t P);
void WaveHorizontal(PixelFrame& f, double F, double G);
void WaveVertical(PixelFrame& f, double F, double G);
void ReplacePattern3x3(PixelFrame& f, const std::array<uint32_t, 18>& pattern);
void Swirl(PixelFrame& f, double P, bool coversWholeImage);
void EllipseSqueeze(PixelFrame& f, bool coversWholeImage);
void Twirl(PixelFrame& f, double P, double radius);

} // namespace tavimo::fx
