#include <cmath>
#include <cstdlib>

#include "core/image_table.h"
#include "platform/win/files.h"
#include "platform/win/system_info.h"
#include "platform/win/timer.h"
#include "viewer/ImageBox.h"
#include "viewer/class_ids.h"
#include "viewer/wheel_hook.h"

namespace tavimo {

namespace {
constexpr double kVersion = 5.9901307;
constexpr int32_t kQualityIntervalMs = 1000;
} // namespace

ImageBox::ImageBox(Kind kind)
    : ax::UserControl(kind == Kind::ImageBox ? "ImageBox" : "ImageBoxCnt",
                      kind == Kind::ImageBox ? kImageBoxMiscStatus : kImageBoxCntMiscStatus),
      m_kind(kind) {
    // The constituents with their design-time values, equal to the property defaults so
    // that a new instance and one read from an empty bag are the same.
    m_HScroll = &addScrollBar("HScroll", ax::ScrollBar::Orientation::Horizontal);
    m_VScroll = &addScrollBar("VScroll", ax::ScrollBar::Orientation::Vertical);
    for (ax::ScrollBar* bar : {m_HScroll, m_VScroll}) {
        bar->setSmallChange(1);
        bar->setLargeChange(50);
    }
    m_shCorner = &addFocusBox("shCorner");
    m_shRect = &addShape("shRect");
    m_shRect->setBorderStyle(1);
    m_shRect->setDrawMode(13);
    m_shRect->setBorderColor(0);
    m_shRect->setBorderWidth(1);
    m_TmQual = &addTimer("TmQual", kQualityIntervalMs);
    wireConstituents();

    setBorderStyle(1);
    setAppearance(1);
    setBackStyle(1);
    setBackColor(0);
    setClipControls(true);
    // The view is kept in the persistent picture; painting only tells the host.
    setAutoRedraw(true);

    m_HScroll->onGotFocus = [this] { m_s.m_FocusOwner = 2; };
    m_HScroll->onLostFocus = [this] {
        if (m_s.m_FocusOwner == 2)
            m_s.m_FocusOwner = 0;
    };
    m_VScroll->onGotFocus = [this] { m_s.m_FocusOwner = 3; };
    m_VScroll->onLostFocus = [this] {
        if (m_s.m_FocusOwner == 3)
            m_s.m_FocusOwner = 0;
    };
    m_shCorner->onGotFocus = [this] { m_s.m_FocusOwner = 4; };
    m_shCorner->onLostFocus = [this] {
        if (m_s.m_FocusOwner == 4)
            m_s.m_FocusOwner = 0;
    };
}

ImageBox::~ImageBox() {
    // The framework's Terminate must run while the derived handlers still exist.
    close();
}

ax::Unknown* ImageBox::create(Kind kind) {
    auto* box = new ImageBox(kind);
    if (ax::Failed(box->ax::UserControl::create())) {
        static_cast<IImageBox*>(box)->Release();
        return nullptr;
    }
    return static_cast<IImageBox*>(box);
}

void ImageBox::finalRelease() {
    close();
}

ax::HResult ImageBox::QueryInterface(const ax::Guid& iid, void** out) {
    if (!out)
        return ax::E_POINTER;
    *out = nullptr;
    bool isCnt = m_kind == Kind::ImageBoxCnt;
    if (iid == (isCnt ? IID_ImageBoxCnt : IID_ImageBox) ||
        iid == (isCnt ? IID_ImageBoxCntAlias1 : IID_ImageBoxAlias1)) {
        AddRef();
        *out = static_cast<IImageBox*>(this);
        return ax::S_OK;
    }
    if (iid == ax::IID_AxUserControl) {
        AddRef();
        *out = static_cast<ax::UserControl*>(this);
        return ax::S_OK;
    }
    if (iid == ax::IID_IPersistPropertyBag) {
        // The property-bag persistence goes through the framework facet.
        AddRef();
        *out = static_cast<ax::UserControl*>(this);
        return ax::S_OK;
    }
    return IImageBox::QueryInterface(iid, out);
}

ax::HResult ImageBox::GetIDsOfNames(std::string_view name, ax::DispId& id) {
    return imageBoxDispatchTable().getIDsOfNames(name, id);
}

ax::HResult ImageBox::Invoke(ax::DispId id, ax::InvokeKind kind, std::span<ax::Variant> args,
                             ax::Variant* result, ax::ExcepInfo* excep, uint32_t* argError) {
    // Hold a reference for the call: a member may make the host release the control.
    ax::ComPtr<IImageBox> hold = ax::ComPtr<IImageBox>::share(this);
    return imageBoxDispatchTable().invoke(*this, id, kind, args, result, excep, argError);
}

const ax::TypeInfo& ImageBox::typeInfo() const {
    if (m_kind == Kind::ImageBox)
        return imageBoxDispatchTable().typeInfo();
    // Same members and events under the container class's interface names.
    static const ax::TypeInfo cnt = [] {
        ax::TypeInfo t = imageBoxDispatchTable().typeInfo();
        t.interfaceName = "_ImageBoxCnt";
        t.eventInterfaceName = "__ImageBoxCnt";
        return t;
    }();
    return cnt;
}

void ImageBox::raise(ImageBoxEvent id, std::span<ax::Variant> args) {
    RaiseEvent(static_cast<ax::DispId>(id), args);
}

// --- lifecycle ---

void ImageBox::onInitialize() {
    try {
        m_s.m_HttpBufferSize = 4096;
        m_s.m_FtpPassiveMode = true;

        m_s.m_ImageHeight = 0;
        m_s.m_ImageWidth = 0;
        m_s.m_VerticalResolution = 0;
        m_s.m_HorizontalResolution = 0;
        m_s.m_AspectRatio = 1.0;
        m_s.m_ImageTop = 0;
        m_s.m_ImageLeft = 0;
        m_s.m_ZoomedWidth = 0;
        m_s.m_ZoomedHeight = 0;
        m_s.m_PageCount = 0;
        m_s.m_CurrentPage = 0;
        m_s.m_LastStatus = 0;
        m_s.m_MaxZoom = 1.0;
        m_s.m_RealignH = true;
        m_s.m_RealignV = true;
        m_s.m_WheelHooked = false;
        m_s.m_ScrollEventsOn = true;
        m_s.m_ScrollKeyPending = false;
        m_s.m_ImageId = 0;
        m_s.m_LastDrawnImageId = 0;
        m_s.m_WorkImageId = 0;
        m_s.m_WorkFrame = 0;

        m_s.m_TempCopyPath = ownTempCopyPath();
        m_s.m_TempCopyInUse = false;
        m_s.m_EdgePagingLatch = false;

        m_s.m_OSVersion = static_cast<float>(win::kOsVersion);

        StartGdiPlus();
        m_s.m_FirstLayout = true;
    } catch (const std::exception& e) {
        m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::GenericError);
        if (!m_s.m_SilentMode)
            MsgBox(std::string("Init Error: ") + e.what());
    }
}

