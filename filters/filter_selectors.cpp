// The selector table: which operation each number runs, with which parameters, and
// whether it reads the source copy.

#include "filters/filter_engine.h"
#include "filters/filter_ops.h"
#include "filters/filters.h"

namespace tavimo {

bool selectorNeedsSourceCopy(int32_t selector) {
    switch (selector) {
    case 7:
    case 9:
    case 11:
    case 13:
    case 15:
    case 24:
    case 25:
    case 26:
    case 27:
    case 34:
    case 37:
    case 38:
    case 52:
    case 55:
    case 56:
    case 57:
    case 61:
    case 62:
    case 63:
    case 64:
    case 65:
    case 66:
    case 69:
    case 70:
        return true;
    default:
        return false;
    }
}

bool selectorIsTest(int32_t selector) {
    return selector == 36 || selector == 53 || selector == 59;
}

DirectAccess selectorDirectAccess(int32_t selector) {
    switch (selector) {
    case 2:  // Negative
    case 14: // ApplyBrightness: its table is checked beforehand
    case 15: // Mosaic, whose source may be the rows themselves
    case 25:
    case 26:
    case 61: // the 3x3 maximum, minimum and median run in place
    case 16: // SwapChannels
    case 41:
    case 42:
    case 43:
    case 44:
    case 45:
    case 46: // KeepChannel, RemoveChannel
    case 60: // CountColor
    case 67: // CountTransparent
    case 68: // AverageColor
        return DirectAccess::InPlace;
    case 7:
    case 9:
    case 11:
    case 13: // reliefs and embosses, clamped
    case 24:
    case 27:
    case 63: // rank filters and the edge-preserving smoothing
        return DirectAccess::FromSource;
    case 36:
    case 53:
    case 59:
        return DirectAccess::ReadOnly;
    default:
        // No operation (21 to 23 and numbers outside the table) leaves the rows as they
        // are; every other selector can fail part-way and takes the buffer.
        if (selector >= 1 && selector <= 70 && !(selector >= 21 && selector <= 23)) {
            return DirectAccess::None;
        }
        return DirectAccess::InPlace;
    }
}

void checkDirectParameters(int32_t selector, const FilterParams& params, int32_t width,
                           int32_t height) {
    using namespace fx;
    switch (selector) {
    case 25:
    case 26:
    case 61:
        if (width >= 3 && height >= 3) {
            scratchMemory(inPlaceScratchBytes(width, height - 2));
        }
        break;
    case 7:
    case 9:
    case 11:
    case 15:
    case 16:
        toInt32(params.P);
        break;
    case 14: {
        // Building the table is where brightness fails; a palette without entries builds
        // it and changes nothing.
        gp::Palette none;
        ApplyBrightnessToPalette(none, toInt32(params.P));
        break;
    }
    case 53:
        break;
    case 60:
        toInt32(params.F);
        break;
    default:
        break;
    }
}

FilterOutcome runFilterOperation(int32_t selector, PixelFrame& f, const FilterParams& a,
                                 const FilterContext& context) {
    using namespace fx;
    RoundToNearest nearest;
    FilterOutcome out;
    // Each parameter is converted only where the selector uses it, so an unused one may
    // hold anything.
    auto P = [&] { return toInt32(a.P); };
    auto value = [&](double v) {
        out.hasValue = true;
        out.value = v;
    };
    switch (selector) {
    case 1:
        SharpenRingTwo(f, P());
        break;
    case 2:
        Negative(f);
        break;
    case 3:
        BlurNeighbours(f);
        break;
    case 4:
        Diffuse(f, P());
        break;
    case 5:
        BlurCross(f);
        break;
    case 6:
        SharpenRingOne(f, P());
        break;
    case 7:
        LaplaceRelief(f, P());
        break;
    case 8:
        DiagonalEmboss(f, P());
        break;
    case 9:
        EmbossLeftRight(f, P());
        break;
    case 10:
        AbsDiagonalRelief(f, P());
        break;
    case 11:
        EmbossRightLeft(f, P());
        break;
    case 12:
        Grayscale(f);
        break;
    case 13:
        DiagonalRelief(f);
        break;
    case 14:
        ApplyBrightness(f, P());
        break;
    case 15:
        Mosaic(f, P());
        break;
    case 16:
        SwapChannels(f, P());
        break;
    case 17:
        ApplyContrast(f, P());
        break;
    case 18:
        ThresholdToColor(f, P());
        break;
    case 19:
        DitherOrdered(f);
        break;
    case 20:
        DitherBurkes(f, P());
        break;
    case 24:
        EdgePreservingSmooth5(f);
        break;
    case 25:
        MaximumFilter3(f);
        break;
    case 26:
        MinimumFilter3(f);
        break;
    case 27:
        MorphologicalEdge3(f);
        break;
    case 28:
        AutoLevels(f);
        break;
    case 29:
        AddNoise(f, P());
        break;
    case 30:
        ApplySaturation(f, P());
        break;
    case 31:
        ApplyGamma(f, P());
        break;
    case 32:
        AlternateRowShading(f);
        break;
    case 33:
        BlurCrossWeighted(f, P());
        break;
    case 34:
        Colorize(f, a.c, a.d, a.e);
        break;
    case 35:
        AdjustAlpha(f, P());
        break;
    case 36:
        out.test = IsGrayscale(f);
        break;
    case 37:
        WaveHorizontal(f, a.F, a.G);
        break;
    case 38:
        WaveVertical(f, a.F, a.G);
        break;
    case 39:
        AdjustRGB(f, toInt32(a.F), toInt32(a.G), toInt32(a.X));
        break;
    case 40:
        RedEyeReduction(f);
        break;
    case 41:
        KeepChannel(f, kRed);
        break;
    case 42:
        KeepChannel(f, kGreen);
        break;
    case 43:
        KeepChannel(f, kBlue);
        break;
    case 44:
        RemoveChannel(f, kRed);
        break;
    case 45:
        RemoveChannel(f, kGreen);
        break;
    case 46:
        RemoveChannel(f, kBlue);
        break;
    case 47:
        ScaleChannel(f, kRed, static_cast<float>(a.P));
        break;
    case 48:
        ScaleChannel(f, kGreen, static_cast<float>(a.P));
        break;
    case 49:
        ScaleChannel(f, kBlue, static_cast<float>(a.P));
        break;
    case 50:
        ColorToTransparent(f, toInt32(a.F), a.P);
        break;
    case 51: {
        int32_t colour = toInt32(a.F);
        ReplaceColor(f, colour, toInt32(a.G), a.P);
        break;
    }
    case 52:
        ReplacePattern3x3(f, GetFilterPattern());
        break;
    case 53:
        out.test = IsBlank(f, static_cast<float>(a.F), context.packedOneBit);
        break;
    case 54:
        RedBoostBlueDominant(f);
        break;
    case 55:
        Swirl(f, a.P, context.coversWholeImage);
        break;
    case 56:
        EllipseSqueeze(f, context.coversWholeImage);
        break;
    case 57:
        Twirl(f, a.P, 0.0);
        break;
    case 58:
        EqualizeHistogram(f);
        break;
    case 59:
        out.test = IsBlackWhite(f);
        break;
    case 60:
        value(CountColor(f, toInt32(a.F)));
        break;
    case 61:
        MedianFilter3(f);
        break;
    case 62:
        GrowBlack(f, P());
        break;
    case 63:
        MedianFilter5(f);
        break;
    case 64:
        RemoveIsolatedDots(f);
        break;
    case 65:
        ShrinkBlack(f, P());
        break;
    case 66:
        FillWhiteGaps(f, P());
        break;
    case 67:
        value(CountTransparent(f));
        break;
    case 68:
        value(AverageColor(f));
        break;
    case 69: {
        int32_t direction = P();
        RemoveThinRuns(f, direction, toInt32(a.F));
        break;
    }
    case 70:
        RemoveSpecks(f);
        break;
    default:
        break; // 21 to 23 and numbers outside the table: no operation
    }
    return out;
}

} // namespace tavimo
