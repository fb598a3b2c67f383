#include "platform/win/global_memory.h"

#include "platform/win/handles.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

namespace win {
namespace {

struct Block {
    unsigned char* data = nullptr;
    size_t size = 0;
    size_t capacity = 0;
    uint32_t locks = 0;

    Block() = default;
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    ~Block() { std::free(data); }
};

// The table has its own lock for the map; this one keeps lock counts and resizes of one
// block consistent when two threads touch it.
std::mutex& blockMutex() {
    static std::mutex mutex;
    return mutex;
}

HandleTable<Block>& blocks() {
    static HandleTable<Block> table(HandleKind::GlobalMemory);
    return table;
}

bool inHandleRange(uintptr_t value) {
    return value != 0 && value <= std::numeric_limits<uint32_t>::max() &&
           HandleTable<Block>::kindOf(static_cast<uint32_t>(value)) == HandleKind::GlobalMemory &&
           (value & 0x80000000u) == 0;
}

Block* findBlock(uintptr_t value) {
    if (!inHandleRange(value))
        return nullptr;
    return blocks().get(static_cast<uint32_t>(value));
}

} // namespace

HGLOBAL GlobalAlloc(uint32_t /*flags*/, size_t bytes) {
    try {
        auto block = std::make_unique<Block>();
        if (bytes > 0) {
            block->data = static_cast<unsigned char*>(std::calloc(bytes, 1));
            if (block->data == nullptr)
                return 0;
        }
        block->size = bytes;
        block->capacity = bytes;
        return blocks().add(std::move(block));
    } catch (...) {
        return 0;
    }
}

void* GlobalLock(uintptr_t handleOrAddress) {
    std::lock_guard lock(blockMutex());
    Block* block = findBlock(handleOrAddress);
    if (block == nullptr)
        return inHandleRange(handleOrAddress) ? nullptr : reinterpret_cast<void*>(handleOrAddress);
    if (block->size == 0)
        return nullptr;
    ++block->locks;
    return block->data;
}

bool GlobalUnlock(uintptr_t handleOrAddress) {
    std::lock_guard lock(blockMutex());
    Block* block = findBlock(handleOrAddress);
    if (block == nullptr || block->locks == 0)
        return false;
    --block->locks;
    return block->locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    std::lock_guard lock(blockMutex());
    if (findBlock(handle) == nullptr)
        return handle;
    blocks().remove(handle);
    return 0;
}

size_t GlobalSize(HGLOBAL handle) {
    std::lock_guard lock(blockMutex());
    Block* block = findBlock(handle);
    return block == nullptr ? 0 : block->size;
}

uint32_t GlobalLockCount(HGLOBAL handle) {
    std::lock_guard lock(blockMutex());
    Block* block = findBlock(handle);
    return block == nullptr ? 0 : block->locks;
}

HGLOBAL GlobalReAlloc(HGLOBAL handle, size_t bytes, uint32_t /*flags*/) {
    std::lock_guard lock(blockMutex());
    Block* block = findBlock(handle);
    if (block == nullptr)
        return 0;
    if (bytes > block->capacity) {
        if (block->locks > 0)
            return 0;
        size_t room = block->capacity + block->capacity / 2;
        if (room < block->capacity || room < bytes)
            room = bytes;
        auto* grown = static_cast<unsigned char*>(std::realloc(block->data, room));
        if (grown == nullptr) {
            if (room == bytes)
                return 0;
            room = bytes;
            grown = static_cast<unsigned char*>(std::realloc(block->data, room));
            if (grown == nullptr)
                return 0;
        }
        block->data = grown;
        block->capacity = room;
    }
    if (bytes > block->size)
        std::memset(block->data + block->size, 0, bytes - block->size);
    block->size = bytes;
    return handle;
}

bool GlobalIsHandle(uintptr_t value) {
    std::lock_guard lock(blockMutex());
    return findBlock(value) != nullptr;
}

size_t GlobalBlockCount() {
    return blocks().size();
}

} // namespace win
