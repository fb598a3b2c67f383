#include "core/plugin_metadata.h"

#include "core/image_info.h"
#include "core/image_metadata.h"
#include "core/plugin.h"
#include "core/plugin_bridge.h"
#include "platform/win/vb_number.h"

#include <cstring>
#include <optional>

namespace tavimo {

namespace {

constexpr int32_t kModelIptc = 6;
constexpr int32_t kModelExif = 2;
// The models copied into property items, in the order they are copied.
constexpr int32_t kCopiedModels[] = {2, 3, 1, 7};

constexpr uint16_t kTagXResolution = 282;
constexpr uint16_t kTagYResolution = 283;
constexpr uint16_t kTypeRational = 5;

std::string trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

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
        SetTagFromPointer(id, record.id, record.type, static_cast<uint32_t>(record.value.size()),
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

int32_t GetIptcTagValue(ImageId id, int32_t index, std::string& text) {
    if (!PluginAvailable())
        return KelvraDllRequired;
    const ImageRecord* r = FindImageRecord(id);
    if (!r || index < 1 || index > r->IptcTagCount ||
        index > static_cast<int32_t>(r->IptcTags.size()))
        return PropertyNotFound;
    const IptcTagEntry entry = r->IptcTags[static_cast<size_t>(index - 1)];
    text = FormatPropertyValue(static_cast<uint32_t>(entry.TagId), entry.Type, entry.Length,
                               entry.Count, entry.Value);
    return OK;
}

void WriteMetadataToPlugin(ImageId id, KelvraHandle bitmap) {
    const KelvraApi* k = plugin();
    if (!k)
        return;
    uint32_t count = 0;
    GetImagePropertyCount(id, count);
    KelvraTag tag = 0;
    for (uint32_t index = 1; index <= count; ++index) {
        std::optional<cGDIPPropertyItem> item =
            GetPropertyItemByIndex(id, static_cast<int32_t>(index), count);
        if (!item)
            continue;
        if (tag == 0)
            tag = k->KELVRA_CreateTag();
        if (tag == 0)
            continue;
        int32_t length = item->Length();
        // Resolution rationals are 8 bytes; some writers store 9.
        if ((item->ID() == kTagXResolution || item->ID() == kTagYResolution) && length == 9)
            length = 8;
        k->KELVRA_SetTagKey(tag, trimmed(item->name()).c_str());
        k->KELVRA_SetTagLength(tag, static_cast<uint32_t>(length));
        k->KELVRA_SetTagCount(tag, static_cast<uint32_t>(item->ValueCount()));
        k->KELVRA_SetTagType(tag, item->ItemType());
        k->KELVRA_SetTagID(tag, static_cast<uint16_t>(item->ID()));
        if (k->KELVRA_SetTagValue(tag, item->DataPtr()) != 0) {
            k->KELVRA_SetMetadata(kModelExif, bitmap, k->KELVRA_GetTagKey(tag), tag);
            k->KELVRA_DeleteTag(tag);
            tag = 0;
        }
        // A refused tag is filled again for the next item.
    }
    // The tag left over from a refused last item is freed too.
    if (tag != 0)
        k->KELVRA_DeleteTag(tag);

    float horizontal = 0, vertical = 0;
    GetImageHorizontalResolution(id, horizontal);
    GetImageVerticalResolution(id, vertical);
    if (horizontal > 0 && vertical > 0) {
        int32_t x = 0, y = 0;
        if (win::tryToInt32(horizontal, x) && win::tryToInt32(vertical, y)) {
            SetPluginDpiX(bitmap, x);
            SetPluginDpiY(bitmap, y);
        }
    }
}

} // namespace tavimo
