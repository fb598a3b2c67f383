#pragma once

// Types shared by the filter operations and the dispatcher: the pixel frame an operation
// works on, its parameters, and what it reports back.

#include <cstdint>
#include <stdexcept>

namespace tavimo {

// A run-time failure inside an operation (a byte conversion out of range, an integer
// overflow, a zero divisor). ApplyFilter turns it into status 1 and writes nothing back.
class FilterFault : public std::runtime_error {
public:
    explicit FilterFault(const char* what) : std::runtime_error(what) {}
};

// The work rectangle's pixels: width x height 32-bit pixels, rows top-down and exactly
// width pixels apart, bytes blue, green, red, alpha. `source` is the unchanged copy made
// for the selectors that read one (nullptr otherwise); for Mosaic and the 3x3 maximum,
// minimum and median it may also be `pixels` itself, and they then work in place.
struct PixelFrame {
    uint32_t* pixels = nullptr;
    const uint32_t* source = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

// The numeric parameters of ApplyFilter, as the caller gave them. Each operation converts
// only the ones it uses.
struct FilterParams {
    double P = 0.0;
    float c = 0.0f;
    float d = 0.0f;
    float e = 0.0f;
    double F = 0.0;
    double G = 0.0;
    double X = 0.0;
};

// Facts about the call that some operations need besides the pixels.
struct FilterContext {
    bool coversWholeImage = false; // the rectangle is at least as large as the image
    bool packedOneBit = false;     // the image is 1 bpp (IsBlank counts differently)
};

// What an operation reports: the Boolean of a test, or a value (counts, average colour).
struct FilterOutcome {
    bool test = false;
    bool hasValue = false;
    double value = 0.0;
};

// Whether a selector reads the unchanged source copy.
bool selectorNeedsSourceCopy(int32_t selector);
// Whether a selector is one of the tests (36, 53, 59), which are not written back.
bool selectorIsTest(int32_t selector);

// How a selector may reach the pixels of a 32-bit ARGB image without the transfer copies.
// Only selectors that cannot fail once their parameters are converted take the direct
// routes, since they write into the image itself.
enum class DirectAccess {
    None,       // the pixel buffer and write-back
    InPlace,    // works on the image's own rows
    FromSource, // reads the source copy, writes into the image's own rows
    ReadOnly,   // a test: reads the image's own rows
};
DirectAccess selectorDirectAccess(int32_t selector);

// Converts and checks, before any pixel is touched, everything of `params` that the
// selector's direct route would otherwise check on the way, and reserves the working
// memory it needs for a width x height frame; throws FilterFault where
// runFilterOperation would fail for these parameters, std::bad_alloc when memory runs out.
void checkDirectParameters(int32_t selector, const FilterParams& params, int32_t width,
                           int32_t height);

// Runs one selector on the frame. Selectors outside the table do nothing. Throws
// FilterFault on a run-time failure and std::bad_alloc when working memory runs out; the
// frame's pixels are then in an unspecified state and must not be written back.
FilterOutcome runFilterOperation(int32_t selector, PixelFrame& frame, const FilterParams& params,
                                 const FilterContext& context);

} // namespace tavimo
