#pragma once

#include <cstdint>

namespace win {

// Message numbers, key-state flags and virtual-key codes keep their documented Windows
// values, so code written against them (and stored key maps) reads the same here.
inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_CREATE = 0x0001;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_MOVE = 0x0003;
inline constexpr uint32_t WM_SIZE = 0x0005;
inline constexpr uint32_t WM_SETFOCUS = 0x0007;
inline constexpr uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr uint32_t WM_ENABLE = 0x000A;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_SHOWWINDOW = 0x0018;
inline constexpr uint32_t WM_SETCURSOR = 0x0020;
inline constexpr uint32_t WM_CHILDACTIVATE = 0x0022;
inline constexpr uint32_t WM_WINDOWPOSCHANGING = 0x0046;
inline constexpr uint32_t WM_NCDESTROY = 0x0082;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_HSCROLL = 0x0114;
inline constexpr uint32_t WM_VSCROLL = 0x0115;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr uint32_t WM_MBUTTONDBLCLK = 0x0209;
inline constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr uint32_t WM_DROPFILES = 0x0233;
inline constexpr uint32_t WM_USER = 0x0400;

// Key-state flags carried in the low word of mouse messages' wParam.
inline constexpr uint32_t MK_LBUTTON = 0x0001;
inline constexpr uint32_t MK_RBUTTON = 0x0002;
inline constexpr uint32_t MK_SHIFT = 0x0004;
inline constexpr uint32_t MK_CONTROL = 0x0008;
inline constexpr uint32_t MK_MBUTTON = 0x0010;

inline constexpr int WHEEL_DELTA = 120;

// Virtual-key codes.
inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_PRIOR = 0x21;
inline constexpr int VK_NEXT = 0x22;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_INSERT = 0x2D;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_MULTIPLY = 0x6A;
inline constexpr int VK_ADD = 0x6B;      // 107, numeric-pad plus
inline constexpr int VK_SUBTRACT = 0x6D; // 109, numeric-pad minus
inline constexpr int VK_DIVIDE = 0x6F;
inline constexpr int VK_F1 = 0x70;

// Value packing of message parameters. wParam and lParam are 32 bits wide, as on the
// 32-bit system the callers were written for.
constexpr uint32_t MakeLong(uint16_t low, uint16_t high) {
    return static_cast<uint32_t>(low) | (static_cast<uint32_t>(high) << 16);
}
constexpr uint16_t LoWord(uint32_t v) {
    return static_cast<uint16_t>(v & 0xFFFF);
}
constexpr uint16_t HiWord(uint32_t v) {
    return static_cast<uint16_t>(v >> 16);
}
constexpr int16_t LoWordSigned(uint32_t v) {
    return static_cast<int16_t>(v & 0xFFFF);
}
constexpr int16_t HiWordSigned(uint32_t v) {
    return static_cast<int16_t>(v >> 16);
}

// wParam of WM_MOUSEWHEEL: the signed delta in the high word, key state in the low word.
constexpr uint32_t MakeWheelWParam(int16_t delta, uint16_t keys) {
    return MakeLong(keys, static_cast<uint16_t>(delta));
}
// The parameter as the signed 32-bit Long the callers compare with 0.
constexpr int32_t WParamAsInt32(uint32_t wParam) {
    return static_cast<int32_t>(wParam);
}

// lParam of mouse messages: x in the low word, y in the high word, both signed.
constexpr int32_t MakePointLParam(int x, int y) {
    return static_cast<int32_t>(MakeLong(static_cast<uint16_t>(x), static_cast<uint16_t>(y)));
}

} // namespace win
