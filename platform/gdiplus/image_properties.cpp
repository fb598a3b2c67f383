#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"

#include <algorithm>
#include <cstring>

namespace gp {

namespace {

std::vector<PropertyItem>& itemsOf(Image& image) {
    return image.active().properties;
}

const PropertyItem* findItem(const std::vector<PropertyItem>& items, PROPID id) {
    for (const PropertyItem& item : items)
        if (item.id == id)
            return &item;
    return nullptr;
}

void writeHeader(GdipPropertyItem& header, const PropertyItem& item, uint8_t* value) {
    header.id = item.id;
    header.length = static_cast<uint32_t>(item.value.size());
    header.type = item.type;
    header.value = item.value.empty() ? nullptr : value;
    if (!item.value.empty())
        std::memcpy(value, item.value.data(), item.value.size());
}

} // namespace

Status GdipGetPropertyCount(GpImage image, UINT* count) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !count)
            return InvalidParameter;
        *count = static_cast<UINT>(itemsOf(*i).size());
        return Ok;
    });
}

Status GdipGetPropertyIdList(GpImage image, UINT count, PROPID* list) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !list)
            return InvalidParameter;
        const auto& items = itemsOf(*i);
        if (count != items.size())
            return InvalidParameter;
        for (size_t k = 0; k < items.size(); ++k)
            list[k] = items[k].id;
        return Ok;
    });
}

Status GdipGetPropertyItemSize(GpImage image, PROPID id, UINT* size) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !size)
            return InvalidParameter;
        const PropertyItem* item = findItem(itemsOf(*i), id);
        if (!item)
            return PropertyNotFound;
        *size = static_cast<UINT>(sizeof(GdipPropertyItem) + item->value.size());
        return Ok;
    });
}

Status GdipGetPropertyItem(GpImage image, PROPID id, UINT size, GdipPropertyItem* buffer) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !buffer)
            return InvalidParameter;
        const PropertyItem* item = findItem(itemsOf(*i), id);
        if (!item)
            return PropertyNotFound;
        if (size < sizeof(GdipPropertyItem) + item->value.size())
            return InvalidParameter;
        writeHeader(*buffer, *item, reinterpret_cast<uint8_t*>(buffer + 1));
        return Ok;
    });
}

Status GdipGetPropertySize(GpImage image, UINT* totalBufferSize, UINT* count) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !totalBufferSize || !count)
            return InvalidParameter;
        const auto& items = itemsOf(*i);
        size_t total = items.size() * sizeof(GdipPropertyItem);
        for (const PropertyItem& item : items)
            total += item.value.size();
        *totalBufferSize = static_cast<UINT>(total);
        *count = static_cast<UINT>(items.size());
        return Ok;
    });
}

Status GdipGetAllPropertyItems(GpImage image, UINT totalBufferSize, UINT count,
                               GdipPropertyItem* items) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !items)
            return InvalidParameter;
        const auto& own = itemsOf(*i);
        size_t total = own.size() * sizeof(GdipPropertyItem);
        for (const PropertyItem& item : own)
            total += item.value.size();
        if (count != own.size() || totalBufferSize < total)
            return InvalidParameter;
        uint8_t* values = reinterpret_cast<uint8_t*>(items + own.size());
        for (size_t k = 0; k < own.size(); ++k) {
            writeHeader(items[k], own[k], values);
            values += own[k].value.size();
        }
        return Ok;
    });
}

Status GdipSetPropertyItem(GpImage image, const GdipPropertyItem* item) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i || !item)
            return InvalidParameter;
        if (!i->isBitmap())
            return PropertyNotSupported;
        if (item->type < PropertyTagTypeByte || item->type > PropertyTagTypeDouble ||
            (item->length > 0 && !item->value))
            return InvalidParameter;
        PropertyItem copy;
        copy.id = item->id;
        copy.type = item->type;
        const auto* bytes = static_cast<const uint8_t*>(item->value);
        copy.value.assign(bytes, bytes + item->length);
        auto& items = itemsOf(*i);
        auto it = std::find_if(items.begin(), items.end(),
                               [&](const PropertyItem& p) { return p.id == item->id; });
        if (it != items.end())
            *it = std::move(copy);
        else
            items.push_back(std::move(copy));
        return Ok;
    });
}

Status GdipRemovePropertyItem(GpImage image, PROPID id) {
    return guarded([&] {
        Image* i = findImage(image);
        if (!i)
            return InvalidParameter;
        auto& items = itemsOf(*i);
        auto it = std::find_if(items.begin(), items.end(),
                               [&](const PropertyItem& p) { return p.id == id; });
        if (it == items.end())
            return PropertyNotFound;
        items.erase(it);
        return Ok;
    });
}

} // namespace gp
