#pragma once

#include <cstddef>
#include <cstdint>

namespace win {

// A global memory block is named by a 32-bit handle from a process-wide handle table
// (kind GlobalMemory), so a stale or forged value is refused instead of dereferenced.
using HGLOBAL = uint32_t;

// Allocation flags, with their usual values. Every block is zero-filled whatever the flags
// say (fresh memory is never handed out uninitialised), and no block ever moves while it is
// locked, so GMEM_FIXED and GMEM_MOVEABLE behave alike: both give a handle that must be
// locked to get the address.
inline constexpr uint32_t GMEM_FIXED = 0x0000;
inline constexpr uint32_t GMEM_MOVEABLE = 0x0002;
inline constexpr uint32_t GMEM_ZEROINIT = 0x0040;
inline constexpr uint32_t GPTR = GMEM_FIXED | GMEM_ZEROINIT;
inline constexpr uint32_t GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// A new block of exactly `bytes` bytes (0 is allowed: such a block has no address until it
// is resized). Returns 0 when the memory cannot be had. Thread-safe.
HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes);

// The block's address, and one more lock on it. The address stays the same until the
// block is freed or resized while unlocked. A zero-size block gives null.
// A value that is not a live handle is returned as is: callers hand over plain addresses
// (buffers from GdipAlloc) where a handle may stand, and "a fixed block yields its own
// address". So 0 gives null. A value in the range of global memory handles that names no
// live block (a freed or forged handle) gives null rather than a wild address; ordinary
// heap addresses on Linux never fall in that range (0x01000000..0x01FFFFFF).
void* GlobalLock(uintptr_t handleOrAddress);

// Drops one lock. Returns true while the block is still locked, false when this was the
// last lock, when it was not locked, or when the value is not a handle.
bool GlobalUnlock(uintptr_t handleOrAddress);

// Frees the block, locked or not. Returns 0 on success, and the value itself when it is
// not a live handle (0 included).
HGLOBAL GlobalFree(HGLOBAL handle);

// The block's exact size in bytes as allocated or last resized; 0 for a value that is not
// a live handle.
size_t GlobalSize(HGLOBAL handle);

// Current lock count of the block (0 for values that are not handles).
uint32_t GlobalLockCount(HGLOBAL handle);

// Resizes the block, keeping its contents; bytes added are zero. The handle stays the same.
// A locked block keeps its address: it may shrink, and may grow only within the room it
// already has; otherwise the call fails. Returns the handle, or 0 on failure (unknown
// handle, no memory, locked block that would have to move). Growth reserves room
// geometrically so that a stream writing piece by piece is not quadratic.
HGLOBAL GlobalReAlloc(HGLOBAL handle, size_t bytes, uint32_t flags);

// True when the value names a live block.
bool GlobalIsHandle(uintptr_t value);

// Number of live blocks, for leak checks in tests.
size_t GlobalBlockCount();

} // namespace win
