#pragma once

#include <cstdint>

namespace win {

// The BASIC runtime's random numbers, one generator per thread.
//
// The generator of a thread is seeded once, at its first use, from the system's entropy
// source mixed with the clock and the thread. Re-seeding from the timer on every draw (as
// "Randomize Timer" before each number would) repeats values drawn within one timer tick,
// so Randomize() only seeds a generator that has not been seeded yet.

// The next number of the thread's sequence, uniform in [0, 1), 53 random bits.
double Rnd();

// Seeds the thread's generator if it is not seeded yet; otherwise does nothing.
void Randomize();

// Restarts the thread's sequence from a fixed seed (tests, reproducible runs).
void Randomize(uint64_t seed);

} // namespace win
