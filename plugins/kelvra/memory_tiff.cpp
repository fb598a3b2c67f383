#include "plugins/kelvra/memory_tiff.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace kelvra {
namespace {

tmsize_t memRead(thandle_t h, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(h);
    if (size <= 0 || file->pos >= file->data.size())
        return 0;
    uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(size), file->data.size() - file->pos);
    std::memcpy(buffer, file->data.data() + file->pos, n);
    file->pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t memWrite(thandle_t h, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(h);
    if (size <= 0)
        return 0;
    uint64_t end = file->pos + static_cast<uint64_t>(size);
    if (end > file->data.size())
        file->data.resize(end);
    std::memcpy(file->data.data() + file->pos, buffer, static_cast<size_t>(size));
    file->pos = end;
    return size;
}

toff_t memSeek(thandle_t h, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(h);
    int64_t base = whence == SEEK_CUR   ? static_cast<int64_t>(file->pos)
                   : whence == SEEK_END ? static_cast<int64_t>(file->data.size())
                                        : 0;
    int64_t target = base + static_cast<int64_t>(offset);
    if (target < 0)
        return static_cast<toff_t>(-1);
    file->pos = static_cast<uint64_t>(target);
    return file->pos;
}

int memClose(thandle_t) {
    return 0;
}

toff_t memSize(thandle_t h) {
    return static_cast<MemoryFile*>(h)->data.size();
}

int memMap(thandle_t, void**, toff_t*) {
    return 0;
}

void memUnmap(thandle_t, void*, toff_t) {}

} // namespace

TIFF* openMemory(MemoryFile& file, const char* mode) {
    file.pos = 0;
    return TIFFClientOpen("ccitt", mode, &file, memRead, memWrite, memSeek, memClose, memSize,
                          memMap, memUnmap);
}

bool libtiffKnowsTag(uint32_t tag) {
    // The answers never change in a process (extensions register at start-up), so they are
    // kept rather than opening a probe file for every tag of every save.
    static std::mutex mutex;
    static std::map<uint32_t, bool> known;
    std::lock_guard lock(mutex);
    auto it = known.find(tag);
    if (it != known.end())
        return it->second;
    MemoryFile file;
    TiffPtr probe(openMemory(file, "w"));
    bool answer = probe && TIFFFindField(probe.get(), tag, TIFF_ANY) != nullptr;
    known.emplace(tag, answer);
    return answer;
}

} // namespace kelvra
