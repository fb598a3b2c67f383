// Metadata enumeration and tag writing.

#include "plugins/kelvra/objects.h"

#include <cstring>

using namespace kelvra;

namespace {

bool validModel(int32_t model) {
    return model >= FIMD_COMMENTS && model <= FIMD_EXIF_RAW;
}

// FreeImage files the XMP packet under the id of the marker or field it came in (0x00E1 from
// JPEG, 0x02BC from TIFF); callers see one id whatever the source.
void normaliseXmp(int32_t model, FITAG* tag) {
    if (model == FIMD_XMP && tag)
        FreeImage_SetTagID(tag, KELVRA_XMP_TAG_ID);
}

// Hands out the search's next copied tag as a read-only tag handle.
int32_t advance(SearchObject& search, KelvraTag* tag) {
    if (search.current) {
        table().take<TagObject>(search.current);
        search.current = 0;
    }
    if (tag)
        *tag = 0;
    if (search.next >= search.tags.size())
        return 0;
    auto object = std::make_shared<TagObject>();
    object->tag = search.tags[search.next++];
    object->readOnly = true;
    search.current = table().add(Kind::Tag, std::move(object));
    if (tag)
        *tag = search.current;
    return search.current ? 1 : 0;
}

template <class F> int32_t setOnTag(KelvraTag tag, F&& set) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        auto object = lookup<TagObject>(tag);
        if (!object || object->readOnly || !object->tag)
            return 0;
        return set(object->tag) ? 1 : 0;
    });
}

template <class R, class F> R getFromTag(KelvraTag tag, R failValue, F&& get) {
    return guarded<R>(failValue, [&]() -> R {
        auto object = lookup<TagObject>(tag);
        return object && object->tag ? static_cast<R>(get(object->tag)) : failValue;
    });
}

} // namespace

extern "C" {

KELVRA_API uint32_t KELVRA_GetMetadataCount(int32_t model, KelvraBitmap bitmap) {
    return guarded<uint32_t>(0, [&]() -> uint32_t {
        FIBITMAP* dib = dibOf(bitmap);
        if (!dib || !validModel(model))
            return 0;
        return FreeImage_GetMetadataCount(static_cast<FREE_IMAGE_MDMODEL>(model), dib);
    });
}

KELVRA_API KelvraSearch KELVRA_FindFirstMetadata(int32_t model, KelvraBitmap bitmap,
                                                 KelvraTag* tag) {
    if (tag)
        *tag = 0;
    return guarded<KelvraSearch>(0, [&]() -> KelvraSearch {
        FIBITMAP* dib = dibOf(bitmap);
        if (!dib || !validModel(model))
            return 0;
        // The search works on copies, so a tag handed out stays valid whatever later happens
        // to the bitmap or its metadata.
        auto search = std::make_shared<SearchObject>();
        FITAG* found = nullptr;
        FIMETADATA* md =
            FreeImage_FindFirstMetadata(static_cast<FREE_IMAGE_MDMODEL>(model), dib, &found);
        if (!md)
            return 0;
        do {
            FITAG* copy = found ? FreeImage_CloneTag(found) : nullptr;
            if (copy) {
                normaliseXmp(model, copy);
                search->tags.push_back(copy);
            }
        } while (FreeImage_FindNextMetadata(md, &found));
        FreeImage_FindCloseMetadata(md);
        if (search->tags.empty())
            return 0;
        KelvraSearch handle = table().add(Kind::Search, search);
        if (!handle)
            return 0;
        if (!advance(*search, tag)) {
            table().take<SearchObject>(handle);
            return 0;
        }
        return handle;
    });
}

KELVRA_API int32_t KELVRA_FindNextMetadata(KelvraSearch search, KelvraTag* tag) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        auto object = lookup<SearchObject>(search);
        if (!object) {
            if (tag)
                *tag = 0;
            return 0;
        }
        return advance(*object, tag);
    });
}

KELVRA_API int32_t KELVRA_FindCloseMetadata(KelvraSearch search) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        auto object = table().take<SearchObject>(search);
        if (!object)
            return 0;
        if (object->current)
            table().take<TagObject>(object->current);
        object->current = 0;
        return 1;
    });
}

KELVRA_API KelvraTag KELVRA_CreateTag(void) {
    return guarded<KelvraTag>(0, []() -> KelvraTag {
        FITAG* tag = FreeImage_CreateTag();
        if (!tag)
            return 0;
        auto object = std::make_shared<TagObject>();
        object->tag = tag;
        return table().add(Kind::Tag, std::move(object));
    });
}

