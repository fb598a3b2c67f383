// Both deliverables loaded as a host loads them: dlopen, then the exported entry points.

#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "platform/activex/class_factory.h"
#include "platform/activex/object_safety.h"
#include "safe/class_ids.h"
#include "viewer/class_ids.h"

namespace tavimo {
namespace {

using GetClassObjectFn = ax::HResult (*)(const win::Guid*, const win::Guid*, void**);
using PlainFn = ax::HResult (*)();

struct Library {
    void* handle = nullptr;
    GetClassObjectFn getClassObject = nullptr;
    PlainFn canUnloadNow = nullptr, registerServer = nullptr, unregisterServer = nullptr;
};

// Loaded once per process and left loaded: the libraries keep per-thread state of their
// own, which must outlive every object they made.
const Library& load(const char* path) {
    static std::map<std::string, Library> loaded;
    auto [it, fresh] = loaded.try_emplace(path);
    if (fresh) {
        Library& lib = it->second;
        lib.handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (lib.handle) {
            lib.getClassObject =
                reinterpret_cast<GetClassObjectFn>(dlsym(lib.handle, "DllGetClassObject"));
            lib.canUnloadNow = reinterpret_cast<PlainFn>(dlsym(lib.handle, "DllCanUnloadNow"));
            lib.registerServer = reinterpret_cast<PlainFn>(dlsym(lib.handle, "DllRegisterServer"));
            lib.unregisterServer =
                reinterpret_cast<PlainFn>(dlsym(lib.handle, "DllUnregisterServer"));
        }
    }
    return it->second;
}

struct Deliverable {
    const char* name;
    const char* path;
    const char* registryFile;
    const char* progIdPrefix;
    ax::Guid imageBox, imageBoxIid, imageBoxCnt, imageBoxCntIid, dummy, dummyIid;
    ax::Guid foreignImageBox, foreignImageBoxIid, foreignDummy;
    bool objectSafety;
    friend void PrintTo(const Deliverable& d, std::ostream* os) { *os << d.name; }
};

const Deliverable kDeliverables[] = {
    {"libtavimo", TAVIMO_LIBRARY_FILE, "libtavimo.classes", "Tavimo.", CLSID_ImageBox, IID_ImageBox,
     CLSID_ImageBoxCnt, IID_ImageBoxCnt, CLSID_dummy, IID_dummy, CLSID_SafeImageBox,
     IID_SafeImageBox, CLSID_SafeDummy, false},
    {"libtavimos", TAVIMOS_LIBRARY_FILE, "libtavimos.classes", "TavimoS.", CLSID_SafeImageBox,
     IID_SafeImageBox, CLSID_SafeImageBoxCnt, IID_SafeImageBoxCnt, CLSID_SafeDummy, IID_SafeDummy,
     CLSID_ImageBox, IID_ImageBox, CLSID_dummy, true},
};

class DeliverableTest : public ::testing::TestWithParam<Deliverable> {
protected:
    void SetUp() override {
        const Library& lib = load(GetParam().path);
        ASSERT_NE(lib.handle, nullptr) << dlerror();
        ASSERT_NE(lib.getClassObject, nullptr);
        ASSERT_NE(lib.canUnloadNow, nullptr);
        ASSERT_NE(lib.registerServer, nullptr);
        ASSERT_NE(lib.unregisterServer, nullptr);
        m_lib = &lib;
    }
    ax::ComPtr<ax::ClassFactory> factory(const ax::Guid& clsid, ax::HResult expected = ax::S_OK) {
        void* out = nullptr;
        EXPECT_EQ(m_lib->getClassObject(&clsid, &ax::IID_IClassFactory, &out), expected)
            << ax::guidText(clsid);
        return ax::ComPtr<ax::ClassFactory>::adopt(static_cast<ax::ClassFactory*>(out));
    }
    const Library* m_lib = nullptr;
};

ax::HResult query(ax::Unknown* object, const ax::Guid& iid) {
    void* out = nullptr;
    ax::HResult r = object->QueryInterface(iid, &out);
    if (ax::Succeeded(r))
        static_cast<ax::Unknown*>(out)->Release();
    return r;
}

TEST_P(DeliverableTest, ServesOnlyItsOwnClasses) {
    const Deliverable& d = GetParam();
    EXPECT_TRUE(factory(d.imageBox));
    EXPECT_TRUE(factory(d.imageBoxCnt));
    EXPECT_TRUE(factory(d.dummy));
    EXPECT_FALSE(factory(d.foreignImageBox, ax::CLASS_E_CLASSNOTAVAILABLE));
    EXPECT_FALSE(factory(d.foreignDummy, ax::CLASS_E_CLASSNOTAVAILABLE));
    void* out = nullptr;
    EXPECT_EQ(m_lib->getClassObject(nullptr, &ax::IID_IClassFactory, &out), ax::E_POINTER);
}

TEST_P(DeliverableTest, ControlsAnswerTheirInterfacesAndObjectSafetyOnlyInTheSafeBuild) {
    const Deliverable& d = GetParam();
    struct Control {
        ax::Guid clsid, iid;
    };
    for (const Control& c :
         {Control{d.imageBox, d.imageBoxIid}, Control{d.imageBoxCnt, d.imageBoxCntIid}}) {
        SCOPED_TRACE(ax::guidText(c.clsid));
        auto f = factory(c.clsid);
        ASSERT_TRUE(f);
        void* out = nullptr;
        ASSERT_EQ(f->CreateInstance(nullptr, ax::IID_IUnknown, &out), ax::S_OK);
        auto object = ax::ComPtr<ax::Unknown>::adopt(static_cast<ax::Unknown*>(out));
        EXPECT_EQ(query(object.get(), c.iid), ax::S_OK);
        EXPECT_EQ(query(object.get(), d.foreignImageBoxIid), ax::E_NOINTERFACE);
        EXPECT_EQ(query(object.get(), ax::IID_IDispatch), ax::S_OK);
        auto safety = ax::queryInterface<ax::IObjectSafety>(object.get(), ax::IID_IObjectSafety);
        EXPECT_EQ(static_cast<bool>(safety), d.objectSafety);
        if (safety) {
            uint32_t supported = 0, enabled = 0;
            EXPECT_EQ(safety->GetInterfaceSafetyOptions(&ax::IID_IDispatch, &supported, &enabled),
                      ax::S_OK);
            EXPECT_EQ(supported, 3u);
            EXPECT_EQ(enabled, 1u);
            EXPECT_EQ(
                safety->GetInterfaceSafetyOptions(&ax::IID_IPersistStream, &supported, &enabled),
                ax::S_OK);
            EXPECT_EQ(enabled, 2u);
            EXPECT_EQ(safety->SetInterfaceSafetyOptions(&ax::IID_IPersistPropertyBag, 2, 2),
                      ax::S_OK);
        }
        EXPECT_EQ(m_lib->canUnloadNow(), ax::S_FALSE);
    }
    EXPECT_EQ(m_lib->canUnloadNow(), ax::S_OK);
}

TEST_P(DeliverableTest, RegistersUnderItsOwnNameAndIdentifiers) {
    const Deliverable& d = GetParam();
    auto dir = std::filesystem::temp_directory_path() /
               ("tavimo_deliverables_" + std::to_string(::getpid()));
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    EXPECT_EQ(m_lib->registerServer(), ax::S_OK);
    auto file = dir / "tavimo" / d.registryFile;
    std::ifstream in(file);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string prefix = d.progIdPrefix;
    std::string library = std::filesystem::path(d.path).filename().string();
    EXPECT_NE(all.find(prefix + "ImageBox = " + ax::guidText(d.imageBox)), std::string::npos)
        << all;
    EXPECT_NE(all.find(prefix + "ImageBoxCnt = " + ax::guidText(d.imageBoxCnt)), std::string::npos)
        << all;
    EXPECT_NE(all.find(prefix + "dummy = " + ax::guidText(d.dummy)), std::string::npos) << all;
    EXPECT_NE(all.find(library), std::string::npos) << all;
    EXPECT_EQ(all.find(ax::guidText(d.foreignImageBox)), std::string::npos) << all;
    EXPECT_EQ(m_lib->unregisterServer(), ax::S_OK);
    EXPECT_FALSE(std::filesystem::exists(file));
    std::filesystem::remove_all(dir);
    unsetenv("XDG_CONFIG_HOME");
}

INSTANTIATE_TEST_SUITE_P(BothLibraries, DeliverableTest, ::testing::ValuesIn(kDeliverables),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tavimo
