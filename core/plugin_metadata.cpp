#include "core/plugin_metadata.h"

#include "core/plugin.h"
#include "core/plugin_bridge.h"
#include "core/image_metadata.h"

#include <cstring>

namespace tavimo {

namespace {

constexpr int32_t kModelIptc = 6;
// The models copied into property items, in the order they are copied.
constexpr int32_t kCopiedModels[] = {2, 3, 1, 7};

constexpr uint16_t kTagXResolution = 282;
constexpr uint16_t kTagYResolution = 283;
constexpr uint16_t kTypeRational = 5;

int32_t readInt32(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

void CopyPluginTagsToImage(ImageId id, const std::vector<MetadataTagEntry>& records,
                           PluginTagResolution& resolution) {
    for (const MetadataTagEntry& record : records) {
        // Items GDI+ refuses are left out; the bookkeeping copy does not mark the image.
        SetTagFromPointer(id, record.id, record.type,
                          static_cast<uint32_t>(record.value.size()),
                          record.value.empty() ? nullptr : record.value.data(), false);
        bool resolutionTag = record.id == kTagXResolution || record.id == kTagYResolution;
        if (!resolutionTag || record.length != 8 || record.type != kTypeRational ||
            record.count != 1 || record.value.size() < 8)
            continue;
        int32_t numerator = readInt32(record.value.data());
        int32_t denominator = readInt32(record.value.data() + 4);
        if (numerator <= 0 || denominator <= 0)
            continue;
        float value = static_cast<float>(numerator) / static_cast<float>(denominator);
        (record.id == kTagXResolution ? resolution.x : resolution.y) = value;
    }
}

void ReadPluginMetadata(ImageId id, KelvraHandle bitmap, PluginTagResolution& resolution) {
    std::vector<MetadataTagEntry> iptc;
    if (GetMetadataTags(kModelIptc, bitmap, iptc) >= 1) {
        if (ImageRecord* r = FindImageRecord(id)) {
            r->IptcTags.clear();
            for (const MetadataTagEntry& record : iptc) {
                IptcTagEntry entry;
                entry.TagId = record.id; // 16 bits, unsigned
                entry.Length = static_cast<int32_t>(record.value.size());
                entry.Type = static_cast<int16_t>(record.type);
                entry.Count = static_cast<int32_t>(record.count);
                entry.Value = record.value;
                r->IptcTags.push_back(std::move(entry));
            }
            r->IptcTagCount = static_cast<int32_t>(r->IptcTags.size());
        }
    }
    for (int32_t model : kCopiedModels) {
        std::vector<MetadataTagEntry> records;
        if (GetMetadataTags(model, bitmap, records) >= 1)
            CopyPluginTagsToImage(id, records, resolution);
    }
}

int32_t GetIptcTagCount(ImageId id, int32_t& count) {
    if (!PluginAvailable())
        return KelvraDllRequired;
    const ImageRecord* r = FindImageRecord(id);
    if (!r)
        return OK;
    count = r->IptcTagCount;
    return OK;
}

int32_t GetIptcTagId(ImageId id, int32_t index, int32_t& tagId) {
    if (!PluginAvailable())
        return KelvraDllRequired;
    const ImageRecord* r = FindImageRecord(id);
    if (!r || index < 1 || index > r->IptcTagCount ||
        index > static_cast<int32_t>(r->IptcTags.size()))
        return PropertyNotFound;
    tagId = r->IptcTags[static_cast<size_t>(index - 1)].TagId;
    return OK;
}

} // namespace tavimo
