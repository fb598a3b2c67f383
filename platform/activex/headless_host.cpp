#include "platform/activex/headless_host.h"

#include <png.h>

#include <cstdio>

#include "platform/win/message_loop.h"
#include "platform/win/window.h"

namespace ax {

void EventLog::invoke(DispId id, std::span<Variant> args) {
    if (onEvent)
        onEvent(id, args);
    EventRecord r;
    r.id = id;
    const EventInfo* info = m_type ? m_type->event(id) : nullptr;
    r.name = info ? info->name : std::to_string(id);
    for (const auto& a : args)
        r.args.push_back(a.deref());
    records.push_back(std::move(r));
}

std::vector<std::string> EventLog::names() const {
    std::vector<std::string> out;
    for (const auto& r : records)
        out.push_back(r.name);
    return out;
}

HResult HostedControl::call(const std::string& name, std::vector<Variant> args, Variant* result,
                            InvokeKind kind) {
    DispId id = 0;
    HResult r = dispatch->GetIDsOfNames(name, id);
    if (Failed(r))
        return r;
    return dispatch->Invoke(id, kind, args, result);
}

Variant HostedControl::get(const std::string& name) {
    Variant v;
    call(name, {}, &v, InvokeKind::PropGet);
    return v;
}

HResult HostedControl::put(const std::string& name, const Variant& value) {
    return call(name, {value}, nullptr, InvokeKind::PropPut);
}

namespace {

// Records every message and, when asked, also shows it on stderr.
class HostMessageSink : public win::RecordingMessageSink {
public:
    explicit HostMessageSink(bool echo) : m_echo(echo) {}
    int show(const win::MessageRecord& message) override {
        if (m_echo)
            m_stderr.show(message);
        return win::RecordingMessageSink::show(message);
    }

private:
    bool m_echo;
    win::StderrMessageSink m_stderr;
};

} // namespace

HeadlessHost::HeadlessHost() : HeadlessHost(Options{}) {}

HeadlessHost::HeadlessHost(const Options& options) : m_options(options) {
    if (m_options.virtualClock)
        win::SetThreadClock(&m_clock);
    m_messages = std::make_shared<HostMessageSink>(m_options.echoMessages);
    m_previousSink = win::setMessageSink(m_messages);
}

HeadlessHost::~HeadlessHost() {
    while (!m_controls.empty())
        destroy(m_controls.back().get());
    if (m_options.virtualClock)
        win::SetThreadClock(nullptr);
    win::setMessageSink(m_previousSink);
}

HostedControl* HeadlessHost::create(ClassFactory& factory, int width, int height,
                                    PropertyBag* saved) {
    void* out = nullptr;
    if (Failed(factory.CreateInstance(nullptr, IID_IUnknown, &out)))
        return nullptr;
    auto hosted = std::make_unique<HostedControl>();
    hosted->object = ComPtr<Unknown>::adopt(static_cast<Unknown*>(out));
    hosted->dispatch = queryInterface<Dispatch>(hosted->object.get(), IID_IDispatch);
    void* uc = nullptr;
    if (Failed(hosted->object->QueryInterface(IID_AxUserControl, &uc)) || !hosted->dispatch)
        return nullptr;
    // The facet shares the object's lifetime; drop the extra reference at once.
    hosted->control = static_cast<UserControl*>(uc);
    hosted->object->Release();
    hosted->site = std::make_unique<RecordingSite>();
    hosted->control->setSite(hosted->site.get());
    hosted->events = std::make_shared<EventLog>(&hosted->dispatch->typeInfo());
    hosted->control->connectionPoint().advise(hosted->events);
    hosted->loadResult = saved ? hosted->control->load(*saved) : hosted->control->initNew();
    hosted->control->move({0, 0, width, height});
    hosted->control->show();
    m_controls.push_back(std::move(hosted));
    return m_controls.back().get();
}

void HeadlessHost::destroy(HostedControl* control) {
    for (auto it = m_controls.begin(); it != m_controls.end(); ++it) {
        if (it->get() != control)
            continue;
        control->control->close();
        control->control->setSite(nullptr);
        control->dispatch.reset();
        control->object.reset();
        m_controls.erase(it);
        return;
    }
}

void HeadlessHost::advance(uint64_t ms) {
    win::RunFor(ms);
}
void HeadlessHost::pump() {
    win::DoEvents();
}

namespace {

uint32_t mouseKeys(int buttons, int shift) {
    uint32_t k = 0;
    if (buttons & 1)
        k |= win::MK_LBUTTON;
    if (buttons & 2)
        k |= win::MK_RBUTTON;
    if (buttons & 4)
        k |= win::MK_MBUTTON;
    if (shift & 1)
        k |= win::MK_SHIFT;
    if (shift & 2)
        k |= win::MK_CONTROL;
    return k;
}

void setShift(int shift) {
    win::SetKeyState(win::VK_SHIFT, shift & 1);
    win::SetKeyState(win::VK_CONTROL, shift & 2);
    win::SetKeyState(win::VK_MENU, shift & 4);
}

uint32_t buttonMessage(int button, uint32_t left, uint32_t right, uint32_t middle) {
    return button == 2 ? right : button == 4 ? middle : left;
}

} // namespace

void HeadlessHost::mouseDown(HostedControl& c, int button, int shift, int x, int y) {
    setShift(shift);
    win::PostInput(
        c.hwnd(),
        buttonMessage(button, win::WM_LBUTTONDOWN, win::WM_RBUTTONDOWN, win::WM_MBUTTONDOWN),
        mouseKeys(button, shift), win::MakePointLParam(x, y));
    pump();
}

void HeadlessHost::mouseMove(HostedControl& c, int buttons, int shift, int x, int y) {
    setShift(shift);
    win::PostInput(c.hwnd(), win::WM_MOUSEMOVE, mouseKeys(buttons, shift),
                   win::MakePointLParam(x, y));
    pump();
}

void HeadlessHost::mouseUp(HostedControl& c, int button, int shift, int x, int y) {
    setShift(shift);
    win::PostInput(c.hwnd(),
                   buttonMessage(button, win::WM_LBUTTONUP, win::WM_RBUTTONUP, win::WM_MBUTTONUP),
                   mouseKeys(0, shift), win::MakePointLParam(x, y));
    pump();
    setShift(0);
}

void HeadlessHost::click(HostedControl& c, int x, int y) {
    mouseDown(c, 1, 0, x, y);
    mouseUp(c, 1, 0, x, y);
}

void HeadlessHost::dblClick(HostedControl& c, int x, int y) {
    click(c, x, y);
    win::PostInput(c.hwnd(), win::WM_LBUTTONDBLCLK, win::MK_LBUTTON, win::MakePointLParam(x, y));
    pump();
    mouseUp(c, 1, 0, x, y);
}

win::HWND HeadlessHost::keyTarget(const HostedControl& c) const {
    win::HWND focus = win::GetFocus();
    return focus != 0 ? focus : c.hwnd();
}

void HeadlessHost::key(HostedControl& c, int virtualKey, int shift) {
    setShift(shift);
    win::HWND target = keyTarget(c);
    win::PostInput(target, win::WM_KEYDOWN, static_cast<uint32_t>(virtualKey), 1);
    win::PostInput(target, win::WM_KEYUP, static_cast<uint32_t>(virtualKey), 1);
    pump();
    setShift(0);
}

void HeadlessHost::keyDown(HostedControl& c, int virtualKey, int shift) {
    setShift(shift);
    win::PostInput(keyTarget(c), win::WM_KEYDOWN, static_cast<uint32_t>(virtualKey), 1);
    pump();
}

void HeadlessHost::keyUp(HostedControl& c, int virtualKey, int shift) {
    setShift(shift);
    win::PostInput(keyTarget(c), win::WM_KEYUP, static_cast<uint32_t>(virtualKey), 1);
    pump();
    setShift(0);
}

void HeadlessHost::character(HostedControl& c, int ascii) {
    win::PostInput(keyTarget(c), win::WM_CHAR, static_cast<uint32_t>(ascii), 1);
    pump();
}

void HeadlessHost::wheel(HostedControl& c, int delta) {
    win::PostInput(keyTarget(c), win::WM_MOUSEWHEEL,
                   win::MakeWheelWParam(static_cast<int16_t>(delta), 0), 0);
    pump();
}

void HeadlessHost::dropFiles(HostedControl& c, const std::vector<std::string>& paths) {
    DropData data;
    data.files = paths;
    c.control->drop(data, 1, 1, 0, 0, 0);
    pump();
}

bool HeadlessHost::focus(win::HWND hwnd) {
    win::SetFocus(hwnd);
    return win::GetFocus() == hwnd;
}

void HeadlessHost::resize(HostedControl& c, int width, int height) {
    win::WindowRect r;
    win::GetWindowRect(c.hwnd(), r);
    c.control->move({r.left, r.top, width, height});
}

bool HeadlessHost::writePng(const win::GdiSurface& surface, const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (png && info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(surface.width()),
                     static_cast<png_uint_32>(surface.height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<uint8_t> row(static_cast<size_t>(surface.width()) * 4);
        for (int y = 0; y < surface.height(); ++y) {
            for (int x = 0; x < surface.width(); ++x) {
                uint32_t p = surface.pixel(x, y);
                uint32_t a = surface.bpp() == 32 ? pixelAt(surface, x, y) >> 24 : 255;
                row[size_t(x) * 4 + 0] = static_cast<uint8_t>(p >> 16);
                row[size_t(x) * 4 + 1] = static_cast<uint8_t>(p >> 8);
                row[size_t(x) * 4 + 2] = static_cast<uint8_t>(p);
                row[size_t(x) * 4 + 3] = static_cast<uint8_t>(a);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, info);
        ok = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    std::fclose(file);
    return ok;
}

} // namespace ax
