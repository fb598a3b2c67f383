#pragma once

// The whole C++ API of libtavimo.so. cAutoDeskew, which only libtavimos.so has, is in
// <tavimo/deskew.h>.

#include <tavimo/cmy.h>
#include <tavimo/color.h>
#include <tavimo/enums.h>
#include <tavimo/filters.h>
#include <tavimo/image.h>
#include <tavimo/pdf.h>
#include <tavimo/printer.h>
