#pragma once

#include "platform/win/global_memory.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace win {

// Result codes of the stream calls, with their usual values (negative = failure).
using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001u);
inline constexpr HRESULT STG_E_ACCESSDENIED = static_cast<HRESULT>(0x80030005u);
inline constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009u);
inline constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001Eu);
inline constexpr HRESULT STG_E_MEDIUMFULL = static_cast<HRESULT>(0x80030070u);

inline constexpr bool succeeded(HRESULT hr) {
    return hr >= 0;
}

// Seek origins.
inline constexpr uint32_t STREAM_SEEK_SET = 0;
inline constexpr uint32_t STREAM_SEEK_CUR = 1;
inline constexpr uint32_t STREAM_SEEK_END = 2;

struct StreamStat {
    uint64_t size = 0;
};

// A byte stream with a current position, reference counted in the COM manner: a stream
// is created with one reference owned by the creator, AddRef takes another, Release drops
// one and destroys the stream at 0. The intrusive count (rather than shared_ptr) lets a
// host hand in its own stream object and lets the control framework pass streams through
// its COM-shaped interfaces unchanged. Use RefPtr to hold one.
//
// A stream is used by one thread at a time; only the count itself is atomic.
class IStream {
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

    // Reads up to `bytes` bytes at the position and advances it. Reading at or past the
    // end is not an error: it answers S_OK with fewer bytes (possibly 0) in *bytesRead.
    // bytesRead may be null. A null buffer with bytes > 0 gives STG_E_INVALIDPOINTER.
    virtual HRESULT Read(void* buffer, uint32_t bytes, uint32_t* bytesRead) = 0;

    // Writes at the position (extending the stream, with zeros over any gap left by a seek
    // past the end) and advances it. Read-only streams answer STG_E_ACCESSDENIED; when the
    // stream cannot grow, STG_E_MEDIUMFULL with nothing written.
    virtual HRESULT Write(const void* buffer, uint32_t bytes, uint32_t* bytesWritten) = 0;

    // Moves the position relative to the start (0), the position (1) or the end (2).
    // A position before the start or an unknown origin gives STG_E_INVALIDFUNCTION and
    // leaves the position; past the end is allowed. newPosition may be null.
    virtual HRESULT Seek(int64_t move, uint32_t origin, uint64_t* newPosition) = 0;

    // Sets the size; added bytes are zero, the position is kept.
    virtual HRESULT SetSize(uint64_t size) = 0;

    // Fills in the size. `flags` is accepted and ignored.
    virtual HRESULT Stat(StreamStat* stat, uint32_t flags) = 0;

    // Copies up to `bytes` bytes from this stream's position to the target's, advancing
    // both. The counts may be null.
    virtual HRESULT CopyTo(IStream* target, uint64_t bytes, uint64_t* bytesRead,
                           uint64_t* bytesWritten);

protected:
    virtual ~IStream() = default;
};

// Holds one reference to a COM-style object (anything with AddRef/Release).
template <class T> class RefPtr {
public:
    RefPtr() = default;
    RefPtr(std::nullptr_t) {}
    // Takes a new reference.
    explicit RefPtr(T* object) : m_object(object) {
        if (m_object)
            m_object->AddRef();
    }
    RefPtr(const RefPtr& other) : RefPtr(other.m_object) {}
    RefPtr(RefPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    ~RefPtr() { reset(); }
    RefPtr& operator=(RefPtr other) noexcept {
        std::swap(m_object, other.m_object);
        return *this;
    }

    // Adopts a reference the caller already owns (a creation function's result).
    static RefPtr adopt(T* object) {
        RefPtr ref;
        ref.m_object = object;
        return ref;
    }

    void reset() {
        if (T* object = std::exchange(m_object, nullptr))
            object->Release();
    }
    // Gives up the reference without releasing it.
    T* detach() { return std::exchange(m_object, nullptr); }

    T* get() const { return m_object; }
    T* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }

    // For creation functions with an out parameter: releases the current object first.
    T** put() {
        reset();
        return &m_object;
    }

private:
    T* m_object = nullptr;
};

// Shared reference counting for our own stream classes.
class StreamBase : public IStream {
public:
    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override {
        uint32_t left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

private:
    std::atomic<uint32_t> m_refs{1};
};

// A growable stream over a global memory block. With memory 0 a new empty block is
// made; otherwise the stream starts with the block's contents (its whole size) at position
// 0. The block is kept at exactly the stream's size, so GlobalSize of the block is the
// number of bytes written. With deleteOnRelease the block is freed with the stream;
// otherwise it stays the caller's. *stream receives a new reference (null on failure).
// Returns S_OK, E_POINTER (null out pointer), E_INVALIDARG (memory not a live block) or
// E_OUTOFMEMORY.
HRESULT CreateStreamOnHGlobal(HGLOBAL memory, bool deleteOnRelease, IStream** stream);

// The block under a stream made by CreateStreamOnHGlobal. Other streams, or a null stream,
// give E_INVALIDARG and *memory = 0.
HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* memory);

// A read-only stream over bytes the caller keeps alive for the stream's lifetime.
// Never fails for a valid out pointer; null data is allowed only with size 0.
HRESULT CreateStreamOnMemory(const void* data, size_t size, IStream** stream);

// A read-only stream that owns its bytes.
HRESULT CreateStreamOnBytes(std::vector<uint8_t> bytes, IStream** stream);

// A read-only stream over a regular file (UTF-8 path), opened now and closed with the
// stream. A file that cannot be opened gives E_FAIL, a directory or other non-regular file
// E_INVALIDARG. The size is taken at opening.
HRESULT CreateStreamOnFile(const std::string& path, IStream** stream);

// Reads from the position to the end. False when a read fails (bytes then hold what was
// read) or the stream is null.
bool ReadStreamToEnd(IStream* stream, std::vector<uint8_t>& bytes);

} // namespace win
