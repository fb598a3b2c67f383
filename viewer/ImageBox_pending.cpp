// Members whose work belongs to the operations, frames, input and download parts of the control.
// Pure reads of the state and the small rules those parts state outright are here already; the rest
// answer NotImplemented (the last status is left alone), 0, an empty string or do nothing until
// their part is built.

#include <cmath>

#include "platform/win/vb_number.h"
#include "viewer/ImageBox.h"
#include "viewer/wheel_hook.h"

namespace tavimo {

int32_t ImageBox::GetTotalFrame() {
    return m_s.m_PageCount;
}

// --- selection rectangle, coordinates, mouse ---
bool ImageBox::isRectDrawed() {
    return m_shRect->Width() > 1 && m_shRect->Height() > 1;
}
void ImageBox::GetRectValues(int32_t& nLeft, int32_t& nTop, int32_t& nWidth, int32_t& nHeight) {
    nLeft = nTop = nWidth = nHeight = 0;
}
int32_t ImageBox::GetRectX() {
    return 0;
}
int32_t ImageBox::GetRectY() {
    return 0;
}
int32_t ImageBox::GetRectWidth() {
    return 0;
}
int32_t ImageBox::GetRectHeight() {
    return 0;
}
void ImageBox::SetRectValues(int32_t, int32_t, int32_t, int32_t) {}
void ImageBox::GetRectValuesMM(float& nLeft, float& nTop, float& nWidth, float& nHeight) {
    nLeft = nTop = nWidth = nHeight = 0;
}
void ImageBox::SetRectValuesMM(float, float, float, float) {}
void ImageBox::GetRectValuesObject(int32_t& nLeft, int32_t& nTop, int32_t& nWidth,
                                   int32_t& nHeight) {
    nLeft = nTop = nWidth = nHeight = 0;
}
void ImageBox::SetRectValuesObject(int32_t, int32_t, int32_t, int32_t) {}
void ImageBox::ClearRect() {
    m_shRect->move(-1, -1, 1, 1);
    m_s.m_RectLeft = m_s.m_RectTop = m_s.m_RectWidth = m_s.m_RectHeight = 0;
    m_s.m_RectDrawn = false;
}
void ImageBox::CoordObjectToImage(int32_t nObjectX, int32_t nObjectY, int32_t& nImageX,
                                  int32_t& nImageY) {
    try {
        if (m_s.m_Zoom == 0)
            return;
        double x = (nObjectX - m_s.m_ImageLeft) / m_s.m_Zoom;
        double y = (nObjectY - m_s.m_ImageTop) / m_s.m_Zoom * m_s.m_AspectRatio;
        int32_t ix = 0, iy = 0;
        if (win::tryToInt32(x, ix) && win::tryToInt32(y, iy)) {
            nImageX = ix;
            nImageY = iy;
        }
    } catch (...) {
    }
}
void ImageBox::CoordImageToObject(int32_t nImageX, int32_t nImageY, int32_t& nObjectX,
                                  int32_t& nObjectY) {
    try {
        int32_t v = 0;
        if (m_s.m_AspectRatio != 0 &&
            win::tryToInt32(nImageY * m_s.m_Zoom / m_s.m_AspectRatio + m_s.m_ImageTop, v))
            nObjectY = v;
        if (win::tryToInt32(win::roundHalfEven(nImageX * m_s.m_Zoom) + m_s.m_ImageLeft, v))
            nObjectX = v;
    } catch (...) {
    }
}
int32_t ImageBox::GetMouseX() {
    return m_s.m_MouseX;
}
int32_t ImageBox::GetMouseY() {
    return m_s.m_MouseY;
}
void ImageBox::SetMouseIcon(const std::string&) {}

void ImageBox::ApplyMousePointer() {
    if (m_s.m_PointerSet) {
        setMousePointer(m_s.m_MousePointer);
        return;
    }
    switch (m_s.m_MouseMode) {
    case 1:
    case 3:
        setMousePointer(2);
        break;
    case 2:
        setMousePointer(m_s.m_ImageId != 0 ? 99 : 0);
        break;
    default:
        setMousePointer(0);
    }
}

void ImageBox::StartWheelHook() {}

void ImageBox::StopWheelHook() {
    m_s.m_WheelHooked = false;
}

// --- internet loading ---
QuennetStatus ImageBox::DisplayFromURL(const std::string&, const std::string&, int32_t) {
    return notBuilt();
}
QuennetStatus ImageBox::DisplayFromFTP(const std::string&, const std::string&, const std::string&,
                                       const std::string&, int32_t) {
    return notBuilt();
}
void ImageBox::DisplayFromURLStop() {}
void ImageBox::SetHttpTransfertBufferSize(int32_t nBuffersize) {
    m_s.m_HttpBufferSize = nBuffersize;
}
void ImageBox::SetFtpPassiveMode(bool bPassiveMode) {
    m_s.m_FtpPassiveMode = bPassiveMode;
}

} // namespace tavimo
