#include <gtest/gtest.h>

#include "platform/activex/class_factory.h"
#include "platform/activex/dispatch.h"
#include "platform/activex/user_control.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_objects.h"
#include "platform/win/message_loop.h"
#include "platform/win/timer.h"
#include "tests/support/activex_host.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace ax;

namespace {

// A small interface exercising the dispatch rules.
class Calc {
public:
    int32_t Add(int32_t a, int32_t b) { return a + b; }
    double Scale(double v, float by) { return v * by; }
    void Area(int32_t& left, int32_t& top, float& mm) {
        left = 10;
        top = 20;
        mm = 2.5f;
    }
    std::string Echo(const std::string& s) { return s; }
    int32_t Count(std::vector<uint8_t>& bytes) {
        bytes.push_back(9);
        return static_cast<int32_t>(bytes.size());
    }
    int32_t Fail() { throw Error(E_FAIL, 5, "boom"); }
    bool get_Flag() { return m_flag; }
    void put_Flag(bool v) { m_flag = v; }
    int32_t get_Handle() { return 77; }
    bool m_flag = false;
};

const DispatchTable<Calc>& table() {
    static DispatchTable<Calc> t = [] {
        DispatchTable<Calc> d("_Calc");
        d.method("Add", &Calc::Add, "a, b");
        d.method("Scale", &Calc::Scale, "v, [by=1.5]");
        d.method("Area", &Calc::Area, "left, top, mm");
        d.method("Echo", &Calc::Echo, "s=\"\"");
        d.method("Count", &Calc::Count, "bytes");
        d.method("Fail", &Calc::Fail);
        d.property("Flag", &Calc::get_Flag, &Calc::put_Flag);
        d.property<int32_t, int32_t>("hWnd", &Calc::get_Handle, nullptr);
        return d;
    }();
    return t;
}

HResult call(Calc& c, const char* name, std::vector<Variant> args, Variant* result,
             InvokeKind kind = InvokeKind::Method) {
    DispId id = 0;
    HResult r = table().getIDsOfNames(name, id);
    if (Failed(r))
        return r;
    ExcepInfo e;
    uint32_t argErr = 0;
    return table().invoke(c, id, kind, args, result, &e, &argErr);
}

} // namespace

