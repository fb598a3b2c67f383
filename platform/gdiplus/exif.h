#pragma once

// EXIF / TIFF tag directories as property items. The reader walks a TIFF-structured block
// (EXIF APP1 payload after "Exif\0\0", or a whole TIFF file's first IFD) of either byte order;
// values come out in the machine's byte order. The writer makes a little-endian block for
// the JPEG encoder's APP1 segment.

#include "platform/gdiplus/types.h"

#include <cstdint>
#include <span>
#include <vector>

namespace gp::exif {

// Size in bytes of one element of a tag type (0 for unknown types).
uint32_t typeSize(uint16_t type);

// Reads IFD0 with its Exif, GPS and Interop sub-directories, and IFD1 as the 0x50xx
// thumbnail items (0x501B holding the thumbnail bytes, 0x5012-0x5019 derived from them).
// Damaged directories end the walk quietly: whatever was read stays, nothing throws, and
// values that point outside the block are dropped. Returns false when the block has no
// valid TIFF header.
bool readExif(std::span<const uint8_t> tiff, std::vector<PropertyItem>& out);

// Reads one TIFF file directory at `offset` (of the whole file `tiff`) with its Exif and GPS
// sub-directories expanded; strip and tile offset or count arrays above 64 KiB are left out.
// Same tolerance as readExif.
bool readTiffDirectory(std::span<const uint8_t> tiff, uint64_t offset,
                       std::vector<PropertyItem>& out);

// True for the tags an encoder regenerates and never copies from the property items
// (sizes, layout, offsets, pointers, tables).
bool isStructuralTag(uint32_t id);

// Builds a little-endian TIFF block (starting "II*\0") from the non-structural items that
// belong in EXIF: IFD0, the Exif IFD, the GPS IFD and a JPEG thumbnail from 0x501B. Returns
// an empty vector when no item qualifies.
std::vector<uint8_t> buildExif(const std::vector<PropertyItem>& items);

} // namespace gp::exif
