#pragma once

// Objects behind the plug-in's 32-bit handles, and the one table that names them.
//
// The plug-in keeps its own table rather than the platform's handle tables: it is a separate
// library that must not depend on the platform layer, and a single table with one counter
// gives every handle a value no other object of any kind ever had, so a bitmap handle handed
// in as a tag or a multi-page bitmap is refused like a forged value.

#include "plugins/kelvra/kelvra_api.h"

#include <FreeImage.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace kelvra {

enum class Kind : uint32_t { Bitmap = 0x4B, Multi = 0x4C, File = 0x4D, Search = 0x4E, Tag = 0x4F };

struct Object {
    virtual ~Object() = default;
};

struct FileObject : Object {
    static constexpr Kind kKind = Kind::File;
    explicit FileObject(FILE* f) : fp(f) {}
    ~FileObject() override {
        if (fp)
            std::fclose(fp);
    }
    FILE* fp;
};

struct MultiObject : Object {
    static constexpr Kind kKind = Kind::Multi;
    ~MultiObject() override {
        if (multi)
            FreeImage_CloseMultiBitmap(multi, 0);
    }
    FIMULTIBITMAP* multi = nullptr;
    // The multi-page bitmap reads from the file until it is closed, so it keeps the file open
    // even when the caller closed the file handle first.
    std::shared_ptr<FileObject> file;
    std::set<uint32_t> pages; // handles of the locked pages
};

struct BitmapObject : Object {
    static constexpr Kind kKind = Kind::Bitmap;
    ~BitmapObject() override {
        if (!dib)
            return;
        if (owner)
            FreeImage_UnlockPage(owner->multi, dib, FALSE);
        else
            FreeImage_Unload(dib);
    }
    FIBITMAP* dib = nullptr;
    // True when row 0 in memory is the top row (FreeImage itself always stores bottom-up).
    bool topDown = false;
    // Set for a locked page: the page belongs to this multi-page bitmap.
    std::shared_ptr<MultiObject> owner;
};

struct TagObject : Object {
    static constexpr Kind kKind = Kind::Tag;
    ~TagObject() override {
        if (tag)
            FreeImage_DeleteTag(tag);
    }
    FITAG* tag = nullptr;
    bool readOnly = false; // handed out by a search
};

struct SearchObject : Object {
    static constexpr Kind kKind = Kind::Search;
    ~SearchObject() override {
        for (size_t i = next; i < tags.size(); ++i)
            FreeImage_DeleteTag(tags[i]);
    }
    std::vector<FITAG*> tags; // copies taken when the search began; owned from `next` on
    size_t next = 0;
    uint32_t current = 0; // the tag handle handed out last
};

class ObjectTable {
public:
    static ObjectTable& instance();

    uint32_t add(Kind kind, std::shared_ptr<Object> object);

    template <class T> std::shared_ptr<T> get(uint32_t handle) const {
        if (!hasKind(handle, T::kKind))
            return nullptr;
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(handle);
        return it == m_objects.end() ? nullptr : std::static_pointer_cast<T>(it->second);
    }

    // Removes the handle and hands the object back (null when unknown or of another kind).
    // The caller drops it outside the table's lock, so destructors may use the table.
    template <class T> std::shared_ptr<T> take(uint32_t handle) {
        if (!hasKind(handle, T::kKind))
            return nullptr;
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(handle);
        if (it == m_objects.end())
            return nullptr;
        auto object = std::static_pointer_cast<T>(std::move(it->second));
        m_objects.erase(it);
        return object;
    }

    size_t size() const;

private:
    static bool hasKind(uint32_t handle, Kind kind) {
        return handle != 0 && (handle >> 24) == static_cast<uint32_t>(kind);
    }

    mutable std::mutex m_mutex;
    uint32_t m_next = 0;
    std::map<uint32_t, std::shared_ptr<Object>> m_objects;
};

inline ObjectTable& table() {
    return ObjectTable::instance();
}

template <class T> std::shared_ptr<T> lookup(uint32_t handle) {
    return table().get<T>(handle);
}

// Registers a new bitmap; frees the FreeImage bitmap when registration fails.
KelvraBitmap registerBitmap(FIBITMAP* dib, bool topDown);

// The FreeImage bitmap behind a handle, or null.
FIBITMAP* dibOf(uint32_t handle);

// Format code mapping: our codes keep 35 for JBIG, so FreeImage's 35 and 36 move up by one.
FREE_IMAGE_FORMAT toFif(int32_t code);
int32_t fromFif(FREE_IMAGE_FORMAT fif);

// True for the formats whose bitmaps the plug-in hands out top-down.
bool isTopDownFormat(int32_t code);

// Marks the calling thread as inside a plug-in call while alive, so that libtiff's messages
// raised meanwhile are dropped instead of printed.
class CallScope {
public:
    CallScope();
    ~CallScope();
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
};

// Runs body and answers its result, or failValue when it throws.
template <class R, class F> R guarded(R failValue, F&& body) noexcept {
    try {
        CallScope scope;
        return body();
    } catch (...) {
        return failValue;
    }
}

} // namespace kelvra
