#pragma once

// cColor is a class of the public interface; its header is the public one.
#include <tavimo/color.h>
