#include "platform/win/stream.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace win {
namespace {

// Applies a seek to `position` within a stream of `size` bytes.
HRESULT seekPosition(uint64_t& position, uint64_t size, int64_t move, uint32_t origin,
                     uint64_t* newPosition) {
    int64_t base;
    switch (origin) {
    case STREAM_SEEK_SET:
        base = 0;
        break;
    case STREAM_SEEK_CUR:
        base = static_cast<int64_t>(position);
        break;
    case STREAM_SEEK_END:
        base = static_cast<int64_t>(size);
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    int64_t target;
    if (__builtin_add_overflow(base, move, &target) || target < 0)
        return STG_E_INVALIDFUNCTION;
    position = static_cast<uint64_t>(target);
    if (newPosition)
        *newPosition = position;
    return S_OK;
}

class HGlobalStream final : public StreamBase {
public:
    HGlobalStream(HGLOBAL memory, bool deleteOnRelease)
        : m_memory(memory), m_deleteOnRelease(deleteOnRelease) {}

    HGLOBAL memory() const { return m_memory; }

    HRESULT Read(void* buffer, uint32_t bytes, uint32_t* bytesRead) override {
        if (bytesRead)
            *bytesRead = 0;
        if (buffer == nullptr && bytes > 0)
            return STG_E_INVALIDPOINTER;
        size_t size = GlobalSize(m_memory);
        if (m_position >= size || bytes == 0)
            return S_OK;
        size_t count = std::min<uint64_t>(bytes, size - m_position);
        auto* data = static_cast<unsigned char*>(GlobalLock(m_memory));
        if (data == nullptr)
            return STG_E_READFAULT;
        std::memcpy(buffer, data + m_position, count);
        GlobalUnlock(m_memory);
        m_position += count;
        if (bytesRead)
            *bytesRead = static_cast<uint32_t>(count);
        return S_OK;
    }

    HRESULT Write(const void* buffer, uint32_t bytes, uint32_t* bytesWritten) override {
        if (bytesWritten)
            *bytesWritten = 0;
        if (buffer == nullptr && bytes > 0)
            return STG_E_INVALIDPOINTER;
        if (bytes == 0)
            return S_OK;
        uint64_t end = m_position + bytes;
        if (end > SIZE_MAX)
            return STG_E_MEDIUMFULL;
        if (end > GlobalSize(m_memory) && GlobalReAlloc(m_memory, end, GMEM_MOVEABLE) == 0)
            return STG_E_MEDIUMFULL;
        auto* data = static_cast<unsigned char*>(GlobalLock(m_memory));
        if (data == nullptr)
            return STG_E_MEDIUMFULL;
        std::memcpy(data + m_position, buffer, bytes);
        GlobalUnlock(m_memory);
        m_position = end;
        if (bytesWritten)
            *bytesWritten = bytes;
        return S_OK;
    }

    HRESULT Seek(int64_t move, uint32_t origin, uint64_t* newPosition) override {
        return seekPosition(m_position, GlobalSize(m_memory), move, origin, newPosition);
    }

    HRESULT SetSize(uint64_t size) override {
        if (size > SIZE_MAX || GlobalReAlloc(m_memory, size, GMEM_MOVEABLE) == 0)
            return STG_E_MEDIUMFULL;
        return S_OK;
    }

    HRESULT Stat(StreamStat* stat, uint32_t) override {
        if (stat == nullptr)
            return STG_E_INVALIDPOINTER;
        stat->size = GlobalSize(m_memory);
        return S_OK;
    }

private:
    ~HGlobalStream() override {
        if (m_deleteOnRelease)
            GlobalFree(m_memory);
    }

    HGLOBAL m_memory;
    bool m_deleteOnRelease;
    uint64_t m_position = 0;
};

// Shared read-only behaviour over a byte range.
class ReadOnlyStream : public StreamBase {
public:
    HRESULT Write(const void*, uint32_t, uint32_t* bytesWritten) override {
        if (bytesWritten)
            *bytesWritten = 0;
        return STG_E_ACCESSDENIED;
    }
    HRESULT SetSize(uint64_t) override { return STG_E_ACCESSDENIED; }
    HRESULT Seek(int64_t move, uint32_t origin, uint64_t* newPosition) override {
        return seekPosition(m_position, size(), move, origin, newPosition);
    }
    HRESULT Stat(StreamStat* stat, uint32_t) override {
        if (stat == nullptr)
            return STG_E_INVALIDPOINTER;
        stat->size = size();
        return S_OK;
    }

protected:
    virtual uint64_t size() const = 0;
    uint64_t m_position = 0;
};

class MemoryStream final : public ReadOnlyStream {
public:
    MemoryStream(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}
    explicit MemoryStream(std::vector<uint8_t> bytes)
        : m_owned(std::move(bytes)), m_data(m_owned.data()), m_size(m_owned.size()) {}

    HRESULT Read(void* buffer, uint32_t bytes, uint32_t* bytesRead) override {
        if (bytesRead)
            *bytesRead = 0;
        if (buffer == nullptr && bytes > 0)
            return STG_E_INVALIDPOINTER;
        if (m_position >= m_size || bytes == 0)
            return S_OK;
        size_t count = std::min<uint64_t>(bytes, m_size - m_position);
        std::memcpy(buffer, m_data + m_position, count);
        m_position += count;
        if (bytesRead)
            *bytesRead = static_cast<uint32_t>(count);
        return S_OK;
    }

private:
    uint64_t size() const override { return m_size; }

    std::vector<uint8_t> m_owned;
    const unsigned char* m_data;
    size_t m_size;
};

class FileStream final : public ReadOnlyStream {
public:
    FileStream(int fd, uint64_t size) : m_fd(fd), m_size(size) {}

    HRESULT Read(void* buffer, uint32_t bytes, uint32_t* bytesRead) override {
        if (bytesRead)
            *bytesRead = 0;
        if (buffer == nullptr && bytes > 0)
            return STG_E_INVALIDPOINTER;
        uint32_t done = 0;
        auto* out = static_cast<unsigned char*>(buffer);
        while (done < bytes) {
            ssize_t got =
                ::pread(m_fd, out + done, bytes - done, static_cast<off_t>(m_position + done));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                m_position += done;
                if (bytesRead)
                    *bytesRead = done;
                return STG_E_READFAULT;
            }
            if (got == 0)
                break;
            done += static_cast<uint32_t>(got);
        }
        m_position += done;
        if (bytesRead)
            *bytesRead = done;
        return S_OK;
    }

private:
    ~FileStream() override { ::close(m_fd); }
    uint64_t size() const override { return m_size; }

    int m_fd;
    uint64_t m_size;
};

} // namespace

