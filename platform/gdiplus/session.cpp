#include "platform/gdiplus/session.h"

#include "platform/gdiplus/gdiplus.h"
#include "platform/win/module_version.h"

#include <array>
#include <cstdlib>
#include <mutex>
#include <set>

namespace gp {

namespace {

constexpr const char* kDefaultVersionText = "6.1.7601.0";

struct Fault {
    int count = 0;
    Status status = Ok;
};

// One session per process. Tokens are never reused while the process runs, so a token
// shut down twice, or one never handed out, cannot drop somebody else's reference.
struct Session {
    std::mutex mutex;
    std::set<uintptr_t> tokens;
    uintptr_t nextToken = 0;
    int externalReferences = 0;
    std::string versionOverride;
    std::array<Fault, 4> faults{};
};

Session& session() {
    static Session instance;
    return instance;
}

Status hookNotification(uintptr_t* token) {
    if (!token)
        return InvalidParameter;
    *token = 1;
    return Ok;
}

void unhookNotification(uintptr_t) {}

// The platform's GetFileVersion("gdiplus.dll") answers our version text, including a
// test's override, because it asks at every lookup.
void registerModuleVersion() {
    static std::once_flag once;
    std::call_once(
        once, [] { win::setModuleVersionProvider("gdiplus.dll", [] { return versionText(); }); });
}

// Registered when the program starts, so the version reads right before any startup.
const bool g_versionRegistered = (registerModuleVersion(), true);

} // namespace

bool isStarted() {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    return !s.tokens.empty() || s.externalReferences > 0;
}

std::string versionText() {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    return s.versionOverride.empty() ? std::string(kDefaultVersionText) : s.versionOverride;
}

Status takeFault(FaultPoint point) {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    Fault& fault = s.faults[static_cast<size_t>(point)];
    if (fault.count <= 0)
        return Ok;
    --fault.count;
    return fault.status;
}

Status GdiplusStartup(uintptr_t* token, const GdiplusStartupInput* input,
                      GdiplusStartupOutput* output) {
    try {
        registerModuleVersion();
        if (!token || !input)
            return InvalidParameter;
        if (input->GdiplusVersion != 1 && input->GdiplusVersion != 2)
            return UnsupportedGdiplusVersion;
        if (input->SuppressBackgroundThread && !output)
            return InvalidParameter;
        Session& s = session();
        std::lock_guard lock(s.mutex);
        uintptr_t value = ++s.nextToken;
        s.tokens.insert(value);
        *token = value;
        if (output) {
            output->NotificationHook = &hookNotification;
            output->NotificationUnhook = &unhookNotification;
        }
        return Ok;
    } catch (...) {
        return OutOfMemory;
    }
}

void GdiplusShutdown(uintptr_t token) {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    s.tokens.erase(token);
}

void* GdipAlloc(size_t size) {
    return std::malloc(size);
}

void GdipFree(void* ptr) {
    std::free(ptr);
}

namespace test {

void StartExternally() {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    ++s.externalReferences;
}

void StopExternally() {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    if (s.externalReferences > 0)
        --s.externalReferences;
}

void SetVersionText(const std::string& text) {
    registerModuleVersion();
    Session& s = session();
    std::lock_guard lock(s.mutex);
    s.versionOverride = text;
}

void FailNext(FaultPoint point, int count, Status status) {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    s.faults[static_cast<size_t>(point)] = Fault{count < 0 ? 0 : count, status};
}

void ResetSession() {
    Session& s = session();
    std::lock_guard lock(s.mutex);
    s.tokens.clear();
    s.externalReferences = 0;
    s.versionOverride.clear();
    s.faults = {};
}

} // namespace test

} // namespace gp
