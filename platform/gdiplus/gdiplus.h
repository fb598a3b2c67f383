#pragma once

// The GDI+ flat API of the layer: session, image objects, pixel access, frames, palettes
// and property items. Drawing, graphics and metafiles have their own headers.
//
// Conventions shared by every call:
// - Images are 32-bit handle values (`GpImage`; a `GpBitmap` is a `GpImage` that is a
//   bitmap). 0, a disposed or a forged handle answers InvalidParameter; nothing is
//   dereferenced.
// - Every call returns a `Status`; no exception leaves a call.
// - Calls that create objects answer GdiplusNotInitialized (18) while the layer is not
//   started (before the first GdiplusStartup or after the last GdiplusShutdown).
// - An object is used by one thread at a time; the session and the handle table are
//   shared by all threads.

#include "platform/gdiplus/types.h"

#include <cstddef>
#include <cstdint>

namespace gp {

using GpImage = uint32_t;
using GpBitmap = GpImage;
using REAL = float;
using BOOL = int32_t;
using UINT = uint32_t;
using PROPID = uint32_t;

// ---------------------------------------------------------------------------------------
// Session

struct GdiplusStartupInput {
    UINT GdiplusVersion = 1;            // 1 (or 2); anything else: 17
    void* DebugEventCallback = nullptr; // never called
    BOOL SuppressBackgroundThread = 0;  // needs an output record to hand back hooks
    BOOL SuppressExternalCodecs = 0;    // accepted, no effect
};

using NotificationHookProc = Status (*)(uintptr_t* token);
using NotificationUnhookProc = void (*)(uintptr_t token);

struct GdiplusStartupOutput {
    NotificationHookProc NotificationHook = nullptr;
    NotificationUnhookProc NotificationUnhook = nullptr;
};

// Takes one reference on the process-wide session and hands back a non-zero token that
// names it. Null token or input: 2; an unknown version: 17; SuppressBackgroundThread
// without an output record: 2. The output record is optional.
Status GdiplusStartup(uintptr_t* token, const GdiplusStartupInput* input,
                      GdiplusStartupOutput* output);

// Drops the reference named by the token. An unknown or repeated token is ignored.
// When the last reference goes the layer is no longer started; objects already made stay
// valid until they are disposed.
void GdiplusShutdown(uintptr_t token);

// malloc and free. A block from GdipAlloc may serve as a bitmap's pixel memory
// (GdipCreateBitmapFromScan0); the bitmap never frees it, GdipFree does. Null is
// accepted by GdipFree.
void* GdipAlloc(size_t size);
void GdipFree(void* ptr);

// ---------------------------------------------------------------------------------------
// Creation and disposal

// Makes a bitmap of width x height pixels in `format` (any format of types.h).
// - scan0 null: the bitmap owns a zero-filled store (32bppARGB: transparent black) with
//   rows padded to 4 bytes; `stride` is ignored.
// - scan0 given: the caller's memory is used in place (never copied, never freed); rows
//   are `stride` bytes apart, a negative stride for bottom-up memory, |stride| at least
//   the row bytes; stride 0 means the 4-byte aligned row size.
// Indexed formats start with the default palette of their depth. DPI 96, raw format
// MemoryBMP. Not started: 18. Null output, width or height below 1, an unknown format
// or a too small stride: 2. A store that cannot be allocated: 3.
Status GdipCreateBitmapFromScan0(int32_t width, int32_t height, int32_t stride, PixelFormat format,
                                 uint8_t* scan0, GpBitmap* bitmap);

// Destroys the image and its owned store (never a caller's memory). Unknown handle: 2.
Status GdipDisposeImage(GpImage image);

} // namespace gp
