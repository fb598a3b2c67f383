#include "platform/x11/x11_window.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace {

TEST(X11VirtualKeys, KeysymsMapToWindowsVirtualKeyCodes) {
    struct Case {
        unsigned long keysym;
        int vk;
    } cases[] = {
        {XK_a, 'A'},        {XK_Z, 'Z'},         {XK_5, '5'},        {XK_F1, 0x70},
        {XK_F12, 0x7B},     {XK_Left, 0x25},     {XK_Up, 0x26},      {XK_Right, 0x27},
        {XK_Down, 0x28},    {XK_Page_Up, 0x21},  {XK_Next, 0x22},    {XK_Home, 0x24},
        {XK_End, 0x23},     {XK_Escape, 0x1B},   {XK_Return, 0x0D},  {XK_KP_Add, 0x6B},
        {XK_KP_Subtract, 0x6D}, {XK_Shift_L, 0x10}, {XK_Control_R, 0x11}, {XK_ssharp, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(x11::virtualKeyFromKeysym(c.keysym), c.vk) << std::hex << c.keysym;
}

TEST(X11Window, NoDisplayMeansNoWindow) {
    EXPECT_EQ(x11::Window::open(10, 10, "t", ":9999"), nullptr);
    EXPECT_EQ(x11::Window::open(0, 10, "t"), nullptr);
}

} // namespace
