// The library's exported entry points.

#include <dlfcn.h>

#include "platform/activex/class_factory.h"
#include "platform/win/export.h"
#include "viewer/ImageBox.h"
#include "viewer/class_ids.h"
#include "viewer/entry_points.h"
#include "viewer/library_profile.h"

namespace tavimo {

namespace {

// The empty class of the type library: an object that answers only IUnknown and its own
// interface id.
class Dummy : public ax::Unknown {
public:
    ax::HResult QueryInterface(const ax::Guid& iid, void** out) override {
        if (out && iid == IID_dummy) {
            AddRef();
            *out = this;
            return ax::S_OK;
        }
        return ax::Unknown::QueryInterface(iid, out);
    }
};

std::string libraryPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DllGetClassObject), &info) && info.dli_fname)
        return info.dli_fname;
    return libraryProfile().fileName;
}

} // namespace

const std::vector<ax::ClassEntry>& libraryClasses() {
    static const std::vector<ax::ClassEntry> classes = {
        {CLSID_ImageBox, "Tavimo.ImageBox", "ImageBox", kImageBoxMiscStatus,
         [] { return ImageBox::create(ImageBox::Kind::ImageBox); }},
        {CLSID_ImageBoxCnt, "Tavimo.ImageBoxCnt", "ImageBoxCnt", kImageBoxCntMiscStatus,
         [] { return ImageBox::create(ImageBox::Kind::ImageBoxCnt); }},
        {CLSID_dummy, "Tavimo.dummy", "dummy", 0,
         [] { return static_cast<ax::Unknown*>(new Dummy); }},
    };
    return classes;
}

} // namespace tavimo

extern "C" {

TAVIMO_API ax::HResult DllGetClassObject(const win::Guid* clsid, const win::Guid* iid, void** out) {
    try {
        if (!clsid || !iid || !out)
            return ax::E_POINTER;
        return ax::getClassObject(tavimo::libraryProfile().classes, *clsid, *iid, out);
    } catch (...) {
        return ax::E_FAIL;
    }
}

TAVIMO_API ax::HResult DllCanUnloadNow() {
    return ax::canUnloadNow();
}

TAVIMO_API ax::HResult DllRegisterServer() {
    try {
        return ax::registerServer(tavimo::libraryProfile().registryName, tavimo::libraryPath(),
                                  tavimo::libraryProfile().classes);
    } catch (...) {
        return ax::SELFREG_E_CLASS;
    }
}

TAVIMO_API ax::HResult DllUnregisterServer() {
    try {
        return ax::unregisterServer(tavimo::libraryProfile().registryName);
    } catch (...) {
        return ax::SELFREG_E_CLASS;
    }
}
}