HRESULT IStream::CopyTo(IStream* target, uint64_t bytes, uint64_t* bytesRead,
                        uint64_t* bytesWritten) {
    if (bytesRead)
        *bytesRead = 0;
    if (bytesWritten)
        *bytesWritten = 0;
    if (target == nullptr)
        return STG_E_INVALIDPOINTER;
    unsigned char chunk[64 * 1024];
    uint64_t totalRead = 0, totalWritten = 0;
    HRESULT result = S_OK;
    while (totalRead < bytes) {
        uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(sizeof chunk, bytes - totalRead));
        uint32_t got = 0;
        result = Read(chunk, want, &got);
        totalRead += got;
        if (got > 0) {
            uint32_t put = 0;
            HRESULT written = target->Write(chunk, got, &put);
            totalWritten += put;
            if (!succeeded(written)) {
                result = written;
                break;
            }
        }
        if (!succeeded(result) || got < want)
            break;
    }
    if (bytesRead)
        *bytesRead = totalRead;
    if (bytesWritten)
        *bytesWritten = totalWritten;
    return succeeded(result) ? S_OK : result;
}

HRESULT CreateStreamOnHGlobal(HGLOBAL memory, bool deleteOnRelease, IStream** stream) {
    if (stream == nullptr)
        return E_POINTER;
    *stream = nullptr;
    bool made = false;
    if (memory == 0) {
        memory = GlobalAlloc(GMEM_MOVEABLE, 0);
        if (memory == 0)
            return E_OUTOFMEMORY;
        made = true;
    } else if (!GlobalIsHandle(memory)) {
        return E_INVALIDARG;
    }
    auto* created = new (std::nothrow) HGlobalStream(memory, deleteOnRelease || made);
    if (created == nullptr) {
        if (made)
            GlobalFree(memory);
        return E_OUTOFMEMORY;
    }
    *stream = created;
    return S_OK;
}

HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* memory) {
    if (memory == nullptr)
        return E_INVALIDARG;
    *memory = 0;
    auto* hglobal = dynamic_cast<HGlobalStream*>(stream);
    if (hglobal == nullptr)
        return E_INVALIDARG;
    *memory = hglobal->memory();
    return S_OK;
}

HRESULT CreateStreamOnMemory(const void* data, size_t size, IStream** stream) {
    if (stream == nullptr)
        return E_POINTER;
    *stream = nullptr;
    if (data == nullptr && size > 0)
        return E_INVALIDARG;
    auto* created = new (std::nothrow) MemoryStream(static_cast<const unsigned char*>(data), size);
    if (created == nullptr)
        return E_OUTOFMEMORY;
    *stream = created;
    return S_OK;
}

HRESULT CreateStreamOnBytes(std::vector<uint8_t> bytes, IStream** stream) {
    if (stream == nullptr)
        return E_POINTER;
    *stream = nullptr;
    auto* created = new (std::nothrow) MemoryStream(std::move(bytes));
    if (created == nullptr)
        return E_OUTOFMEMORY;
    *stream = created;
    return S_OK;
}

HRESULT CreateStreamOnFile(const std::string& path, IStream** stream) {
    if (stream == nullptr)
        return E_POINTER;
    *stream = nullptr;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return E_FAIL;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return E_INVALIDARG;
    }
    auto* created = new (std::nothrow) FileStream(fd, static_cast<uint64_t>(info.st_size));
    if (created == nullptr) {
        ::close(fd);
        return E_OUTOFMEMORY;
    }
    *stream = created;
    return S_OK;
}

bool ReadStreamToEnd(IStream* stream, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (stream == nullptr)
        return false;
    try {
        StreamStat stat;
        uint64_t position = 0;
        if (succeeded(stream->Stat(&stat, 0)) &&
            succeeded(stream->Seek(0, STREAM_SEEK_CUR, &position)) && stat.size > position &&
            stat.size - position <= (uint64_t{1} << 31))
            bytes.reserve(static_cast<size_t>(stat.size - position));
        unsigned char chunk[64 * 1024];
        for (;;) {
            uint32_t got = 0;
            HRESULT result = stream->Read(chunk, sizeof chunk, &got);
            bytes.insert(bytes.end(), chunk, chunk + got);
            if (!succeeded(result))
                return false;
            if (got == 0)
                return true;
        }
    } catch (...) {
        return false;
    }
}

} // namespace win
