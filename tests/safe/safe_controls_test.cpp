#include "safe/SafeImageBox.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/activex/object_safety.h"
#include "safe/basSafeCtl.h"
#include "safe/class_ids.h"
#include "tests/support/activex_host.h"
#include "viewer/class_ids.h"

namespace tavimo {
namespace {

ax::ComPtr<ax::ClassFactory> factoryIn(const LibraryProfile& profile, const ax::Guid& clsid) {
    void* out = nullptr;
    if (ax::Failed(ax::getClassObject(profile.classes, clsid, ax::IID_IClassFactory, &out)))
        return {};
    return ax::ComPtr<ax::ClassFactory>::adopt(static_cast<ax::ClassFactory*>(out));
}

// For facets that are objects (the class interface, IDispatch, IObjectSafety).
ax::HResult query(ax::Unknown* object, const ax::Guid& iid) {
    void* out = nullptr;
    ax::HResult r = object->QueryInterface(iid, &out);
    if (ax::Succeeded(r))
        static_cast<ax::Unknown*>(out)->Release();
    else
        EXPECT_EQ(out, nullptr);
    return r;
}

struct SafeClass {
    const char* name;
    ax::Guid clsid, iid, alias;
    ax::Guid otherIid; // the other safe class's interface
    ax::Guid plainIid, plainAlias;
    uint32_t miscStatus;
    friend void PrintTo(const SafeClass& c, std::ostream* os) { *os << c.name; }
};

class SafeControlTest : public ::testing::TestWithParam<SafeClass> {};

TEST_P(SafeControlTest, AnswersItsOwnIdentifiersAndObjectSafety) {
    const SafeClass& c = GetParam();
    auto factory = factoryIn(safeLibraryProfile(), c.clsid);
    ASSERT_TRUE(factory);
    EXPECT_EQ(factory->entry().miscStatus, c.miscStatus);
    ax::test::HeadlessHost host;
    auto* hosted = host.create(*factory, 200, 100);
    ASSERT_NE(hosted, nullptr);
    ax::Unknown* object = hosted->object.get();
    EXPECT_EQ(query(object, c.iid), ax::S_OK);
    EXPECT_EQ(query(object, c.alias), ax::S_OK);
    EXPECT_EQ(query(object, c.otherIid), ax::E_NOINTERFACE);
    EXPECT_EQ(query(object, c.plainIid), ax::E_NOINTERFACE);
    EXPECT_EQ(query(object, c.plainAlias), ax::E_NOINTERFACE);
    EXPECT_EQ(query(object, ax::IID_IDispatch), ax::S_OK);
    void* bag = nullptr;
    EXPECT_EQ(object->QueryInterface(ax::IID_IPersistPropertyBag, &bag), ax::S_OK);
    if (bag)
        object->Release(); // the framework facet is no object of its own

    auto safety = ax::queryInterface<ax::IObjectSafety>(object, ax::IID_IObjectSafety);
    ASSERT_TRUE(safety);
    // Creating the control ran the start routine on this thread.
    uint32_t supported = 0, enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(&ax::IID_IDispatch, &supported, &enabled),
              ax::S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 1u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(&ax::IID_IPersistPropertyBag, &supported, &enabled),
              ax::S_OK);
    EXPECT_EQ(enabled, 2u);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&ax::IID_IDispatch, 1, 1), ax::S_OK);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(&ax::IID_IPersistStream, 3, 3), ax::E_FAIL);

    // The facet keeps the control's identity: its IUnknown is the control's, and it leads
    // back to the control's other interfaces.
    auto viaFacet = ax::queryInterface<ax::Unknown>(safety.get(), ax::IID_IUnknown);
    auto direct = ax::queryInterface<ax::Unknown>(object, ax::IID_IUnknown);
    EXPECT_EQ(viaFacet.get(), direct.get());
    EXPECT_EQ(query(safety.get(), c.iid), ax::S_OK);
    EXPECT_EQ(query(safety.get(), ax::IID_IObjectSafety), ax::S_OK);

    // The members are the viewer's.
    ax::Variant version;
    EXPECT_EQ(hosted->call("GetVersion", {}, &version), ax::S_OK);
    EXPECT_DOUBLE_EQ(version.toDouble(), 5.9901307);
    // A facet still held keeps the control alive after the host lets go of it.
    host.destroy(hosted);
    uint32_t after = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(&ax::IID_IDispatch, &supported, &after), ax::S_OK);
    EXPECT_EQ(after, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    BothClasses, SafeControlTest,
    ::testing::Values(SafeClass{"ImageBox", CLSID_SafeImageBox, IID_SafeImageBox,
                                IID_SafeImageBoxAlias1, IID_SafeImageBoxCnt, IID_ImageBox,
                                IID_ImageBoxAlias1, kImageBoxMiscStatus},
                      SafeClass{"ImageBoxCnt", CLSID_SafeImageBoxCnt, IID_SafeImageBoxCnt,
                                IID_SafeImageBoxCntAlias1, IID_SafeImageBox, IID_ImageBoxCnt,
                                IID_ImageBoxCntAlias1, kImageBoxCntMiscStatus}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SafeLibraryProfileTest, HasItsOwnClassesNamesAndIdentifiers) {
    const LibraryProfile& safe = safeLibraryProfile();
    EXPECT_EQ(safe.registryName, "libtavimos");
    EXPECT_EQ(safe.fileName, "libtavimos.so");
    ASSERT_EQ(safe.classes.size(), 3u);
    EXPECT_EQ(safe.classes[0].progId, "TavimoS.ImageBox");
    EXPECT_EQ(safe.classes[1].progId, "TavimoS.ImageBoxCnt");
    EXPECT_EQ(safe.classes[2].progId, "TavimoS.dummy");
    EXPECT_EQ(safe.classes[1].className, "ImageBoxCnt");
    // No identifier is shared with libtavimo.so.
    const ax::Guid plain[] = {
        CLSID_ImageBox,    IID_ImageBox,    DIID_ImageBoxEvents,    IID_ImageBoxAlias1,
        CLSID_ImageBoxCnt, IID_ImageBoxCnt, DIID_ImageBoxCntEvents, IID_ImageBoxCntAlias1,
        CLSID_dummy,       IID_dummy};
    const ax::Guid own[] = {CLSID_SafeImageBox,
                            IID_SafeImageBox,
                            DIID_SafeImageBoxEvents,
                            IID_SafeImageBoxAlias1,
                            CLSID_SafeImageBoxCnt,
                            IID_SafeImageBoxCnt,
                            DIID_SafeImageBoxCntEvents,
                            IID_SafeImageBoxCntAlias1,
                            CLSID_SafeDummy,
                            IID_SafeDummy};
    for (const auto& o : own) {
        for (const auto& p : plain)
            EXPECT_NE(o, p) << ax::guidText(o);
        int same = 0;
        for (const auto& o2 : own)
            same += o == o2;
        EXPECT_EQ(same, 1) << ax::guidText(o);
    }
    // The default profile's classes are not served by the safe one, and the other way.
    EXPECT_FALSE(factoryIn(safe, CLSID_ImageBox));
    EXPECT_FALSE(factoryIn(defaultLibraryProfile(), CLSID_SafeImageBox));
    EXPECT_EQ(defaultLibraryProfile().registryName, "libtavimo");
}

TEST(SafeLibraryProfileTest, PlainControlsHaveNoObjectSafety) {
    auto factory = factoryIn(defaultLibraryProfile(), CLSID_ImageBox);
    ASSERT_TRUE(factory);
    ax::test::HeadlessHost host;
    auto* hosted = host.create(*factory, 100, 100);
    ASSERT_NE(hosted, nullptr);
    EXPECT_EQ(query(hosted->object.get(), ax::IID_IObjectSafety), ax::E_NOINTERFACE);
    EXPECT_EQ(query(hosted->object.get(), IID_SafeImageBox), ax::E_NOINTERFACE);
    host.destroy(hosted);
}

TEST(SafeLibraryProfileTest, TheFirstObjectOfAThreadRunsTheStartRoutine) {
    std::thread t([] {
        EXPECT_FALSE(basSafeCtl::SafeForScripting());
        auto factory = factoryIn(safeLibraryProfile(), CLSID_SafeDummy);
        ASSERT_TRUE(factory);
        void* out = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_SafeDummy, &out), ax::S_OK);
        static_cast<ax::Unknown*>(out)->Release();
        EXPECT_TRUE(basSafeCtl::SafeForScripting());
        EXPECT_TRUE(basSafeCtl::SafeForInitializing());
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_dummy, &out), ax::E_NOINTERFACE);
    });
    t.join();
}

} // namespace
} // namespace tavimo
