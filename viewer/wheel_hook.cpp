#include "viewer/wheel_hook.h"

namespace tavimo {

WheelHookFlags& wheelHookFlags() {
    thread_local WheelHookFlags flags;
    return flags;
}

void ClearWheelHookFlags() {
    wheelHookFlags() = WheelHookFlags{};
}

} // namespace tavimo
