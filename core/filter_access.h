#pragma once

// The image core's side of the filter engine: the engine reaches images of the table only
// through this implementation of its image-access interface.

#include "filters/filters.h"

namespace tavimo {

// The thread's access object over the image table (size, format, palette, locks).
FilterImageAccess& CoreFilterImageAccess();

// Makes ApplyFilter on this thread use the image table (idempotent).
void InstallCoreFilterImageAccess();

} // namespace tavimo
