#include "safe/SafeImageBox.h"

#include "safe/basSafeCtl.h"
#include "safe/class_ids.h"
#include "safe/object_safety.h"
#include "viewer/class_ids.h"

namespace tavimo {

namespace {

// The empty class of the type library: answers only IUnknown and its own interface.
class SafeDummy : public ax::Unknown {
public:
    ax::HResult QueryInterface(const ax::Guid& iid, void** out) override {
        if (out && iid == IID_SafeDummy) {
            AddRef();
            *out = this;
            return ax::S_OK;
        }
        return ax::Unknown::QueryInterface(iid, out);
    }
};

bool isPlainLibraryInterface(const ax::Guid& iid) {
    return iid == IID_ImageBox || iid == IID_ImageBoxAlias1 || iid == IID_ImageBoxCnt ||
           iid == IID_ImageBoxCntAlias1;
}

} // namespace

ax::Unknown* SafeImageBox::create(Kind kind) {
    auto* box = new SafeImageBox(kind);
    if (ax::Failed(box->ax::UserControl::create())) {
        static_cast<IImageBox*>(box)->Release();
        return nullptr;
    }
    return static_cast<IImageBox*>(box);
}

ax::HResult SafeImageBox::QueryInterface(const ax::Guid& iid, void** out) {
    if (!out)
        return ax::E_POINTER;
    *out = nullptr;
    bool isCnt = kind() == Kind::ImageBoxCnt;
    if (iid == (isCnt ? IID_SafeImageBoxCnt : IID_SafeImageBox) ||
        iid == (isCnt ? IID_SafeImageBoxCntAlias1 : IID_SafeImageBoxAlias1)) {
        AddRef();
        *out = static_cast<IImageBox*>(this);
        return ax::S_OK;
    }
    if (iid == ax::IID_IObjectSafety) {
        ax::IObjectSafety* facet = makeObjectSafetyFacet(static_cast<IImageBox*>(this));
        if (!facet)
            return ax::E_OUTOFMEMORY;
        *out = facet;
        return ax::S_OK;
    }
    if (isPlainLibraryInterface(iid))
        return ax::E_NOINTERFACE;
    return ImageBox::QueryInterface(iid, out);
}

const LibraryProfile& safeLibraryProfile() {
    static const LibraryProfile profile{
        "libtavimos",
        "libtavimos.so",
        {
            {CLSID_SafeImageBox, "TavimoS.ImageBox", "ImageBox", kImageBoxMiscStatus,
             [] {
                 basSafeCtl::RunStartRoutineOnce();
                 return SafeImageBox::create(ImageBox::Kind::ImageBox);
             }},
            {CLSID_SafeImageBoxCnt, "TavimoS.ImageBoxCnt", "ImageBoxCnt", kImageBoxCntMiscStatus,
             [] {
                 basSafeCtl::RunStartRoutineOnce();
                 return SafeImageBox::create(ImageBox::Kind::ImageBoxCnt);
             }},
            {CLSID_SafeDummy, "TavimoS.dummy", "dummy", 0,
             [] {
                 basSafeCtl::RunStartRoutineOnce();
                 return static_cast<ax::Unknown*>(new SafeDummy);
             }},
        }};
    return profile;
}

} // namespace tavimo
