// Rendering: the draw of the visible part with its three paths (persistent picture,
// control picture, picture with mask), gamma and colour key, the out-of-memory
// fallbacks, the picture events, the deferred high-quality pass, Refresh and Redraw.

#include <algorithm>
#include <string>

#include "core/image_draw.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "platform/activex/surface.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/graphics.h"
#include "viewer/ImageBox.h"
#include "viewer/view_math.h"
#include "viewer/wheel_hook.h"

namespace tavimo {

namespace {

constexpr int32_t kNoColourKey = 65536;

// Owns image attributes for one draw.
struct Attributes {
    gp::GpImageAttributes handle = 0;
    ~Attributes() { reset(); }
    void reset() {
        if (handle)
            DisposeImageAttributes(handle);
        handle = 0;
    }
};

struct Graphics {
    gp::GpGraphics handle = 0;
    ~Graphics() {
        if (handle)
            DeleteGraphics(handle);
    }
};

// The opaque ARGB of an OLE colour, system colours translated.
gp::ARGB opaque(uint32_t oleColor) {
    return static_cast<gp::ARGB>(ax::oleColorToPixel(oleColor) | 0xFF000000u);
}

// Gamma attributes when the gamma is not 1, and the colour key when one is given; the key
// works with its own attributes whatever the gamma.
int32_t makeAttributes(Attributes& attributes, float gamma, bool colourKey, int32_t keyColour) {
    if (gamma == 1.0f && !colourKey)
        return 0;
    int32_t st = CreateImageAttributes(attributes.handle);
    if (st != 0)
        return st;
    if (gamma != 1.0f) {
        st = SetAttributesGamma(attributes.handle, gp::ColorAdjustTypeDefault, true, gamma);
        if (st != 0)
            return st;
    }
    if (colourKey) {
        gp::ColorMap map{opaque(static_cast<uint32_t>(keyColour)), 0};
        st = SetAttributesRemapTable(attributes.handle, gp::ColorAdjustTypeDefault, true, 1, &map);
    }
    return st;
}

} // namespace

int32_t ImageBox::GetInterpolationMode() {
    try {
        view::Interpolation i = view::chooseInterpolation(m_s.m_Zoom, m_s.m_ViewerQualityAuto,
                                                          m_s.m_QualityPass, m_s.m_ViewerQuality);
        if (i.quality >= 0)
            m_s.m_ViewerQuality = i.quality;
        return i.mode;
    } catch (...) {
        return 0;
    }
}

int32_t ImageBox::drawNormal(int32_t id, int32_t viewW, int32_t viewH, int32_t interpolation) {
    view::DrawInput in;
    in.viewWidth = viewW, in.viewHeight = viewH;
    in.imageLeft = m_s.m_ImageLeft, in.imageTop = m_s.m_ImageTop;
    in.zoomedWidth = m_s.m_ZoomedWidth, in.zoomedHeight = m_s.m_ZoomedHeight;
    in.imageWidth = m_s.m_ImageWidth, in.imageHeight = m_s.m_ImageHeight;
    in.zoom = m_s.m_Zoom, in.aspect = m_s.m_AspectRatio;
    const view::DrawGeometry g = view::computeDrawGeometry(in);
    m_s.m_DisplayedLeft = g.displayedLeft;
    m_s.m_DisplayedTop = g.displayedTop;
    m_s.m_DisplayedWidth = g.displayedWidth;
    m_s.m_DisplayedHeight = g.displayedHeight;

    const bool transparent = BackStyle() != 1;
    if (transparent || m_s.m_ForcePictureMode) {
        if (AutoRedraw())
            setAutoRedraw(false);
        ax::ComPtr<ax::Picture> pic =
            DrawImageGdip(viewW, viewH, id, g.dstX, g.dstY, g.dstWidth, g.dstHeight, g.srcX, g.srcY,
                          g.srcWidth, g.srcHeight);
        setPicture(pic);
        if (transparent)
            setMaskPicture(pic);
        return m_s.m_LastStatus;
    }

    if (!AutoRedraw())
        setAutoRedraw(true);
    Attributes attributes;
    int32_t st = makeAttributes(attributes, m_s.m_Gamma, false, 0);
    if (st != 0)
        return st;
    Graphics graphics;
    st = CreateGraphicsFromHdc(static_cast<win::HDC>(hDC()), graphics.handle);
    if (st != 0)
        return st;
    ClearGraphics(graphics.handle, opaque(BackColor()));
    SetSmoothingMode(graphics.handle, gp::SmoothingModeNone);
    SetPixelOffsetMode(graphics.handle, gp::PixelOffsetModeHalf);
    SetCompositingQuality(graphics.handle, gp::CompositingQualityHighSpeed);
    SetInterpolationMode(graphics.handle, interpolation);
    st = DrawImageRectRect(graphics.handle, id, g.dstX, g.dstY, g.dstWidth, g.dstHeight, g.srcX,
                           g.srcY, g.srcWidth, g.srcHeight, gp::UnitPixel,
                           m_s.m_IsAnimatedGif ? 0 : attributes.handle);
    if (st == gp::OutOfMemory) {
        attributes.reset();
        SetPixelOffsetMode(graphics.handle, gp::PixelOffsetModeNone);
        SetSmoothingMode(graphics.handle, gp::SmoothingModeNone);
        SetInterpolationMode(graphics.handle, gp::InterpolationModeNearestNeighbor);
        st = DrawImageRectRect(graphics.handle, id, g.dstX, g.dstY, g.dstWidth, g.dstHeight, g.srcX,
                               g.srcY, g.srcWidth, g.srcHeight, gp::UnitPixel, 0);
    }
    if (st == gp::OutOfMemory) {
        if (m_s.m_DisplayedWidth < m_s.m_ImageWidth || m_s.m_DisplayedHeight < m_s.m_ImageHeight) {
            ImageId clone = 0;
            st = CloneImageArea(g.srcX, g.srcY, g.srcWidth, g.srcHeight, ImagePixelFormat(id), id,
                                clone);
            if (st == 0)
                st = DrawImageRect(graphics.handle, clone, g.dstX, g.dstY, g.dstWidth, g.dstHeight);
            if (clone != 0)
                ReleaseImage(clone);
        } else {
            st = DrawImageRect(graphics.handle, id, g.dstX, g.dstY, g.dstWidth, g.dstHeight);
            if (st == gp::OutOfMemory) {
                ImageId thumb = 0;
                st = CreateThumbnail(id, std::max(g.dstWidth, 1), std::max(g.dstHeight, 1), thumb);
                if (st == 0)
                    st = DrawImageRect(graphics.handle, thumb, g.dstX, g.dstY, g.dstWidth,
                                       g.dstHeight);
                if (thumb != 0)
                    ReleaseImage(thumb);
            }
        }
    }
    return st;
}

ax::ComPtr<ax::Picture> ImageBox::DrawImageGdip(int32_t viewW, int32_t viewH, int32_t id,
                                                int32_t dstX, int32_t dstY, int32_t dstW,
                                                int32_t dstH, int32_t srcX, int32_t srcY,
                                                int32_t srcW, int32_t srcH) {
    const bool opaqueBack = BackStyle() == 1;
    ax::SurfacePtr surface = ax::makeSurface(viewW, viewH, opaqueBack ? opaque(BackColor()) : 0);
    if (!surface) {
        m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::InvalidParameter);
        return {};
    }
    // The bitmap draws straight into the picture's pixels.
    gp::GpBitmap bitmap = 0;
    int32_t st = gp::GdipCreateBitmapFromScan0(viewW, viewH, surface->stride(),
                                               gp::PixelFormat32bppARGB, surface->bits(), &bitmap);
    if (st != 0) {
        m_s.m_LastStatus = st;
        return {};
    }
    Attributes attributes;
    const bool key = BackStyle() == 0 && m_s.m_ImageMaskColor != kNoColourKey;
    st = makeAttributes(attributes, m_s.m_Gamma, key, m_s.m_ImageMaskColor);
    if (st == 0) {
        Graphics graphics;
        st = gp::GdipGetImageGraphicsContext(bitmap, &graphics.handle);
        if (st == 0) {
            SetCompositingQuality(graphics.handle, gp::CompositingQualityHighSpeed);
            SetSmoothingMode(graphics.handle, gp::SmoothingModeNone);
            SetInterpolationMode(graphics.handle, GetInterpolationMode());
            SetPixelOffsetMode(graphics.handle, gp::PixelOffsetModeHalf);
            st =
                DrawImageRectRect(graphics.handle, id, dstX, dstY, dstW, dstH, srcX, srcY, srcW,
                                  srcH, gp::UnitPixel, m_s.m_IsAnimatedGif ? 0 : attributes.handle);
        }
    }
    gp::GdipDisposeImage(bitmap);
    m_s.m_LastStatus = st;
    if (st != 0)
        return {};
    return ax::makeObject<ax::Picture>(surface);
}

