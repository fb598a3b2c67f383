#pragma once

// Metadata exchange with the codec plug-in: IPTC tags kept in the image's table entry,
// EXIF, GPS and XMP tags copied into GDI+ property items, and the resolution found in the
// resolution tags.

#include "core/image_table.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tavimo {

struct MetadataTagEntry;

// Resolution found in the plug-in's tags: x from tag 282, y from tag 283. A value stays as
// the caller set it when its tag is absent or unusable.
struct PluginTagResolution {
    float x = 0;
    float y = 0;
};

// Copies the metadata of a plug-in bitmap into the registered image `id`: its IPTC tags
// (model 6) into the entry's IptcTags, then the tags of models 2, 3, 1 and 7 (EXIF, GPS,
// EXIF main, XMP) into property items (not marking the image modified; refused items are
// left out). Resolution tags (RATIONAL, count 1, both parts above 0) fill `resolution`.
void ReadPluginMetadata(ImageId id, KelvraHandle bitmap, PluginTagResolution& resolution);

// The records of one model as property items of `id`, and the resolution they hold.
void CopyPluginTagsToImage(ImageId id, const std::vector<MetadataTagEntry>& records,
                           PluginTagResolution& resolution);

// The viewer's IPTC queries. 300 (KelvraDllRequired) without the plug-in, whatever the id.
// GetIptcTagCount: 0 with `count` untouched for an absent id, else the number of IPTC tags.
// GetIptcTagId: 19 (PropertyNotFound) for an absent id or an index outside 1..count.
// GetIptcTagValue: as GetIptcTagId; the value as display text (FormatPropertyValue: type 2
// reads as text). Throws win::VbError(11) for a rational with a zero denominator.
int32_t GetIptcTagCount(ImageId id, int32_t& count);
int32_t GetIptcTagId(ImageId id, int32_t index, int32_t& tagId);
int32_t GetIptcTagValue(ImageId id, int32_t index, std::string& text);

// Before a plug-in save: every property item of `id` goes into the plug-in bitmap as a
// tag of model 2 (key from the item's name, length, count, type, id, value; resolution
// items of length 9 are written with length 8), and the image's resolution, rounded to
// whole dpi, when both are above 0. Items the plug-in refuses are left out; the later ones
// are still written.
void WriteMetadataToPlugin(ImageId id, KelvraHandle bitmap);

} // namespace tavimo
