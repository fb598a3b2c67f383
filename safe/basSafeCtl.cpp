#include "safe/basSafeCtl.h"

namespace tavimo::basSafeCtl {

namespace {
thread_local bool t_safeForScripting = false;
thread_local bool t_safeForInitializing = false;
thread_local bool t_started = false;
} // namespace

void InitSafetyFlags() {
    t_safeForScripting = true;
    t_safeForInitializing = true;
}

void RunStartRoutineOnce() {
    if (t_started)
        return;
    t_started = true;
    InitSafetyFlags();
}

bool SafeForScripting() {
    return t_safeForScripting;
}

bool SafeForInitializing() {
    return t_safeForInitializing;
}

} // namespace tavimo::basSafeCtl
