#pragma once

// The engine's operations, one function each, named as the selector table names them.
// Each works on the frame that ApplyFilter prepared and throws FilterFault on a run-time
// failure. Channel values are bytes; alpha is left alone unless an operation says so.
//
// Which selector runs which of them, with which parameters, is the table in
// filters/filter_selectors.cpp.

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
