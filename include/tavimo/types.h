#pragma once

// The identifier of an image, shared by every header of the C++ API.

#include <cstdint>

namespace tavimo {
inline namespace v0 {

// Names one image of the calling thread's image table (tavimo/image.h); 0 is no image.
using ImageId = int32_t;

} // namespace v0
} // namespace tavimo
