#pragma once

// Metafile handles: an HMETAFILE holds the bytes of a Windows metafile (without a
// placeable header), an HENHMETAFILE those of an enhanced metafile. The bytes are kept as
// given; reading and playing them is the GDI+ layer's metafile player.

#include "platform/win/gdi_types.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace win {

// New handles over a copy of the bytes. 0 for null data, a size below the record header
// (18 bytes for a WMF, 88 for an EMF), or bytes that do not start like one. A WMF given
// with its placeable header has that header dropped.
HMETAFILE SetMetaFileBitsEx(uint32_t size, const uint8_t* data);
HENHMETAFILE SetEnhMetaFileBits(uint32_t size, const uint8_t* data);

// Copies the bytes out: with a null buffer the size; otherwise the bytes written (0 when
// the buffer is too small or the handle unknown).
uint32_t GetMetaFileBitsEx(HMETAFILE metafile, uint32_t size, void* buffer);
uint32_t GetEnhMetaFileBits(HENHMETAFILE metafile, uint32_t size, uint8_t* buffer);

HMETAFILE CopyMetaFile(HMETAFILE metafile);
HENHMETAFILE CopyEnhMetaFile(HENHMETAFILE metafile);
BOOL DeleteMetaFile(HMETAFILE metafile);
BOOL DeleteEnhMetaFile(HENHMETAFILE metafile);

// The bytes behind a handle (false for an unknown one).
bool metafileBytes(HMETAFILE metafile, std::vector<uint8_t>* bytes);
bool enhMetafileBytes(HENHMETAFILE metafile, std::vector<uint8_t>* bytes);

// The EMF header's frame (0.01 mm) and bounds (reference pixels): left, top, right, bottom.
bool enhMetafileFrame(HENHMETAFILE metafile, int32_t frame[4]);

size_t liveMetafileCount();

} // namespace win
