#pragma once

// The safety flags behind the controls' object-safety answers. Each thread has its own
// pair (the library is apartment-threaded); both are false until the start routine has
// run on the thread and true from then on. Nothing but the start routine writes them.

namespace tavimo::basSafeCtl {

// The library's start routine: sets both flags of the calling thread. Run on each thread
// before the first object of the library is created there (see RunStartRoutineOnce).
void InitSafetyFlags();

// Runs InitSafetyFlags the first time it is called on the thread and does nothing after.
void RunStartRoutineOnce();

// The controls may be driven by an untrusted caller (a script).
bool SafeForScripting();
// The controls may be initialised from untrusted persistent data.
bool SafeForInitializing();

} // namespace tavimo::basSafeCtl
