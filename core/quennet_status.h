#pragma once

// QuennetStatus, like every enumeration of the type library, is the one the public
// header declares: the library and its callers share one definition.
#include <tavimo/enums.h>
