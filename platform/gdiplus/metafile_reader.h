#pragma once

// Metafile headers and record loops. The readers check every length against the bytes at
// hand; a record that does not fit ends the playback, an unknown record is skipped.

#include "platform/gdiplus/metafile_canvas.h"
#include "platform/gdiplus/metafile_object.h"

#include <cstddef>
#include <cstdint>

namespace gp {

// What the headers say: the frame in logical units (WMF) or 0.01 mm (EMF), the size in
// metafile pixels and the resolution. `recordsOffset` is where the WMF's standard header
// starts (22 with a placeable header, else 0).
struct MetafileInfo {
    MetafileExtension::Kind kind = MetafileExtension::Kind::Emf;
    double frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
    int32_t widthPx = 0, heightPx = 0;
    double dpiX = 96, dpiY = 96;
    size_t recordsOffset = 0;
};

// `placeable` stands in for a missing placeable header; without either, the frame comes
// from the first window origin and extent records at 96 units per inch. False when the
// bytes are not a WMF or no frame can be found.
bool readWmfInfo(const uint8_t* data, size_t size, const WmfPlaceable* placeable,
                 MetafileInfo& info);
bool readEmfInfo(const uint8_t* data, size_t size, MetafileInfo& info);

// Plays the records (WMF: from its standard header on; EMF: the whole file).
void playWmfRecords(const uint8_t* data, size_t size, MetafileCanvas& canvas);
void playEmfRecords(const uint8_t* data, size_t size, MetafileCanvas& canvas);

// Metafile pixels per millimetre of an EMF's reference device (from its header).
void emfPixelsPerMm(const uint8_t* data, size_t size, double* x, double* y);

} // namespace gp
