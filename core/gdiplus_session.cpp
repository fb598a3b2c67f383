#include "core/image_table.h"

#include "core/encoders.h"
#include "core/filter_access.h"
#include "core/plugin.h"
#include "platform/win/module_version.h"
#include "platform/win/ui_services.h"
#include "platform/win/vb_number.h"

#include <atomic>
#include <exception>
#include <new>

namespace tavimo {

namespace {

struct SessionState {
    uintptr_t token = 0; // 0 when this library did not start GDI+ on this thread
    bool started = false;
    int32_t startCount = 0;
    std::string gdiplusVersion;
    std::string pluginVersion;
};

thread_local SessionState t_session;

// GDI+ is one per process, but our session count is per thread. Threads of this library
// each hold a reference of their own; this counts them, so that "GDI+ already usable" can
// tell a host that runs GDI+ itself (no reference, never shut down) from another thread of
// ours (take a reference, so that thread's last stop cannot shut GDI+ down under us).
std::atomic<int32_t> g_libraryReferences{0};

void reportError(const char* what, int32_t number, const std::string& description) {
    // Shown whatever the control's SilentMode says; Str puts a blank before the number.
    win::MsgBox(std::string(what) + win::Str(number) + ". Error: " + description);
}

} // namespace

bool GdiPlusNotRunning() {
    gp::GpBitmap probe = 0;
    gp::Status status =
        gp::GdipCreateBitmapFromScan0(1, 1, 0, gp::PixelFormat24bppRGB, nullptr, &probe);
    if (status != gp::Ok)
        return true;
    gp::GdipDisposeImage(probe);
    return false;
}

bool StartGdiPlus() {
    SessionState& s = t_session;
    try {
        ++s.startCount;
        if (!s.started) {
            s.started = true;
            // The filter engine reaches this thread's images through the table.
            InstallCoreFilterImageAccess();
            gp::GdiplusStartupInput input; // version 1, no callback, nothing suppressed
            int32_t result = gp::Ok;
            if (GdiPlusNotRunning() || g_libraryReferences.load() > 0) {
                uintptr_t token = 0;
                result = gp::GdiplusStartup(&token, &input, nullptr);
                if (result == gp::Ok) {
                    s.token = token;
                    ++g_libraryReferences;
                }
            }
            if (result != gp::Ok) {
                s.started = false;
            } else {
                BuildEncoderList();
                s.gdiplusVersion = win::GetFileVersion("gdiplus.dll");
            }
        }
        if (!PluginAvailable()) {
            registerPluginVersion();
            s.pluginVersion = win::GetFileVersion("Kelvra.dll");
        }
    } catch (const win::VbError& e) {
        s.started = false;
        reportError("Error starting GDI+. Err no: ", e.number(), e.description());
    } catch (const std::bad_alloc&) {
        s.started = false;
        reportError("Error starting GDI+. Err no: ", win::kVbOutOfMemory,
                    win::vbErrorDescription(win::kVbOutOfMemory));
    } catch (const std::exception& e) {
        s.started = false;
        reportError("Error starting GDI+. Err no: ", win::kVbInvalidCall, e.what());
    }
    return s.started;
}

void StopGdiPlus() {
    SessionState& s = t_session;
    try {
        int32_t before = s.startCount--;
        if (s.started && before == 1) {
            s.started = false;
            ReleaseAllImages();
            if (s.token != 0) {
                gp::GdiplusShutdown(s.token);
                --g_libraryReferences;
            }
            s.token = 0;
        }
    } catch (const win::VbError& e) {
        s.started = false;
        reportError("Error shutting down GDI+. Err no: ", e.number(), e.description());
    } catch (const std::exception& e) {
        s.started = false;
        reportError("Error shutting down GDI+. Err no: ", win::kVbInvalidCall, e.what());
    }
}

const std::string& GdiplusVersionText() { return t_session.gdiplusVersion; }

namespace test {

void ResetSessionState() {
    if (t_session.token != 0) {
        gp::GdiplusShutdown(t_session.token);
        --g_libraryReferences;
    }
    t_session = SessionState{};
    ResetEncoderList();
}

} // namespace test
const std::string& PluginVersionText() { return t_session.pluginVersion; }

} // namespace tavimo
