#pragma once

namespace tavimo {

// The per-thread busy flags of the mouse-wheel hook: while any is set the hook passes
// wheel messages on without acting on them.
struct WheelHookFlags {
    bool mouseButtonDown = false;
    bool mouseMoving = false;
    bool keyDown = false;
    bool layoutRunning = false;
};

WheelHookFlags& wheelHookFlags();
void ClearWheelHookFlags();

} // namespace tavimo
