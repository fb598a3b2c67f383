#pragma once

// Property items (tags) of an image by ImageId, straight over the GDI+ layer: the few
// reads and writes the conversion, resolution and save-preparation operations need. For a
// container they act on its current page.

#include "core/image_table.h"

#include <cstdint>
#include <vector>

namespace tavimo {

// The tag ids in GDI+'s list order; empty for an unknown image or one without items.
std::vector<uint32_t> PropertyTagIds(ImageId id);

// One item by tag; false when the image or the tag is absent.
bool ReadPropertyTag(ImageId id, uint32_t tag, gp::PropertyItem& item);

// Writes (replaces or appends) one item. Marks the image modified on success when asked.
// GDI+'s status (2 for an unknown image).
int32_t WritePropertyTag(ImageId id, uint32_t tag, uint16_t type, const void* value,
                         uint32_t length, bool markModified);

// Removes one item: GDI+'s status (19 when the image has no such tag).
int32_t RemovePropertyTag(ImageId id, uint32_t tag);

// Copies every item of `from` onto `to` in list order; the first failing write's status,
// else OK.
int32_t CopyPropertyTags(ImageId from, ImageId to);

} // namespace tavimo
