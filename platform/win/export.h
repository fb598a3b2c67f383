#pragma once

// Marks what the deliverable libraries export; the macro is the public headers' own.
#include <tavimo/export.h>
