#pragma once

// The thread's list of GDI+ image encoders, built once when GDI+ starts on the thread.

#include "platform/win/guid.h"

#include <cstdint>
#include <string>

namespace tavimo {

// Reads the encoders GDI+ lists and keys each by its extension patterns ("*.JPG", ...).
// A failing encoder query raises a run-time error with its status as the number.
void BuildEncoderList();

// The encoder index for an extension pattern (case-insensitive), -1 when there is none or
// the list was never built.
int32_t FindEncoder(const std::string& key);

// The class id of encoder `index`; false for an index outside the list.
bool GetEncoderClsid(win::Guid& clsid, int32_t index);

int32_t EncoderCount();

namespace test {

// Drops the thread's list, as before the first start.
void ResetEncoderList();

} // namespace test

} // namespace tavimo
