#pragma once

// Image metadata by ImageId: property items read by position, their values as display
// text, and the typed writers. For a container every call acts on its current page.
// Results are GDI+ statuses passed on unchanged unless said otherwise. Calls documented as
// throwing raise win::VbError, which the viewer's members turn into their status.

#include "core/cGDIPPropertyItem.h"
#include "core/image_table.h"

#include <optional>
#include <string>
#include <vector>

namespace tavimo {

int32_t GetPropertyCount(ImageId id, uint32_t& count);
// 0 with count 0 for an absent id.
int32_t GetImagePropertyCount(ImageId id, uint32_t& count);
int32_t GetPropertyItemSize(ImageId id, uint32_t tag, uint32_t& size);

// Reads one item. Nothing when its size cannot be read; an empty item (all 0) when the
// read itself fails.
std::optional<cGDIPPropertyItem> CreatePropertyItem(ImageId id, uint32_t tag);
cGDIPPropertyItem CreatePropertyItemFromBuffer(const void* buffer, uint32_t size);

// The index-th (1-based) item in GDI+'s list order, of a list of `count` ids; nothing for
// an index outside 1..count.
std::optional<cGDIPPropertyItem> GetPropertyItemByIndex(ImageId id, int32_t index,
                                                        uint32_t count);

// The index-th item's value as text; empty for an absent id or an index outside the list.
// Throws win::VbError(11) for a rational with a zero denominator.
std::string GetExifTagValue(ImageId id, int32_t index);

// A value as display text: numbers in the BASIC Str form separated by ", ", ASCII through
// the Windows-1252 code page (returned as UTF-8), undefined bytes as hexadecimal, long or
// unsized values as "<length> Byte". Throws win::VbError(11) for a zero denominator.
std::string FormatPropertyValue(uint32_t tagId, int32_t type, int32_t length, int32_t valueCount,
                                const std::vector<uint8_t>& bytes);

// Writers. Each marks the image modified on success when asked.
int32_t SetPropertyItem(ImageId id, const gp::GdipPropertyItem& item, bool markModified);
// An empty text or an absent id: 2. Tag 37510 gets its "ASCII" character-code header.
int32_t SetAsciiTag(ImageId id, uint32_t tag, const std::string& text, bool markModified);
// Comma-separated numbers (blanks ignored, each read as by Val, halves to even). An empty
// text: 2. Throws win::VbError(6) for a value outside the type's range.
int32_t SetLongArrayTag(ImageId id, uint32_t tag, const std::string& text, bool markModified,
                        bool isSigned);
int32_t SetShortArrayTag(ImageId id, uint32_t tag, const std::string& text, bool markModified);
int32_t SetRawTag(ImageId id, uint32_t tag, uint16_t type, const std::vector<uint8_t>& bytes,
                  bool markModified);
int32_t SetTagFromPointer(ImageId id, uint32_t tag, uint16_t type, uint32_t length,
                          const void* value, bool markModified);
int32_t RemovePropertyItem(ImageId id, uint32_t tag);

} // namespace tavimo
