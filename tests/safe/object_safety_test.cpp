#include "safe/object_safety.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>

#include "platform/activex/object.h"
#include "safe/basSafeCtl.h"

namespace tavimo {
namespace {

constexpr uint32_t kUntouched = 0xDEADBEEF;

// Runs f on a thread of its own, whose safety flags start false.
template <class F> void onFreshThread(F f) {
    std::thread t(f);
    t.join();
}

TEST(StringFromGUID2Test, WritesBracedUpperCaseTextOrNothing) {
    char16_t buffer[40];
    std::fill(std::begin(buffer), std::end(buffer), u'x');
    EXPECT_EQ(ax::StringFromGUID2(ax::IID_IPersistPropertyBag, buffer, 40), 39);
    EXPECT_EQ(std::u16string(buffer), u"{37D84F60-42CB-11CE-8135-00AA004BB851}");
    std::fill(std::begin(buffer), std::end(buffer), u'x');
    EXPECT_EQ(ax::StringFromGUID2(ax::IID_IDispatch, buffer, 38), 0);
    EXPECT_EQ(buffer[0], u'x');
    EXPECT_EQ(ax::StringFromGUID2(ax::IID_IDispatch, nullptr, 40), 0);
}

struct GetCase {
    const char* name;
    std::optional<ax::Guid> iid; // nullopt: a null riid
    ax::HResult result;
    uint32_t enabledWithFlags;    // kUntouched: left as the caller set it
    uint32_t enabledWithoutFlags; // before the start routine has run
};

const GetCase kGetCases[] = {
    {"null", std::nullopt, ax::S_OK, kUntouched, kUntouched},
    {"IDispatch", ax::IID_IDispatch, ax::S_OK, 1, 0},
    {"IPersistStorage", ax::IID_IPersistStorage, ax::S_OK, 2, 0},
    {"IPersistStream", ax::IID_IPersistStream, ax::S_OK, 2, 0},
    {"IPersistPropertyBag", ax::IID_IPersistPropertyBag, ax::S_OK, 2, 0},
    {"IUnknown", ax::IID_IUnknown, ax::E_NOINTERFACE, kUntouched, kUntouched},
    {"IObjectSafety", ax::IID_IObjectSafety, ax::E_NOINTERFACE, kUntouched, kUntouched},
};

void checkGet(bool flagsSet) {
    for (const auto& c : kGetCases) {
        SCOPED_TRACE(c.name);
        uint32_t supported = kUntouched, enabled = kUntouched;
        const ax::Guid* riid = c.iid ? &*c.iid : nullptr;
        EXPECT_EQ(IObjectSafety_GetInterfaceSafetyOptions(riid, &supported, &enabled), c.result);
        EXPECT_EQ(supported, 3u); // written first, also for a refused interface
        EXPECT_EQ(enabled, flagsSet ? c.enabledWithFlags : c.enabledWithoutFlags);
    }
}

TEST(ObjectSafetyTest, GetReportsTheBitOfEachInterface) {
    basSafeCtl::InitSafetyFlags();
    checkGet(true);
}

TEST(ObjectSafetyTest, GetBeforeTheStartRoutineReportsNothingEnabled) {
    onFreshThread([] { checkGet(false); });
}

TEST(ObjectSafetyTest, GetRefusesNullOutPointersItWouldWrite) {
    basSafeCtl::InitSafetyFlags();
    uint32_t enabled = kUntouched;
    EXPECT_EQ(IObjectSafety_GetInterfaceSafetyOptions(&ax::IID_IDispatch, nullptr, &enabled),
              ax::E_POINTER);
    EXPECT_EQ(enabled, kUntouched);
    uint32_t supported = 0;
    EXPECT_EQ(IObjectSafety_GetInterfaceSafetyOptions(&ax::IID_IDispatch, &supported, nullptr),
              ax::E_POINTER);
    EXPECT_EQ(supported, 3u);
    // Nothing is written for a null riid or an unknown interface, so no pointer is needed.
    EXPECT_EQ(IObjectSafety_GetInterfaceSafetyOptions(nullptr, &supported, nullptr), ax::S_OK);
    EXPECT_EQ(IObjectSafety_GetInterfaceSafetyOptions(&ax::IID_IUnknown, &supported, nullptr),
              ax::E_NOINTERFACE);
}

struct SetCase {
    const char* name;
    std::optional<ax::Guid> iid;
    uint32_t mask, enabled;
    ax::HResult withFlags, withoutFlags;
};

const SetCase kSetCases[] = {
    {"null, no bits", std::nullopt, 0, 0, ax::S_OK, ax::S_OK},
    {"null, all bits", std::nullopt, 0xFFFFFFFF, 0xFFFFFFFF, ax::S_OK, ax::S_OK},
    {"IDispatch 1/1", ax::IID_IDispatch, 1, 1, ax::S_OK, ax::E_FAIL},
    {"IDispatch 3/1", ax::IID_IDispatch, 3, 1, ax::S_OK, ax::E_FAIL},
    {"IDispatch 1/3", ax::IID_IDispatch, 1, 3, ax::S_OK, ax::E_FAIL},
    {"IDispatch 3/3", ax::IID_IDispatch, 3, 3, ax::E_FAIL, ax::E_FAIL},
    {"IDispatch 0/0", ax::IID_IDispatch, 0, 0, ax::E_FAIL, ax::E_FAIL},
    {"IDispatch 2/2", ax::IID_IDispatch, 2, 2, ax::E_FAIL, ax::E_FAIL},
    {"IDispatch 1/0", ax::IID_IDispatch, 1, 0, ax::E_FAIL, ax::E_FAIL},
    {"IPersistStream 2/2", ax::IID_IPersistStream, 2, 2, ax::S_OK, ax::E_FAIL},
    {"IPersistStream 1/1", ax::IID_IPersistStream, 1, 1, ax::E_FAIL, ax::E_FAIL},
    {"IPersistStream 3/3", ax::IID_IPersistStream, 3, 3, ax::E_FAIL, ax::E_FAIL},
    {"IPersistStorage 2/3", ax::IID_IPersistStorage, 2, 3, ax::S_OK, ax::E_FAIL},
    {"IPersistPropertyBag 6/2", ax::IID_IPersistPropertyBag, 6, 2, ax::S_OK, ax::E_FAIL},
    {"IPersistPropertyBag 0/2", ax::IID_IPersistPropertyBag, 0, 2, ax::E_FAIL, ax::E_FAIL},
    {"IUnknown 1/1", ax::IID_IUnknown, 1, 1, ax::E_NOINTERFACE, ax::E_NOINTERFACE},
    {"IClassFactory 2/2", ax::IID_IClassFactory, 2, 2, ax::E_NOINTERFACE, ax::E_NOINTERFACE},
};

void checkSet(bool flagsSet) {
    for (const auto& c : kSetCases) {
        SCOPED_TRACE(c.name);
        const ax::Guid* riid = c.iid ? &*c.iid : nullptr;
        EXPECT_EQ(IObjectSafety_SetInterfaceSafetyOptions(riid, c.mask, c.enabled),
                  flagsSet ? c.withFlags : c.withoutFlags);
    }
    // Set changes nothing: Get still reports the flags as they were.
    uint32_t supported = 0, enabled = kUntouched;
    IObjectSafety_GetInterfaceSafetyOptions(&ax::IID_IDispatch, &supported, &enabled);
    EXPECT_EQ(enabled, flagsSet ? 1u : 0u);
}

TEST(ObjectSafetyTest, SetAcceptsExactlyTheBitOfTheInterface) {
    basSafeCtl::InitSafetyFlags();
    checkSet(true);
}

TEST(ObjectSafetyTest, SetBeforeTheStartRoutineFailsForKnownInterfaces) {
    onFreshThread([] { checkSet(false); });
}

TEST(SafetyFlagsTest, EachThreadHasItsOwnPairSetOnceByTheStartRoutine) {
    onFreshThread([] {
        EXPECT_FALSE(basSafeCtl::SafeForScripting());
        EXPECT_FALSE(basSafeCtl::SafeForInitializing());
        basSafeCtl::RunStartRoutineOnce();
        EXPECT_TRUE(basSafeCtl::SafeForScripting());
        EXPECT_TRUE(basSafeCtl::SafeForInitializing());
        // A second thread started now has not run it.
        onFreshThread([] {
            EXPECT_FALSE(basSafeCtl::SafeForScripting());
            EXPECT_FALSE(basSafeCtl::SafeForInitializing());
        });
        basSafeCtl::RunStartRoutineOnce();
        EXPECT_TRUE(basSafeCtl::SafeForScripting());
    });
}

} // namespace
} // namespace tavimo
