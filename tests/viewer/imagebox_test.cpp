#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/image_table.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"
#include "tests/support/activex_host.h"
#include "viewer/ImageBox.h"
#include "viewer/class_ids.h"
#include "viewer/entry_points.h"

using namespace tavimo;
using ax::Variant;
using ax::VarType;

namespace {

ax::ComPtr<ax::ClassFactory> factoryFor(const win::Guid& clsid) {
    void* out = nullptr;
    if (ax::Failed(DllGetClassObject(&clsid, &ax::IID_IClassFactory, &out)))
        return {};
    return ax::ComPtr<ax::ClassFactory>::adopt(static_cast<ax::ClassFactory*>(out));
}

ImageBox& box(ax::test::HostedControl& c) {
    return static_cast<ImageBox&>(*c.control);
}

// A value other than the key's default, valid for the property.
Variant nonDefault(const std::string& key, const Variant& def) {
    switch (def.type()) {
    case VarType::Boolean:
        return Variant(!def.toBool());
    case VarType::Integer:
        if (key == "BorderStyle" || key == "Appearance" || key == "BackStyle")
            return Variant(int16_t{0});
        return Variant(static_cast<int16_t>(def.toInteger() + 2));
    case VarType::Long:
        return Variant(def.toLong() + 3);
    case VarType::Single:
        return Variant(def.toSingle() + 0.5f);
    default:
        return Variant(def.toDouble() + 1.25);
    }
}

class ImageBoxTest : public ::testing::TestWithParam<win::Guid> {
protected:
    void SetUp() override {
        // Each process has its own temp folder, so per-control copies never collide.
        dir = std::filesystem::temp_directory_path() / ("imagebox_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        setenv("tmp", dir.c_str(), 1);
        factory = factoryFor(GetParam());
        ASSERT_TRUE(factory);
    }
    void TearDown() override {
        unsetenv("tmp");
        std::filesystem::remove_all(dir);
    }
    ax::test::HostedControl* make(ax::PropertyBag* bag = nullptr) {
        return host.create(*factory, 300, 200, bag);
    }
    std::filesystem::path dir;
    ax::test::HeadlessHost host;
    ax::ComPtr<ax::ClassFactory> factory;
};

} // namespace

TEST_P(ImageBoxTest, NewInstanceReportsDefaultsAndIdentity) {
    auto* c = make();
    ASSERT_NE(c, nullptr);
    ImageBox& b = box(*c);
    bool isCnt = GetParam() == CLSID_ImageBoxCnt;
    EXPECT_EQ(c->control->className(), isCnt ? "ImageBoxCnt" : "ImageBox");
    EXPECT_EQ((c->control->miscStatus() & ax::OLEMISC_SIMPLEFRAME) != 0, isCnt);
    EXPECT_GT(b.get_hwnd(), 0);
    EXPECT_EQ(c->dispatch->typeInfo().interfaceName, isCnt ? "_ImageBoxCnt" : "_ImageBox");
    // A host window can live inside the control window.
    win::HWND child = win::CreateWindow("HostChild", c->hwnd(), {1, 1, 10, 10}, {});
    EXPECT_EQ(win::GetParent(child), c->hwnd());
    win::DestroyWindow(child);
    EXPECT_NE(b.get_hdc(), 0);
    EXPECT_EQ(b.get_ZOOM(), 1.0);
    EXPECT_EQ(b.get_ZoomMode(), 1);
    EXPECT_EQ(b.get_ViewerQuality(), 4);
    EXPECT_EQ(b.get_ImageMaskColor(), 65536);
    EXPECT_EQ(b.get_gamma(), 1.0f);
    EXPECT_TRUE(b.get_ScrollBars());
    EXPECT_TRUE(b.get_ContinuousViewMode());
    EXPECT_EQ(b.GetStat(), QuennetStatus::OK);
    EXPECT_DOUBLE_EQ(b.GetVersion(), 5.9901307);
    EXPECT_FALSE(b.qualityTimer().Enabled());
    EXPECT_EQ(b.qualityTimer().Interval(), 1000u);
    EXPECT_EQ(b.state().m_HttpBufferSize, 4096);
    EXPECT_TRUE(b.state().m_FtpPassiveMode);
    EXPECT_EQ(b.state().m_TempCopyPath, dir.string() + "/" + std::to_string(b.get_hwnd()));
    EXPECT_FLOAT_EQ(b.state().m_OSVersion, 6.1f);
    // Every persisted key equals its default, in the two key orders' shared set.
    ASSERT_EQ(ImageBox::persistedKeys().size(), 47u);
    ASSERT_EQ(ImageBox::readOrderKeys().size(), 47u);
    ax::MemoryPropertyBag saved;
    EXPECT_EQ(c->control->save(saved), ax::S_OK);
    EXPECT_EQ(saved.size(), 0u) << saved.toText(); // nothing differs from a default
    // No events before the host shows the control; Resize comes with the first sizing.
    EXPECT_EQ(c->events->names(), (std::vector<std::string>{"ResizeControl"}));
    EXPECT_TRUE(c->site->changedKeys.empty());
}

TEST_P(ImageBoxTest, SavedPropertiesReadBackEqualThroughTheTextForm) {
    auto* first = make();
    // Give every key a non-default value through a bag, then save and re-read.
    ax::MemoryPropertyBag changed;
    for (const auto& key : ImageBox::persistedKeys())
        changed.set(key, nonDefault(key, box(*first).persistedValue(key)));
    auto* second = make(&changed);
    ASSERT_EQ(second->loadResult, ax::S_OK);
    for (const auto& key : ImageBox::persistedKeys())
        EXPECT_TRUE(box(*second).persistedValue(key).sameValue(*changed.get(key))) << key;

    ax::MemoryPropertyBag saved;
    ASSERT_EQ(second->control->save(saved), ax::S_OK);
    std::string error;
    auto text = ax::MemoryPropertyBag::fromText(saved.toText(), &error);
    ASSERT_TRUE(text) << error;
    auto* third = make(&*text);
    for (const auto& key : ImageBox::persistedKeys())
        EXPECT_TRUE(box(*third).persistedValue(key).sameValue(box(*second).persistedValue(key)))
            << key;
    EXPECT_EQ(saved.keys(), ImageBox::persistedKeys()); // written in table order
    // Side effects of reading reach the window and the constituents.
    EXPECT_FALSE(win::IsWindowEnabled(third->hwnd()));
    EXPECT_EQ(third->control->OLEDropMode(), 1);
    EXPECT_EQ(box(*third).hScroll().SmallChange(), 3);
    EXPECT_EQ(box(*third).vScroll().LargeChange(), 52);
    EXPECT_EQ(box(*third).rectShape().DrawMode(), 16);
    EXPECT_EQ(box(*third).rectShape().BorderStyle(), 4);
    EXPECT_TRUE(third->site->changedKeys.empty()); // reading notifies nothing

    // An empty bag gives the same instance as a new one.
    ax::MemoryPropertyBag empty;
    auto* fromEmpty = make(&empty);
    for (const auto& key : ImageBox::persistedKeys())
        EXPECT_TRUE(box(*fromEmpty).persistedValue(key).sameValue(box(*first).persistedValue(key)))
            << key;
}

TEST_P(ImageBoxTest, AFailingKeyStopsReadingWithEarlierKeysApplied) {
    const auto& order = ImageBox::readOrderKeys();
    auto* fresh = make();
    for (size_t k : {size_t{0}, size_t{1}, size_t{19}, size_t{22}, size_t{42}, order.size() - 1}) {
        ax::MemoryPropertyBag bag;
        for (const auto& key : order)
            bag.set(key, nonDefault(key, box(*fresh).persistedValue(key)));
        bag.set(order[k], Variant("not a value"));
        auto* c = make(&bag);
        EXPECT_EQ(c->loadResult, ax::DISP_E_TYPEMISMATCH) << order[k];
        EXPECT_EQ(c->site->errors.size(), 1u);
        for (size_t i = 0; i < order.size(); ++i) {
            Variant expected = i < k ? *bag.get(order[i]) : box(*fresh).persistedValue(order[i]);
            EXPECT_TRUE(box(*c).persistedValue(order[i]).sameValue(expected))
                << "failing " << order[k] << ", checking " << order[i];
        }
        host.destroy(c);
    }
    // An overflow stops reading the same way.
    ax::MemoryPropertyBag big;
    big.set("ScrollSmallChange", Variant(int32_t{70000}));
    auto* c = make(&big);
    EXPECT_EQ(c->loadResult, ax::DISP_E_OVERFLOW);
    EXPECT_EQ(box(*c).get_ScrollSmallChange(), 1);
    // A bag that cannot be read at a key stops there too.
    ax::MemoryPropertyBag failing;
    failing.set("Zoom", Variant(2.0));
    failing.set("MouseMode", Variant(int32_t{3}));
    failing.failOn("ImageWidth");
    auto* d = make(&failing);
    EXPECT_TRUE(ax::Failed(d->loadResult));
    EXPECT_EQ(box(*d).get_ZOOM(), 2.0);
    EXPECT_EQ(box(*d).get_MouseMode(), 2);
    EXPECT_EQ(box(*d).get_gamma(), 1.0f); // later keys keep their defaults
}

TEST_P(ImageBoxTest, AccessorsStoreRefuseAndNotify) {
    auto* c = make();
    ImageBox& b = box(*c);
    struct Case {
        const char* name;
        Variant value;
        std::vector<std::pair<const char*, Variant>> after;
        std::vector<std::string> notified;
    };
    std::vector<Case> cases = {
        {"ZoomStep", Variant(int32_t{0}), {{"ZoomStep", Variant(int32_t{10})}}, {"ZoomStep"}},
        {"ScrollSmallChange",
         Variant(int16_t{0}),
         {{"ScrollSmallChange", Variant(int16_t{1})}},
         {"ScrollSmallChange"}},
        {"ScrollLargeChange",
         Variant(int16_t{7}),
         {{"ScrollLargeChange", Variant(int16_t{7})}},
         {"ScrollLargeChange"}},
        {"ForceScrollBars",
         Variant(true),
         {{"ForceScrollBars", Variant(true)}, {"ScrollBars", Variant(true)}},
         {"ForceScrollBars"}},
        {"ScrollBars",
         Variant(false),
         {{"ScrollBars", Variant(false)}, {"ForceScrollBars", Variant(false)}},
         {"ScrollBars"}},
        {"ImageAlignment", Variant(int32_t{2}), {{"ImageAlignment", Variant(int32_t{2})}}, {}},
        {"ImageAlignment",
         Variant(int32_t{4}),
         {{"ImageAlignment", Variant(int32_t{4})}},
         {"ImageAlignment"}},
        {"ImagePosition", Variant(int32_t{2}), {{"ImagePosition", Variant(int32_t{2})}}, {}},
        {"ScrollOptimization",
         Variant(true),
         {{"OptimizeDrawingSpeed", Variant(true)}},
         {"ScrollOptimization"}},
        {"ImageWidth",
         Variant(int32_t{500}),
         {{"ImageWidth", Variant(int32_t{0})}},
         {"ImageWidth"}},
        {"MouseMode", Variant(int32_t{7}), {{"MouseMode", Variant(int32_t{2})}}, {"MouseMode"}},
        {"MouseButtonForMouseMode",
         Variant(int32_t{0}),
         {{"MouseButtonForMouseMode", Variant(int32_t{1})}},
         {"MouseButtonForMouseMode"}},
        {"ZOOM",
         Variant(-1.0),
         {{"Zoom", Variant(1.0)}, {"ZoomMode", Variant(int32_t{1})}},
         {"Zoom"}},
        {"zoom",
         Variant(2.5),
         {{"Zoom", Variant(2.5)}, {"ZoomMode", Variant(int32_t{4})}},
         {"Zoom"}},
        {"ZoomMode", Variant(int32_t{9}), {{"ZoomMode", Variant(int32_t{4})}}, {"ZoomMode"}},
        {"ZoomMode", Variant(int32_t{2}), {{"ZoomMode", Variant(int32_t{2})}}, {"ZoomMode"}},
        {"Gamma", Variant(0.5f), {{"Gamma", Variant(0.5f)}}, {"Gamma"}},
        {"Enabled", Variant(false), {{"Enabled", Variant(false)}}, {"Enabled"}},
        {"ViewerDrop", Variant(true), {{"ViewerDrop", Variant(true)}}, {"ViewerDrop"}},
        {"BackColor",
         Variant(static_cast<int32_t>(0x80000005u)),
         {{"BackColor", Variant(static_cast<int32_t>(0x80000005u))}},
         {"BackColor"}},
        {"RectBorderSize",
         Variant(int16_t{3}),
         {{"RectBorderSize", Variant(int16_t{3})}},
         {"RectBorderSize"}},
        {"ViewerQualityAuto",
         Variant(true),
         {{"ViewerQualityAuto", Variant(true)}},
         {"ViewerQualityAuto"}},
        {"HScrollVisible", Variant(false), {}, {}},
    };
    for (const auto& tc : cases) {
        c->site->changedKeys.clear();
        EXPECT_EQ(c->put(tc.name, tc.value), ax::S_OK) << tc.name;
        for (const auto& [key, expected] : tc.after)
            EXPECT_TRUE(b.persistedValue(key).sameValue(expected))
                << tc.name << " -> " << key << " is " << b.persistedValue(key).describe();
        EXPECT_EQ(c->site->changedKeys, tc.notified) << tc.name;
    }
    EXPECT_FALSE(win::IsWindowEnabled(c->hwnd()));
    EXPECT_EQ(c->control->OLEDropMode(), 1);
    EXPECT_TRUE(b.qualityTimer().Enabled());
    EXPECT_EQ(b.hScroll().LargeChange(), 7);
    EXPECT_EQ(b.rectShape().BorderWidth(), 3);
    // SetBackGroundColor changes the window without a notification.
    c->site->changedKeys.clear();
    b.SetBackGroundColor(0x00FF00);
    EXPECT_EQ(b.get_BackColor(), 0x00FF00);
    EXPECT_TRUE(c->site->changedKeys.empty());
}

TEST_P(ImageBoxTest, DispatchByNameAnswersLikeTheCppInterface) {
    auto* c = make();
    ImageBox& b = box(*c);
    const ax::TypeInfo& t = c->dispatch->typeInfo();
    EXPECT_EQ(t.methodCount(), 101u);
    EXPECT_EQ(t.propertyCount(), 51u);
    EXPECT_EQ(t.events.size(), 22u);
    EXPECT_EQ(t.event(13)->name, "KeyDownControl");
    EXPECT_TRUE(t.event("FilesDrop")->params[0].byRef);
    for (const auto& key : ImageBox::persistedKeys()) {
        std::string name = key == "Zoom" ? "ZOOM" : key == "Gamma" ? "gamma" : key;
        ASSERT_NE(t.member(name), nullptr) << name;
        Variant got = c->get(key); // lookup by name ignores case ("Zoom" finds ZOOM)
        EXPECT_TRUE(got.sameValue(b.persistedValue(key))) << key << ": " << got.describe();
    }
    EXPECT_EQ(c->get("hWnd").toLong(), b.get_hwnd());
    EXPECT_EQ(c->get("HDC").toLong(), b.get_hdc());
    EXPECT_EQ(c->put("hwnd", Variant(5)), ax::DISP_E_MEMBERNOTFOUND);
    Variant r;
    EXPECT_EQ(c->call("getversion", {}, &r), ax::S_OK);
    EXPECT_DOUBLE_EQ(r.toDouble(), b.GetVersion());
    EXPECT_EQ(c->call("GetStat", {}, &r), ax::S_OK);
    EXPECT_EQ(r.toLong(), static_cast<int32_t>(b.GetStat()));
    // By-reference outputs come back; optional arguments take their defaults.
    Variant x(int16_t{0}), y;
    EXPECT_EQ(c->call("CoordImageToObject",
                      {Variant(10), Variant(20), Variant::byRef(x), Variant::byRef(y)}),
              ax::S_OK);
    int32_t cx = 0, cy = 0;
    b.CoordImageToObject(10, 20, cx, cy);
    EXPECT_EQ(x.type(), VarType::Integer);
    EXPECT_EQ(x.toLong(), cx);
    EXPECT_EQ(y.toLong(), cy);
    EXPECT_EQ(c->call("DisplayFromMetaFile", {Variant("x.wmf")}, &r), ax::S_OK);
    EXPECT_EQ(r.toLong(), static_cast<int32_t>(QuennetStatus::FileNotFound));
    EXPECT_EQ(c->call("DisplayFromURL", {Variant("h"), Variant("/p")}, &r), ax::S_OK);
    EXPECT_EQ(c->call("DisplayFromURL", {Variant("h")}, &r), ax::DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(t.member("DisplayFromFTP")->params[4].defaultValue.toLong(), 21);
    EXPECT_EQ(c->call("SetHttpTransfertBufferSize", {Variant("8192")}), ax::S_OK);
    EXPECT_EQ(b.state().m_HttpBufferSize, 8192);
    EXPECT_EQ(c->call("NoSuchMember"), ax::DISP_E_UNKNOWNNAME);
    EXPECT_EQ(b.GetStat(), QuennetStatus::FileNotFound); // later calls leave it alone
}

TEST_P(ImageBoxTest, ShutdownRunsOnceFromEitherEntry) {
    ASSERT_TRUE(GdiPlusNotRunning());
    auto* keeper = make(); // a second user of the thread's GDI+ session
    auto* c = make();
    EXPECT_FALSE(GdiPlusNotRunning());
    ImageBox& b = box(*c);
    c->put("ViewerQualityAuto", Variant(true));
    EXPECT_EQ(c->call("Terminate"), ax::S_OK);
    EXPECT_TRUE(b.state().m_Terminated);
    EXPECT_FALSE(b.qualityTimer().Enabled()); // no quality redraw after shutdown
    EXPECT_EQ(win::TimerCount(c->hwnd()), 0u);
    b.Terminate();
    // Members after the public Terminate still answer.
    Variant r;
    EXPECT_EQ(c->call("GetVersion", {}, &r), ax::S_OK);
    EXPECT_EQ(c->put("ZoomStep", Variant(5)), ax::S_OK);
    win::HWND h = c->hwnd();
    host.destroy(c); // the framework's Terminate finds the work done
    EXPECT_FALSE(win::IsWindow(h));
    // Had either entry stopped the session a second time, the keeper's use would be gone.
    EXPECT_FALSE(GdiPlusNotRunning());
    host.destroy(keeper);
    EXPECT_TRUE(GdiPlusNotRunning());
    EXPECT_EQ(win::TimerCount(), 0u);
}

TEST_P(ImageBoxTest, InterfacesAndFocusOwner) {
    auto* c = make();
    bool isCnt = GetParam() == CLSID_ImageBoxCnt;
    void* out = nullptr;
    EXPECT_EQ(c->object->QueryInterface(isCnt ? IID_ImageBoxCnt : IID_ImageBox, &out), ax::S_OK);
    static_cast<IImageBox*>(out)->Release();
    EXPECT_EQ(c->object->QueryInterface(isCnt ? IID_ImageBoxCntAlias1 : IID_ImageBoxAlias1, &out),
              ax::S_OK);
    static_cast<IImageBox*>(out)->Release();
    EXPECT_EQ(c->object->QueryInterface(isCnt ? IID_ImageBox : IID_ImageBoxCnt, &out),
              ax::E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(c->object->QueryInterface(ax::IID_IUnknown, nullptr), ax::E_POINTER);
    ImageBox& b = box(*c);
    EXPECT_TRUE(host.focus(c->hwnd()));
    // The corner and the bars show only with an image that needs them; show them here.
    b.cornerBox().setVisible(true);
    b.hScroll().setVisible(true);
    b.hScroll().setEnabled(true);
    EXPECT_TRUE(b.cornerBox().SetFocus());
    EXPECT_EQ(b.state().m_FocusOwner, 4);
    EXPECT_TRUE(b.hScroll().SetFocus());
    EXPECT_EQ(b.state().m_FocusOwner, 2);
    // Painting raises PaintControl; a wheel on a focused child reaches the control.
    c->events->records.clear();
    b.Refresh();
    EXPECT_EQ(c->events->names(), (std::vector<std::string>{"PaintControl"}));
    ax::SurfacePtr shot = host.snapshot(*c);
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->width(), 300);
    EXPECT_EQ(ax::pixelAt(*shot, 150, 100), 0xFF000000u); // BackColor 0 inside the border
    EXPECT_TRUE(ax::test::HeadlessHost::writePng(*shot, (dir / "shot.png").string()));
    EXPECT_GT(std::filesystem::file_size(dir / "shot.png"), 0u);
}

INSTANTIATE_TEST_SUITE_P(BothClasses, ImageBoxTest,
                         ::testing::Values(CLSID_ImageBox, CLSID_ImageBoxCnt),
                         [](const auto& info) {
                             return info.param == CLSID_ImageBox ? std::string("ImageBox")
                                                                 : std::string("ImageBoxCnt");
                         });

TEST(EntryPointsTest, FactoriesDummyUnloadAndRegistration) {
    void* out = nullptr;
    win::Guid unknownClass{1, 2, 3, {}};
    EXPECT_EQ(DllGetClassObject(&unknownClass, &ax::IID_IClassFactory, &out),
              ax::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(DllGetClassObject(nullptr, &ax::IID_IClassFactory, &out), ax::E_POINTER);
    auto factory = factoryFor(CLSID_dummy);
    ASSERT_TRUE(factory);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_dummy, &out), ax::S_OK);
    void* disp = nullptr;
    EXPECT_EQ(static_cast<ax::Unknown*>(out)->QueryInterface(ax::IID_IDispatch, &disp),
              ax::E_NOINTERFACE);
    EXPECT_EQ(DllCanUnloadNow(), ax::S_FALSE);
    static_cast<ax::Unknown*>(out)->Release();
    factory.reset();
    EXPECT_EQ(DllCanUnloadNow(), ax::S_OK);

    auto dir =
        std::filesystem::temp_directory_path() / ("tavimo_reg_" + std::to_string(::getpid()));
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    EXPECT_EQ(DllRegisterServer(), ax::S_OK);
    std::ifstream in(dir / "tavimo" / "libtavimo.classes");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("Tavimo.ImageBox = " + ax::guidText(CLSID_ImageBox)), std::string::npos)
        << all;
    EXPECT_NE(all.find("Tavimo.ImageBoxCnt = "), std::string::npos);
    EXPECT_EQ(DllUnregisterServer(), ax::S_OK);
    EXPECT_FALSE(std::filesystem::exists(dir / "tavimo" / "libtavimo.classes"));
    std::filesystem::remove_all(dir);
    unsetenv("XDG_CONFIG_HOME");
}
