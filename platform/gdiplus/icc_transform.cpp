// Colour management for the ICM load variants: embedded ICC profile to sRGB through lcms2.

#include "platform/gdiplus/codec_internal.h"

#include <lcms2.h>

namespace gp::codec {

namespace {

void quietLcms(cmsContext, cmsUInt32Number, const char*) {}

} // namespace

void applyIccToSrgb(FrameData& frame, Bytes profile) {
    const bool rgb24 = frame.format == PixelFormat24bppRGB;
    const bool rgb32 = frame.format == PixelFormat32bppARGB || frame.format == PixelFormat32bppRGB;
    // Indexed frames are managed through their palette; grey ramps are left alone.
    const bool indexed = isIndexed(frame.format) && !frame.palette.entries.empty() &&
                         !(frame.palette.flags & PaletteFlagsGrayScale);
    if ((!rgb24 && !rgb32 && !indexed) || profile.empty())
        return;
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (!context)
        return;
    cmsSetLogErrorHandlerTHR(context, quietLcms);
    cmsHPROFILE source =
        cmsOpenProfileFromMemTHR(context, profile.data(), cmsUInt32Number(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context);
    if (source && srgb && cmsGetColorSpace(source) == cmsSigRgbData) {
        const cmsUInt32Number type = rgb24 ? TYPE_BGR_8 : TYPE_BGRA_8;
        // Palette entries are B,G,R,A in memory, like 32-bit pixels.
        cmsHTRANSFORM t = cmsCreateTransformTHR(context, source, type, srgb, type,
                                                INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA);
        if (t && indexed) {
            auto* entries = reinterpret_cast<uint8_t*>(frame.palette.entries.data());
            cmsDoTransform(t, entries, entries, cmsUInt32Number(frame.palette.entries.size()));
        } else if (t) {
            for (int32_t y = 0; y < frame.height; ++y) {
                uint8_t* row = rowOf(frame, y);
                cmsDoTransform(t, row, row, cmsUInt32Number(frame.width));
            }
        }
        if (t)
            cmsDeleteTransform(t);
    }
    if (srgb)
        cmsCloseProfile(srgb);
    if (source)
        cmsCloseProfile(source);
    cmsDeleteContext(context);
}

CmykTransform::CmykTransform(Bytes profile, bool inverted) {
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    if (!context)
        return;
    m_context = context;
    cmsSetLogErrorHandlerTHR(context, quietLcms);
    cmsHPROFILE source =
        cmsOpenProfileFromMemTHR(context, profile.data(), cmsUInt32Number(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfileTHR(context);
    if (source && srgb && cmsGetColorSpace(source) == cmsSigCmykData)
        m_transform =
            cmsCreateTransformTHR(context, source, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb,
                                  TYPE_BGR_8, INTENT_PERCEPTUAL, 0);
    if (srgb)
        cmsCloseProfile(srgb);
    if (source)
        cmsCloseProfile(source);
}

CmykTransform::~CmykTransform() {
    if (m_transform)
        cmsDeleteTransform(static_cast<cmsHTRANSFORM>(m_transform));
    if (m_context)
        cmsDeleteContext(static_cast<cmsContext>(m_context));
}

void CmykTransform::run(const uint8_t* cmyk, uint8_t* bgr, int32_t pixels) const {
    cmsDoTransform(static_cast<cmsHTRANSFORM>(m_transform), cmyk, bgr, cmsUInt32Number(pixels));
}

} // namespace gp::codec
