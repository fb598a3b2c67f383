#pragma once

// The process-wide GDI+ session: whether the layer is started, the version text it
// reports, and the fault seam that lets tests make the next locks, encodes or draws fail.
// The state is shared by every thread and guarded by one mutex.

#include "platform/gdiplus/types.h"

#include <string>

namespace gp {

// True while at least one GdiplusStartup reference (or the host's simulated one) is held.
// Object-creating calls answer GdiplusNotInitialized while this is false.
bool isStarted();

// The file version text the layer reports for itself ("6.1.7601.0" unless a test
// changed it). The platform's GetFileVersion("gdiplus.dll") answers the same text.
std::string versionText();

// Operations that tests can make fail on purpose.
enum class FaultPoint : int {
    Lock = 0,   // GdipBitmapLockBits
    Encode = 1, // the encoders behind GdipSaveImageTo...
    Draw = 2,   // the drawing calls of the graphics layer
    Decode = 3, // the decoders behind the loading calls
};

// Consumes one armed fault for the point: returns its status, or Ok when none is armed.
// Every implementation of a fault point calls this once per operation, first.
Status takeFault(FaultPoint point);

namespace test {

// Simulates a host process that runs GDI+ already: the layer counts as started without
// any token. StopExternally drops that simulated reference again.
void StartExternally();
void StopExternally();

// Replaces the version text; an empty text restores the default.
void SetVersionText(const std::string& text);

// Arms the fault point: its next `count` operations return `status`. A count of 0 disarms.
void FailNext(FaultPoint point, int count, Status status);

// Drops every reference, the simulated host, armed faults and the version override, so
// that each test starts from a layer that is not started.
void ResetSession();

} // namespace test

} // namespace gp
