#include "core/property_access.h"

#include "core/quennet_status.h"

#include <algorithm>
#include <cstring>

namespace tavimo {

std::vector<uint32_t> PropertyTagIds(ImageId id) {
    gp::GpImage image = GetGdiImage(id);
    gp::UINT count = 0;
    if (image == 0 || gp::GdipGetPropertyCount(image, &count) != gp::Ok || count == 0)
        return {};
    std::vector<uint32_t> ids(count);
    if (gp::GdipGetPropertyIdList(image, count, ids.data()) != gp::Ok)
        return {};
    return ids;
}

bool ReadPropertyTag(ImageId id, uint32_t tag, gp::PropertyItem& item) {
    item = {};
    gp::GpImage image = GetGdiImage(id);
    gp::UINT size = 0;
    if (image == 0 || gp::GdipGetPropertyItemSize(image, tag, &size) != gp::Ok ||
        size < sizeof(gp::GdipPropertyItem))
        return false;
    // Header and value share one buffer; keep it aligned for the header.
    std::vector<uint64_t> buffer((size + 7) / 8);
    auto* header = reinterpret_cast<gp::GdipPropertyItem*>(buffer.data());
    if (gp::GdipGetPropertyItem(image, tag, size, header) != gp::Ok)
        return false;
    item.id = header->id;
    item.type = header->type;
    uint32_t length = std::min<uint32_t>(header->length, size - sizeof(gp::GdipPropertyItem));
    if (length > 0 && header->value)
        item.value.assign(static_cast<const uint8_t*>(header->value),
                          static_cast<const uint8_t*>(header->value) + length);
    return true;
}

int32_t WritePropertyTag(ImageId id, uint32_t tag, uint16_t type, const void* value,
                         uint32_t length, bool markModified) {
    gp::GdipPropertyItem item{};
    item.id = tag;
    item.length = length;
    item.type = type;
    item.value = const_cast<void*>(value);
    int32_t status = gp::GdipSetPropertyItem(GetGdiImage(id), &item);
    if (status == OK && markModified)
        MarkImageModified(id);
    return status;
}

int32_t RemovePropertyTag(ImageId id, uint32_t tag) {
    return gp::GdipRemovePropertyItem(GetGdiImage(id), tag);
}

int32_t CopyPropertyTags(ImageId from, ImageId to) {
    int32_t result = OK;
    for (uint32_t tag : PropertyTagIds(from)) {
        gp::PropertyItem item;
        if (!ReadPropertyTag(from, tag, item))
            continue;
        int32_t status = WritePropertyTag(to, item.id, item.type,
                                          item.value.empty() ? nullptr : item.value.data(),
                                          static_cast<uint32_t>(item.value.size()), false);
        if (status != OK && result == OK)
            result = status;
    }
    return result;
}

} // namespace tavimo
