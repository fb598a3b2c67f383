#pragma once

// The PDF plug-in Movrin, reached through a function table filled from libmovrin.so at first
// use. The library is looked up as every plug-in is (platform/win/plugin_library.h: beside
// the library first, then $TAVIMO_PLUGIN_PATH, then the loader's search path); its absence
// is normal, and every caller copes with a null table.

#include "core/image_table.h"
#include "plugins/movrin/movrin_api.h"

#include <string>

namespace tavimo {

struct MovrinApi {
#define TAVIMO_MOVRIN_MEMBER(ret, name, params) ret(*name) params = nullptr;
    MOVRIN_FUNCTION_LIST(TAVIMO_MOVRIN_MEMBER)
#undef TAVIMO_MOVRIN_MEMBER
};

// The plug-in's function table, or null when the library is absent or lacks a function.
const MovrinApi* movrin();

// Makes GetFileVersion("Movrin.dll") answer the loaded plug-in's version ("Unknown" when it
// is absent). Done once per process; the printing class calls it when it is made.
void registerMovrinVersion();

// Opens a PDF for printing in PDF mode: the plug-in's document handle, 0 when the plug-in
// is absent or the file is not a PDF it opens. MovrinCloseDocument gives it back.
uint32_t MovrinOpenDocument(const std::string& path, const std::string& password = {});
bool MovrinCloseDocument(uint32_t document);

// The page count of a document; 0 without the plug-in or for an unknown handle.
int32_t MovrinPageCount(uint32_t document);
// Selects page `page` (1-based): 1 on success.
int32_t MovrinSelectPage(uint32_t document, int32_t page);
double MovrinPageWidth(uint32_t document);  // points
double MovrinPageHeight(uint32_t document); // points
int32_t MovrinPageRotation(uint32_t document);

// Renders the selected page at `dpi` into a new width x height 32bppARGB GDI+ bitmap
// (its resolution set to dpi), which the caller owns. 1 on success, with `bitmap` set;
// 0 without the plug-in, for a size below 1 or above 32767 pixels a side, or when the
// page cannot be rendered (`bitmap` is then 0).
int32_t MovrinRasterize(uint32_t document, double dpi, gp::GpBitmap& bitmap, int32_t width,
                        int32_t height, int32_t rotation, int32_t hints);

namespace test {

// Replaces the plug-in seen by this thread (a fake table); null goes back to the real one.
void SetMovrinTable(const MovrinApi* table);
// Makes this thread see no plug-in at all, until called again with false. A fake table
// installed with SetMovrinTable still wins.
void SetMovrinAbsent(bool absent);

} // namespace test

} // namespace tavimo