void ImageBox::onShow() {
    ClearRect();
    UpdateScrollBarRanges();
    UpdateScrollBarVisibility();
    if (m_s.m_MousePointer != 0) {
        m_s.m_PointerSet = true;
        setMousePointer(m_s.m_MousePointer);
    }
}

void ImageBox::onTerminate() {
    Shutdown();
}

void ImageBox::Terminate() {
    try {
        Shutdown();
    } catch (...) {
    }
}

void ImageBox::Shutdown() {
    if (m_s.m_Terminated)
        return;
    // Each step on its own: a failing one does not keep the others from running.
    try {
        ClearWheelHookFlags();
    } catch (...) {
    }
    try {
        KillFrameTimer();
        m_TmQual->setEnabled(false);
    } catch (...) {
    }
    try {
        FreeWorkImage();
        if (m_s.m_TempCopyInUse) {
            ReleaseImage(m_s.m_ImageId);
            DeleteTempCopy();
        }
    } catch (...) {
    }
    try {
        StopGdiPlus();
    } catch (...) {
    }
    m_s.m_ImageId = 0;
    try {
        if (std::fabs(m_s.m_OSVersion - 4.1f) > 1e-6f)
            StopWheelHook();
    } catch (...) {
    }
    m_s.m_Terminated = true;
}

// --- state members ---

QuennetStatus ImageBox::GetStat() {
    return static_cast<QuennetStatus>(m_s.m_LastStatus);
}

double ImageBox::GetVersion() {
    return kVersion;
}

void ImageBox::SetBackGroundColor(int32_t nRGBColor) {
    try {
        setBackColor(static_cast<uint32_t>(nRGBColor));
    } catch (...) {
    }
}

int32_t ImageBox::get_hwnd() {
    return static_cast<int32_t>(hWnd());
}

int32_t ImageBox::get_hdc() {
    try {
        return static_cast<int32_t>(hDC());
    } catch (...) {
        return 0;
    }
}

bool ImageBox::get_HScrollVisible() {
    return m_HScroll->Visible();
}
void ImageBox::put_HScrollVisible(bool) {}
bool ImageBox::get_VScrollVisible() {
    return m_VScroll->Visible();
}
void ImageBox::put_VScrollVisible(bool) {}

// --- helpers that later parts complete ---

void ImageBox::KillFrameTimer() {
    if (m_s.m_FrameTimerId != 0 && hWnd() != 0)
        win::KillTimer(hWnd(), m_s.m_FrameTimerId);
    m_s.m_FrameTimerId = 0;
    m_s.m_GifPlaying = false;
}

void ImageBox::FreeWorkImage() {
    if (m_s.m_WorkImageId != 0)
        ReleaseImage(m_s.m_WorkImageId);
    m_s.m_WorkImageId = 0;
    m_s.m_WorkFrame = 0;
}

void ImageBox::DeleteTempCopy() {
    if (!m_s.m_TempCopyInUse)
        return;
    if (!m_s.m_TempCopyPath.empty())
        win::deleteFileQuietly(m_s.m_TempCopyPath);
    m_s.m_TempCopyInUse = false;
    // A byte-array load points the path at its own file; the next copy is the control's.
    m_s.m_TempCopyPath = ownTempCopyPath();
}

std::string ImageBox::ownTempCopyPath() const {
    // hwnd is a positive 32-bit handle, so its absolute value is itself.
    return win::GetTempFolder() + std::to_string(std::llabs(static_cast<int64_t>(hWnd())));
}

} // namespace tavimo