TEST(DispatchTest, NamesIgnoreCaseAndArgumentsConvert) {
    Calc c;
    Variant r;
    EXPECT_EQ(call(c, "ADD", {Variant("2"), Variant(3.5)}, &r), S_OK);
    EXPECT_EQ(r.toLong(), 6); // 3.5 rounds to 4
    EXPECT_EQ(call(c, "scale", {Variant(2.0)}, &r), S_OK);
    EXPECT_DOUBLE_EQ(r.toDouble(), 3.0); // optional default
    EXPECT_EQ(call(c, "Scale", {Variant(2.0), Variant::missing()}, &r), S_OK);
    EXPECT_DOUBLE_EQ(r.toDouble(), 3.0);
    EXPECT_EQ(call(c, "Echo", {}, &r), S_OK);
    EXPECT_EQ(r.toString(), "");
    EXPECT_EQ(call(c, "Add", {Variant(1)}, &r), DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(call(c, "Add", {Variant(1), Variant(2), Variant(3)}, &r), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(c, "Add", {Variant("x"), Variant(2)}, &r), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call(c, "Add", {Variant(3e9), Variant(2)}, &r), DISP_E_OVERFLOW);
    EXPECT_EQ(call(c, "Nope", {}, &r), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(call(c, "Fail", {}, &r), DISP_E_EXCEPTION);
}

TEST(DispatchTest, ByRefOutputsAreWrittenBackInTheCallersType) {
    Calc c;
    Variant left(int16_t{0}), top, mm(0.0);
    Variant byValue(int32_t{5});
    EXPECT_EQ(call(c, "Area", {Variant::byRef(left), byValue, Variant::byRef(mm)}, nullptr), S_OK);
    EXPECT_EQ(left.type(), VarType::Integer);
    EXPECT_EQ(left.toLong(), 10);
    EXPECT_EQ(byValue.toLong(), 5); // passed by value: output dropped
    EXPECT_EQ(mm.type(), VarType::Double);
    EXPECT_DOUBLE_EQ(mm.toDouble(), 2.5);
    Variant bytes = Variant::byteArray({1, 2});
    Variant r;
    EXPECT_EQ(call(c, "Count", {Variant::byRef(bytes)}, &r), S_OK);
    EXPECT_EQ(r.toLong(), 3);
    EXPECT_EQ(bytes.toArray()->bytes.size(), 3u);
}

TEST(DispatchTest, PropertiesGetPutAndReadOnly) {
    Calc c;
    Variant r;
    EXPECT_EQ(call(c, "Flag", {Variant(int32_t{-1})}, nullptr, InvokeKind::PropPut), S_OK);
    EXPECT_TRUE(c.m_flag);
    EXPECT_EQ(call(c, "flag", {}, &r, InvokeKind::PropGet), S_OK);
    EXPECT_TRUE(r.toBool());
    EXPECT_EQ(call(c, "Flag", {Variant("x")}, nullptr, InvokeKind::PropPut), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call(c, "hWnd", {Variant(1)}, nullptr, InvokeKind::PropPut), DISP_E_MEMBERNOTFOUND);
    const TypeInfo& t = table().typeInfo();
    EXPECT_EQ(t.methodCount(), 6u);
    EXPECT_EQ(t.propertyCount(), 2u);
    EXPECT_TRUE(t.member("Scale")->params[1].optional);
    EXPECT_EQ(t.member("Scale")->params[1].type, VarType::Single);
    EXPECT_TRUE(t.member("Area")->params[0].byRef);
    EXPECT_TRUE(t.member("hwnd")->readOnly);
}

TEST(EventsTest, SinksRunInAdviseOrderAndByRefArgumentsComeBack) {
    struct Sink : EventSink {
        std::vector<int>* order;
        int tag;
        void invoke(DispId, std::span<Variant> args) override {
            order->push_back(tag);
            args[0].assign(Variant(static_cast<int16_t>(args[0].toInteger() * 10 + tag)));
        }
    };
    std::vector<int> order;
    ConnectionPoint cp;
    auto a = std::make_shared<Sink>();
    a->order = &order;
    a->tag = 1;
    auto b = std::make_shared<Sink>();
    b->order = &order;
    b->tag = 2;
    uint32_t ca = cp.advise(a);
    cp.advise(b);
    int16_t key = 5;
    Variant arg(key);
    Variant args[] = {Variant::byRef(arg)};
    cp.raise(11, args);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_EQ(arg.toInteger(), 512);
    EXPECT_TRUE(cp.unadvise(ca));
    EXPECT_FALSE(cp.unadvise(ca));
    EXPECT_EQ(cp.count(), 1u);
}

namespace {

class TestControl : public Unknown, public UserControl {
public:
    TestControl() : UserControl("TestControl", 0) {
        bar = &addScrollBar("HScroll", ScrollBar::Orientation::Horizontal);
        shape = &addShape("shRect");
        box = &addFocusBox("shCorner");
        timer = &addTimer("TmQual", 100);
        bar->onChange = [this] { log.push_back("change" + std::to_string(bar->Value())); };
        bar->onKeyDown = [this](int16_t& k, int16_t) {
            log.push_back("barkey" + std::to_string(bar->Value()));
            (void)k;
        };
        timer->onTimer = [this] { log.push_back("tick"); };
    }
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (out && iid == IID_AxUserControl) {
            AddRef();
            *out = static_cast<UserControl*>(this);
            return S_OK;
        }
        return Unknown::QueryInterface(iid, out);
    }
    std::vector<std::string> log;
    ScrollBar* bar;
    Shape* shape;
    FocusBox* box;
    ControlTimer* timer;

protected:
    void onInitialize() override { log.push_back(hWnd() ? "init+hwnd" : "init"); }
    void onInitProperties() override { log.push_back("initprops"); }
    void onShow() override { log.push_back("show"); }
    void onResize() override { log.push_back("resize"); }
    void onTerminate() override { log.push_back("terminate"); }
    void onKeyDown(int16_t& k, int16_t shift) override {
        log.push_back("key" + std::to_string(k) + "/" + std::to_string(shift));
    }
    void onMouseDown(int16_t b, int16_t, float x, float y) override {
        log.push_back("down" + std::to_string(b) + "@" + std::to_string(int(x)) + "," +
                      std::to_string(int(y)));
    }
    void onClick() override { log.push_back("click"); }
    void onGotFocus() override { log.push_back("got"); }
    void onLostFocus() override { log.push_back("lost"); }
    void finalRelease() override { close(); }
};

class FrameworkTest : public ::testing::Test {
protected:
    win::VirtualClock clock{0};
    void SetUp() override { win::SetThreadClock(&clock); }
    void TearDown() override { win::SetThreadClock(nullptr); }
};

} // namespace

TEST_F(FrameworkTest, LifecycleOrderAndTerminateOnce) {
    auto* c = new TestControl;
    ASSERT_EQ(c->create(), S_OK);
    c->initNew();
    c->move({0, 0, 100, 80});
    c->show();
    c->close();
    c->close();
    EXPECT_EQ(c->log,
              (std::vector<std::string>{"init+hwnd", "initprops", "show", "resize", "terminate"}));
    EXPECT_EQ(win::WindowCount(), 0u);
    c->Release();
}

TEST_F(FrameworkTest, ScrollBarChangeFiresOnEveryValueChangeOnly) {
    auto* c = new TestControl;
    c->create();
    c->bar->setMax(100);
    c->bar->setValue(10);
    c->bar->setValue(10);
    c->bar->setValue(1000); // clamped to Max
    c->bar->setMax(50);     // moves Value down
    c->bar->setSmallChange(0);
    EXPECT_EQ(c->bar->SmallChange(), 1);
    EXPECT_EQ(c->log, (std::vector<std::string>{"init+hwnd", "change10", "change100", "change50"}));
    c->log.clear();
    c->show();
    c->log.clear();
    // A key reaching the focused bar: KeyDown first, then the bar's own step.
    win::SetFocus(c->bar->hWnd());
    win::SendMessage(c->bar->hWnd(), win::WM_KEYDOWN, win::VK_LEFT, 0);
    EXPECT_EQ(c->log, (std::vector<std::string>{"barkey50", "change49"}));
    c->Release();
}

TEST_F(FrameworkTest, InputGoesThroughTheWindowAndFocusOrderHolds) {
    auto* c = new TestControl;
    c->create();
    c->setBorderStyle(1);
    c->setAppearance(0); // 1 px border
    c->move({0, 0, 100, 80});
    c->show();
    c->log.clear();
    win::SetFocus(c->hWnd());
    win::SetKeyState(win::VK_SHIFT, true);
    win::PostInput(c->hWnd(), win::WM_KEYDOWN, win::VK_ADD, 0);
    win::PostInput(c->hWnd(), win::WM_LBUTTONDOWN, win::MK_LBUTTON, win::MakePointLParam(11, 21));
    win::PostInput(c->hWnd(), win::WM_LBUTTONUP, 0, win::MakePointLParam(11, 21));
    win::DoEvents();
    win::SetKeyState(win::VK_SHIFT, false);
    EXPECT_TRUE(c->box->SetFocus());
    EXPECT_EQ(c->log,
              (std::vector<std::string>{"got", "key107/1", "down1@10,20", "click", "lost"}));
    c->setEnabled(false);
    EXPECT_FALSE(win::IsWindowEnabled(c->hWnd()));
    c->log.clear();
    win::PostInput(c->hWnd(), win::WM_KEYDOWN, win::VK_ADD, 0);
    win::DoEvents();
    EXPECT_TRUE(c->log.empty());
    c->Release();
}

TEST_F(FrameworkTest, ControlTimerRestartsWhenEnabledAndDiesWithTheWindow) {
    auto* c = new TestControl;
    c->create();
    c->timer->setEnabled(true);
    win::RunFor(250);
    EXPECT_EQ(std::count(c->log.begin(), c->log.end(), "tick"), 2);
    c->timer->setEnabled(false);
    win::RunFor(50);
    c->timer->setEnabled(true); // fresh countdown: next tick 100 ms from now
    win::RunFor(99);
    EXPECT_EQ(std::count(c->log.begin(), c->log.end(), "tick"), 2);
    win::RunFor(1);
    EXPECT_EQ(std::count(c->log.begin(), c->log.end(), "tick"), 3);
    c->close();
    EXPECT_EQ(win::TimerCount(), 0u);
    c->Release();
}

TEST_F(FrameworkTest, CompositorDrawsBackgroundShapeBarsAndMask) {
    auto* c = new TestControl;
    c->create();
    c->setBorderStyle(0);
    c->setAutoRedraw(true);
    c->setBackColor(0x0000FF); // red as COLORREF
    c->move({0, 0, 60, 40});
    c->show();
    c->Cls();
    c->bar->setVisible(false);
    c->box->setVisible(false);
    c->shape->move(10, 10, 20, 10);
    c->shape->setBorderColor(0xFFFFFF);
    c->shape->setDrawMode(7); // xor with white inverts red to cyan
    SurfacePtr s = c->snapshot();
    ASSERT_TRUE(s);
    EXPECT_EQ(s->width(), 60);
    EXPECT_EQ(pixelAt(*s, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(pixelAt(*s, 10, 10), 0xFF00FFFFu);
    EXPECT_EQ(pixelAt(*s, 15, 15), 0xFFFF0000u); // inside the outline is untouched
    c->bar->setVisible(true);
    c->bar->move(0, 23, 60, kScrollBarThickness);
    EXPECT_NE(pixelAt(*c->snapshot(), 30, 30), 0xFFFF0000u);
    // A transparent control shows holes where the mask has alpha 0.
    c->setBackStyle(0);
    SurfacePtr mask = makeSurface(60, 40, 0xFF000000u);
    fillRect(*mask, 0, 0, 5, 5, 0);
    c->setMaskPicture(makeObject<Picture>(mask));
    SurfacePtr t = c->snapshot();
    EXPECT_EQ(pixelAt(*t, 1, 1) >> 24, 0u);
    EXPECT_EQ(pixelAt(*t, 6, 6), 0xFFFF0000u);
    // System colours translate through the fixed table.
    EXPECT_EQ(oleColorToPixel(0x80000005u), 0xFFFFFFFFu);
    EXPECT_EQ(oleColorToPixel(0x800000FFu), 0xFF000000u);
    c->Release();
}

TEST_F(FrameworkTest, PersistentDrawingIsAGdiDcThatKeepsContentOnResize) {
    auto* c = new TestControl;
    c->create();
    c->setBorderStyle(0);
    c->setAutoRedraw(true);
    c->move({0, 0, 10, 10});
    c->bar->setVisible(false);
    c->box->setVisible(false);
    uint32_t dc = c->hDC();
    ASSERT_NE(dc, 0u);
    win::SetPixel(dc, 5, 5, 0x00563412); // COLORREF: red 0x12, green 0x34, blue 0x56
    c->setBackColor(0x00FF00);
    c->move({0, 0, 20, 10});
    EXPECT_EQ(c->hDC(), dc); // a resize selects a new bitmap into the same DC
    auto s = win::dcSurface(dc);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->width(), 20);
    EXPECT_EQ(win::GetPixel(dc, 5, 5), 0x00563412u);
    EXPECT_EQ(pixelAt(*s, 15, 5), 0xFF00FF00u);
    EXPECT_EQ(pixelAt(*c->snapshot(), 5, 5), 0xFF123456u);
    // Without persistent drawing, hDC is the window's DC, the one GetDC(hwnd) also reaches.
    c->setAutoRedraw(false);
    uint32_t windowDc = c->hDC();
    EXPECT_NE(windowDc, dc);
    uint32_t fromGetDc = win::GetDC(c->hWnd());
    ASSERT_NE(fromGetDc, 0u);
    EXPECT_EQ(win::dcSurface(fromGetDc), win::dcSurface(windowDc));
    win::ReleaseDC(c->hWnd(), fromGetDc);
    c->Release();
}

TEST(ClassFactoryTest, CreatesRefusesAndRegisters) {
    std::vector<ClassEntry> classes = {{Guid{0x11111111, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}},
                                        "Test.Control", "TestControl", 0,
                                        [] { return static_cast<Unknown*>(new TestControl); }}};
    void* out = nullptr;
    EXPECT_EQ(getClassObject(classes, Guid{}, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(getClassObject(classes, classes[0].clsid, IID_IClassFactory, &out), S_OK);
    auto factory = ComPtr<ClassFactory>::adopt(static_cast<ClassFactory*>(out));
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(factory.get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &out), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    static_cast<Unknown*>(out)->Release();
    factory.reset();
    EXPECT_EQ(canUnloadNow(), S_OK);

    auto dir = std::filesystem::temp_directory_path() / ("ax_reg_" + std::to_string(::getpid()));
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    EXPECT_EQ(registerServer("libtest", "/opt/libtest.so", classes), S_OK);
    std::ifstream in(dir / "tavimo" / "libtest.classes");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "Test.Control = {11111111-0001-0002-0102-030405060708} /opt/libtest.so");
    EXPECT_EQ(unregisterServer("libtest"), S_OK);
    EXPECT_FALSE(std::filesystem::exists(dir / "tavimo" / "libtest.classes"));
    std::filesystem::remove_all(dir);
    unsetenv("XDG_CONFIG_HOME");
}
