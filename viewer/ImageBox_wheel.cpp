// The control's side of the mouse-wheel hook: hooking its own window once, unhooking it,
// and the EnableMouseWheel property that drives both.

#include "viewer/ImageBox.h"
#include "viewer/wheel_hook.h"

namespace tavimo {

void ImageBox::StartWheelHook() {
    const win::HWND hwnd = hWnd();
    if (hwnd == 0 || m_s.m_WheelHooked)
        return;
    // Marked even when the window is disabled and stays unhooked: the control tries once.
    m_s.m_WheelHooked = true;
    HookWindow(hwnd);
}

void ImageBox::StopWheelHook() {
    if (!m_s.m_WheelHooked)
        return;
    m_s.m_WheelHooked = false;
    UnhookWindow(hWnd(), false);
}

bool ImageBox::get_EnableMouseWheel() {
    return m_s.m_EnableMouseWheel;
}

void ImageBox::put_EnableMouseWheel(bool value) {
    try {
        m_s.m_EnableMouseWheel = value;
        if (!value)
            StopWheelHook();
        else if (m_s.m_ImageId != 0)
            StartWheelHook();
    } catch (...) {
    }
    PropertyChanged("EnableMouseWheel");
}

} // namespace tavimo
