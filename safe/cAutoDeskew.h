#pragma once

#include <array>

#include "core/image_table.h"

// cAutoDeskew is a class of the public interface (of libtavimos.so); its header, which
// describes the estimate, is the public one.
#include <tavimo/deskew.h>

namespace tavimo {

// a when a >= b, else b.
inline double MaxDouble(double a, double b) {
    return a >= b ? a : b;
}

// The decision over the angles of the ten strongest lines (in descending order of votes):
// their mean when the spread (largest - smallest) is below 4 degrees and not larger than
// the mean's absolute value, else 0.
double AcceptedSkewAngle(const std::array<double, 10>& angles);

} // namespace tavimo