void ImageBox::RenderView(int32_t id, bool qualityPass) {
    try {
        m_TmQual->setEnabled(false);
        if (id == 0)
            id = GetWorkImage();
        if (m_s.m_OptimizeDrawingSpeed && m_s.m_ImageId != 0 &&
            GetImageFormatName(m_s.m_ImageId) != "GIF") {
            bool current = m_s.m_WorkImageId != 0 && m_s.m_WorkFrame == m_s.m_CurrentPage &&
                           ImagePixelFormat(m_s.m_WorkImageId) == gp::PixelFormat32bppPARGB;
            if (!current && ImagePixelFormat(m_s.m_ImageId) != gp::PixelFormat32bppPARGB)
                LoadCurrentFrame();
            if (m_s.m_WorkImageId != 0)
                id = m_s.m_WorkImageId;
        }
        UpdateScrollBarVisibility();
        if (m_s.m_RenderFailed)
            m_s.m_LastStatus = 0;
        if (m_s.m_Zoom > 0 && m_s.m_LastStatus == 0 && id != 0) {
            bool pictureDue = false;
            if (GetNativeImage() != m_s.m_LastDrawnImageId) {
                raise(ImageBoxEvent::PictureChange);
                m_s.m_LastDrawnImageId = GetNativeImage();
                pictureDue = true;
            }
            const int32_t viewW = viewWidth(), viewH = viewHeight();
            // A view narrower or shorter than the bars shows nothing; that is no failure.
            if (!m_s.m_LockControl && viewW > 0 && viewH > 0) {
                if (m_s.m_ViewerQualityAuto && !qualityPass)
                    m_s.m_QualityPass = false;
                const int32_t interpolation = GetInterpolationMode();
                int32_t st = drawNormal(id, viewW, viewH, interpolation);
                m_s.m_LastStatus = st;
                if (st == 0) {
                    m_drawnInterpolation = interpolation;
                    if (m_s.m_EnableMouseWheel)
                        StartWheelHook();
                    raise(ImageBoxEvent::Display);
                    Refresh();
                    if (!qualityPass && m_s.m_ViewerQualityAuto)
                        m_TmQual->setEnabled(true);
                } else if (!m_s.m_SilentMode) {
                    MsgBox("Can not display image error no: " + std::to_string(st),
                           ax::kMsgBoxCritical);
                }
            }
            if (pictureDue) {
                raise(ImageBoxEvent::PictureChanged);
                raise(ImageBoxEvent::PageChange);
            }
            m_s.m_RenderFailed = m_s.m_LastStatus != 0;
        }
        // The selection rectangle follows the image it marks.
        if (m_s.m_RectDrawn && id != 0)
            PlaceRectShape(m_s.m_RectLeft, m_s.m_RectTop, m_s.m_RectWidth, m_s.m_RectHeight);
        if (!m_s.m_DisableAutoFocus && m_s.m_FocusOwner != 0 && m_shCorner->Visible())
            m_shCorner->SetFocus();
    } catch (...) {
    }
    m_s.m_ScrollEventsOn = true;
}

void ImageBox::onQualityTimer() {
    try {
        // One high-quality pass per still view; the next draw arms the timer again.
        m_TmQual->setEnabled(false);
        if (m_s.m_ViewerQualityAuto && !m_s.m_QualityPass) {
            m_s.m_QualityPass = true;
            RenderView(0, true);
        }
    } catch (...) {
    }
}

void ImageBox::onPaint() {
    raise(ImageBoxEvent::PaintControl);
}

void ImageBox::Refresh() {
    // The wheel hook leaves wheel messages alone while the repaint runs; a layout that
    // draws keeps its own flag up afterwards.
    const bool wasRunning = wheelHookFlags().layoutRunning;
    try {
        wheelHookFlags().layoutRunning = true;
        ax::UserControl::Refresh();
    } catch (...) {
    }
    wheelHookFlags().layoutRunning = wasRunning;
}

QuennetStatus ImageBox::Redraw() {
    try {
        if (m_s.m_ImageId != 0) {
            FreeWorkImage();
            InitImageInfo();
            UpdateLayout();
        }
    } catch (...) {
    }
    return static_cast<QuennetStatus>(m_s.m_LastStatus);
}

} // namespace tavimo
