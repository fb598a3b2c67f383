#pragma once

// cAutoDeskew, the skew-angle estimator of libtavimos.so (the scripting-safe build; it is
// not in libtavimo.so). The image core must be started on the calling thread
// (tavimo/image.h).

#include <tavimo/export.h>
#include <tavimo/types.h>

#include <cstdint>

namespace tavimo {
inline namespace v0 {

// Estimates by how many degrees the text lines of a scanned page are tilted.
//
// The lower edges of dark marks in the middle half of the page (rows H/4 to 3H/4) vote
// for every straight line through them at 200 candidate angles, 0.2 degrees apart, from
// -MaxAngleOfResearch upwards; the ten lines with the most votes are taken, and their mean
// angle is the answer when they agree (spread below 4 degrees and not larger than the
// mean's size). A positive angle describes lines that go down towards the right, in image
// coordinates with y growing downwards; turn the image by minus that angle to straighten
// it.
//
// Dark means, on a 1-bit image, a pixel whose colour has a red of 0 (black, with the usual
// black-and-white palette); on any other image 0.587 G + 0.299 R + 0.114 B < 140.
class TAVIMO_API cAutoDeskew {
public:
    // Degrees subtracted from every candidate: candidate i is i * 0.2 - MaxAngleOfResearch,
    // so the default searches -20.0 to +19.8 degrees. It shifts the range, never widens it.
    double MaxAngleOfResearch = 20.0;
    // The result of the last GetSkewAngle in degrees; 0 when no reliable angle was found
    // (also for a page without any dark mark).
    double SkewAngle = 0;

    // Estimates the skew of image `id` (a multi-page image's current page) into
    // SkewAngle, which is set to 0 first. Returns OK when the pixels could be read, whether
    // or not an angle was accepted; Aborted (9) for an image up to 50 pixels wide or high,
    // and for an unknown identifier; the pixel read's status when it fails; OutOfMemory
    // (3) when the work arrays cannot be had; GenericError (1) for any other failure,
    // including a MaxAngleOfResearch that is not a finite number. Nothing is kept between
    // calls.
    int32_t GetSkewAngle(ImageId id);
};

} // namespace v0
} // namespace tavimo
