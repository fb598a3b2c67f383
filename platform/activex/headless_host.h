#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/activex/class_factory.h"
#include "platform/activex/dispatch.h"
#include "platform/activex/user_control.h"
#include "platform/win/clock.h"
#include "platform/win/ui_services.h"

namespace ax {

struct EventRecord {
    std::string name;
    DispId id = 0;
    std::vector<Variant> args; // values as the sink saw them
};

// Records every event; onEvent may change by-reference arguments.
class EventLog : public EventSink {
public:
    explicit EventLog(const TypeInfo* type = nullptr) : m_type(type) {}
    void invoke(DispId id, std::span<Variant> args) override;
    std::vector<std::string> names() const;
    std::vector<EventRecord> records;
    std::function<void(DispId, std::span<Variant>)> onEvent;

private:
    const TypeInfo* m_type;
};

// A site that records what the control tells its host.
class RecordingSite : public ControlSite {
public:
    void propertyChanged(std::string_view key) override { changedKeys.emplace_back(key); }
    bool eventsFrozen() const override { return frozen; }
    void invalidate() override { ++invalidations; }
    void reportError(const Error& error) override { errors.push_back(error.description()); }

    std::vector<std::string> changedKeys;
    std::vector<std::string> errors;
    int invalidations = 0;
    bool frozen = false;
};

// One control placed by the host.
struct HostedControl {
    ComPtr<Unknown> object;
    UserControl* control = nullptr;
    ComPtr<Dispatch> dispatch;
    std::unique_ptr<RecordingSite> site;
    std::shared_ptr<EventLog> events;
    HResult loadResult = S_OK;

    win::HWND hwnd() const { return control ? control->hWnd() : 0; }
    // Calls a member by name through dispatch.
    HResult call(const std::string& name, std::vector<Variant> args = {}, Variant* result = nullptr,
                 InvokeKind kind = InvokeKind::Method);
    Variant get(const std::string& name);
    HResult put(const std::string& name, const Variant& value);
};

// A host without a screen for the current thread: installs a virtual clock (unless told to
// keep the real one) and a recording message sink (messages()), creates controls
// through their class factory and runs their lifecycle, injects input through the window
// procedure chain, and snapshots the composited surface. Controls still placed when the
// host ends are destroyed first.
class HeadlessHost {
public:
    struct Options {
        bool virtualClock = true;  // false: timers run on the real clock
        bool echoMessages = false; // message boxes also go to stderr
    };
    HeadlessHost();
    explicit HeadlessHost(const Options& options);
    ~HeadlessHost();
    HeadlessHost(const HeadlessHost&) = delete;
    HeadlessHost& operator=(const HeadlessHost&) = delete;

    // Creates (Initialize), then InitProperties or ReadProperties(saved), then Show and
    // the first Resize at the given size. Null when the factory fails.
    HostedControl* create(ClassFactory& factory, int width, int height,
                          PropertyBag* saved = nullptr);
    // Terminate, window destroyed, references released.
    void destroy(HostedControl* control);

    win::VirtualClock& clock() { return m_clock; }
    bool usesVirtualClock() const { return m_options.virtualClock; }
    std::vector<win::MessageRecord> messages() const { return m_messages->messages(); }
    void clearMessages() { m_messages->clear(); }
    void advance(uint64_t ms);
    void pump();

    void mouseDown(HostedControl& c, int button, int shift, int x, int y);
    void mouseMove(HostedControl& c, int buttons, int shift, int x, int y);
    void mouseUp(HostedControl& c, int button, int shift, int x, int y);
    void click(HostedControl& c, int x, int y);
    void dblClick(HostedControl& c, int x, int y);
    // WM_KEYDOWN then WM_KEYUP to the focus window (the control when none has it);
    // shift: 1 shift, 2 ctrl, 4 alt.
    void key(HostedControl& c, int virtualKey, int shift = 0);
    // One half of a key press: WM_KEYDOWN or WM_KEYUP alone.
    void keyDown(HostedControl& c, int virtualKey, int shift = 0);
    void keyUp(HostedControl& c, int virtualKey, int shift = 0);
    void character(HostedControl& c, int ascii);
    void wheel(HostedControl& c, int delta);
    void dropFiles(HostedControl& c, const std::vector<std::string>& paths);
    bool focus(win::HWND hwnd);
    void resize(HostedControl& c, int width, int height);

    SurfacePtr snapshot(const HostedControl& c) const { return c.control->snapshot(); }
    // Writes a 32-bpp surface as an RGBA PNG.
    static bool writePng(const win::GdiSurface& surface, const std::string& path);

private:
    win::HWND keyTarget(const HostedControl& c) const;

    Options m_options;
    win::VirtualClock m_clock{1000};
    std::shared_ptr<win::RecordingMessageSink> m_messages;
    std::shared_ptr<win::MessageSink> m_previousSink;
    std::vector<std::unique_ptr<HostedControl>> m_controls;
};

} // namespace ax
