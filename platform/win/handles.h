#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace win {

// Handle kinds. Each kind draws its values from its own range (the kind sits in bits 24..30),
// so a handle of one kind handed in as another is refused like any forged value.
enum class HandleKind : uint32_t {
    GlobalMemory = 1,
    GdiBitmap = 2,
    GdiIcon = 3,
    GdiPalette = 4,
    GdiMetafile = 5,
    GdiEnhMetafile = 6,
    GdiDc = 7,
    GdiOther = 8,
    Window = 9,
    Timer = 10,
    GdipImage = 16,
    GdipGraphics = 17,
    GdipAttributes = 18,
    GdipOther = 19,
    Plugin = 32,
    PluginAux = 33,
    Internet = 40,
    Printer = 48,
    Test = 127,
};

// A table mapping 32-bit handle values to the objects they name. The table owns the
// objects. 0 is never a handle; a value is not handed out again while the table lives
// (the counter runs through 2^24 values before it wraps, and a wrapped value that is
// still in use is skipped). Lookups of unknown values answer null, never touch memory.
// A mutex guards the map so tables may be process-wide; an object itself is used by
// one thread at a time.
template <class T> class HandleTable {
public:
    explicit HandleTable(HandleKind kind) : m_kind(static_cast<uint32_t>(kind)) {}

    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;

    // Takes ownership and returns the new handle (never 0).
    uint32_t add(std::unique_ptr<T> object) {
        std::lock_guard lock(m_mutex);
        uint32_t value;
        do {
            m_next = (m_next + 1) & kCounterMask;
            if (m_next == 0)
                m_next = 1;
            value = (m_kind << 24) | m_next;
        } while (m_objects.count(value) != 0);
        m_objects.emplace(value, std::move(object));
        return value;
    }

    // The object named by the handle, or null for 0, a stale or a forged value.
    T* get(uint32_t handle) const {
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(handle);
        return it == m_objects.end() ? nullptr : it->second.get();
    }

    bool contains(uint32_t handle) const { return get(handle) != nullptr; }

    // Removes the entry and hands the object back (null when the handle is unknown).
    std::unique_ptr<T> take(uint32_t handle) {
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(handle);
        if (it == m_objects.end())
            return nullptr;
        auto object = std::move(it->second);
        m_objects.erase(it);
        return object;
    }

    // Removes and destroys the object; false when the handle is unknown.
    bool remove(uint32_t handle) { return take(handle) != nullptr; }

    size_t size() const {
        std::lock_guard lock(m_mutex);
        return m_objects.size();
    }

    static HandleKind kindOf(uint32_t handle) {
        return static_cast<HandleKind>((handle >> 24) & 0x7F);
    }

private:
    static constexpr uint32_t kCounterMask = 0x00FFFFFF;

    uint32_t m_kind;
    uint32_t m_next = 0;
    mutable std::mutex m_mutex;
    std::map<uint32_t, std::unique_ptr<T>> m_objects;
};

} // namespace win