KELVRA_API int32_t KELVRA_DeleteTag(KelvraTag tag) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        auto object = lookup<TagObject>(tag);
        if (!object || object->readOnly)
            return 0;
        object.reset();
        return table().take<TagObject>(tag) ? 1 : 0;
    });
}

KELVRA_API int32_t KELVRA_SetTagKey(KelvraTag tag, const char* key) {
    return setOnTag(tag, [&](FITAG* t) { return key && FreeImage_SetTagKey(t, key); });
}

KELVRA_API int32_t KELVRA_SetTagDescription(KelvraTag tag, const char* description) {
    return setOnTag(
        tag, [&](FITAG* t) { return description && FreeImage_SetTagDescription(t, description); });
}

KELVRA_API int32_t KELVRA_SetTagID(KelvraTag tag, uint16_t id) {
    return setOnTag(tag, [&](FITAG* t) { return FreeImage_SetTagID(t, id); });
}

KELVRA_API int32_t KELVRA_SetTagType(KelvraTag tag, int32_t type) {
    return setOnTag(tag, [&](FITAG* t) {
        if (type < FIDT_NOTYPE || type > FIDT_IFD8 || type == 15)
            return FALSE;
        return FreeImage_SetTagType(t, static_cast<FREE_IMAGE_MDTYPE>(type));
    });
}

KELVRA_API int32_t KELVRA_SetTagCount(KelvraTag tag, uint32_t count) {
    return setOnTag(tag, [&](FITAG* t) { return FreeImage_SetTagCount(t, count); });
}

KELVRA_API int32_t KELVRA_SetTagLength(KelvraTag tag, uint32_t length) {
    return setOnTag(tag, [&](FITAG* t) { return FreeImage_SetTagLength(t, length); });
}

KELVRA_API int32_t KELVRA_SetTagValue(KelvraTag tag, const void* value) {
    return setOnTag(tag, [&](FITAG* t) {
        if (!value)
            return FALSE;
        // An ASCII value counts its bytes. Callers that count a text as one value (as GDI+
        // property items do) would otherwise lose every text tag.
        if (FreeImage_GetTagType(t) == FIDT_ASCII)
            FreeImage_SetTagCount(t, FreeImage_GetTagLength(t));
        return FreeImage_SetTagValue(t, value);
    });
}

KELVRA_API const char* KELVRA_GetTagKey(KelvraTag tag) {
    return getFromTag<const char*>(tag, nullptr, FreeImage_GetTagKey);
}

KELVRA_API const char* KELVRA_GetTagDescription(KelvraTag tag) {
    return getFromTag<const char*>(tag, nullptr, FreeImage_GetTagDescription);
}

KELVRA_API uint16_t KELVRA_GetTagID(KelvraTag tag) {
    return getFromTag<uint16_t>(tag, 0, FreeImage_GetTagID);
}

KELVRA_API int32_t KELVRA_GetTagType(KelvraTag tag) {
    return getFromTag<int32_t>(tag, 0, FreeImage_GetTagType);
}

KELVRA_API uint32_t KELVRA_GetTagCount(KelvraTag tag) {
    return getFromTag<uint32_t>(tag, 0, FreeImage_GetTagCount);
}

KELVRA_API uint32_t KELVRA_GetTagLength(KelvraTag tag) {
    return getFromTag<uint32_t>(tag, 0, FreeImage_GetTagLength);
}

KELVRA_API const void* KELVRA_GetTagValue(KelvraTag tag) {
    return getFromTag<const void*>(tag, nullptr, FreeImage_GetTagValue);
}

KELVRA_API int32_t KELVRA_SetMetadata(int32_t model, KelvraBitmap bitmap, const char* key,
                                      KelvraTag tag) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        FIBITMAP* dib = dibOf(bitmap);
        if (!dib || !validModel(model))
            return 0;
        auto mdModel = static_cast<FREE_IMAGE_MDMODEL>(model);
        if (tag == 0) {
            // Removing a tag needs its key; a null key would drop the whole model.
            if (!key || !*key)
                return 0;
            return FreeImage_SetMetadata(mdModel, dib, key, nullptr) ? 1 : 0;
        }
        auto object = lookup<TagObject>(tag);
        if (!object || !object->tag)
            return 0;
        const char* useKey = key && *key ? key : FreeImage_GetTagKey(object->tag);
        if (!useKey || !*useKey)
            return 0;
        FITAG* copy = FreeImage_CloneTag(object->tag);
        if (!copy)
            return 0;
        normaliseXmp(model, copy);
        FreeImage_SetTagKey(copy, useKey);
        BOOL done = FreeImage_SetMetadata(mdModel, dib, useKey, copy);
        FreeImage_DeleteTag(copy);
        return done ? 1 : 0;
    });
}

} // extern "C"
