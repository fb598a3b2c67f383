#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/activex/class_factory.h"
#include "platform/activex/user_control.h"
#include "viewer/IImageBox.h"

namespace tavimo {

class cInet;

// The instance state record shared by every part of the control. Fields that back a
// persisted property are named after it; all start at the property table's defaults, so
// a bag that fails at some key leaves the later properties at their defaults.
struct ImageBoxState {
    // Persisted.
    bool m_ScrollBars = true;
    double m_Zoom = 1.0;
    int32_t m_ImageWidth = 0;
    int32_t m_ImageHeight = 0;
    int32_t m_MouseMode = 2;
    int32_t m_ZoomStep = 10;
    int16_t m_ScrollSmallChange = 1;
    int16_t m_ScrollLargeChange = 50;
    float m_VerticalResolution = 0;
    float m_HorizontalResolution = 0;
    int32_t m_PageCount = 0;
    int32_t m_CurrentPage = 0;
    bool m_SilentMode = false;
    bool m_ImageForceTemporaryMode = false;
    bool m_SkipImageResolution = false;
    bool m_LockControl = false;
    int32_t m_ZoomMode = 1;
    int32_t m_RectBorderStyle = 1;
    int32_t m_RectDrawMode = 13;
    bool m_Enabled = true;
    bool m_EnableMouseWheel = true;
    int32_t m_ImageAlignment = 2;
    int32_t m_ImagePosition = 2;
    bool m_AnimateGIF = false;
    bool m_ScrollOptimization = false;
    int32_t m_ViewerQuality = 4;
    bool m_ViewerQualityAuto = false;
    bool m_ForcePictureMode = false;
    bool m_KeepImagePosition = false;
    int32_t m_MouseWheelMode = 0;
    bool m_ViewerDrop = false;
    bool m_DisableAutoFocus = false;
    int32_t m_MousePointer = 0;
    bool m_ForceScrollBars = false;
    int32_t m_ImageMaskColor = 65536;
    float m_Gamma = 1.0f;
    bool m_RectIsEditable = true;
    bool m_ContinuousViewMode = true;
    int32_t m_MouseButtonForMouseMode = 1;
    bool m_OptimizeDrawingSpeed = false;

    // Run time.
    int32_t m_ImageId = 0;
    int32_t m_LastDrawnImageId = 0;
    int32_t m_WorkImageId = 0;
    int32_t m_WorkFrame = 0;
    std::string m_TempCopyPath;
    bool m_TempCopyInUse = false;
    double m_AspectRatio = 1.0;
    int32_t m_LastStatus = 0;
    double m_MaxZoom = 1.0;
    double m_LastLayoutZoom = 0;
    int32_t m_ImageLeft = 0, m_ImageTop = 0;
    int32_t m_ZoomedWidth = 0, m_ZoomedHeight = 0;
    int32_t m_DisplayedLeft = 0, m_DisplayedTop = 0, m_DisplayedWidth = 0, m_DisplayedHeight = 0;
    int32_t m_ZoomAreaLeft = 0, m_ZoomAreaTop = 0, m_ZoomAreaWidth = 0, m_ZoomAreaHeight = 0;
    bool m_RealignH = true, m_RealignV = true;
    bool m_ScrollEventsOn = true;
    bool m_ScrollKeyPending = false;
    int16_t m_SavedHValue = 0, m_SavedVValue = 0;
    bool m_QualityPass = false;
    bool m_RenderFailed = false;
    // The last status is a refused argument (ZoomArea), which must not stop later layouts.
    bool m_ArgumentRefused = false;
    bool m_LayoutSinceOpen = false;
    bool m_FirstLayout = true;
    float m_OSVersion = 0;
    bool m_Terminated = false;
    bool m_WheelHooked = false;
    bool m_TransferBusy = false;
    bool m_FtpPassiveMode = true;
    int32_t m_HttpBufferSize = 4096;
    int32_t m_FocusOwner = 0; // 0 none, 1 control, 2 HScroll, 3 VScroll, 4 shCorner
    bool m_PointerSet = false;
    int32_t m_RectLeft = 0, m_RectTop = 0, m_RectWidth = 0, m_RectHeight = 0;
    bool m_RectDrawn = false;
    int32_t m_MouseX = 0, m_MouseY = 0;
    bool m_EdgePaging = false, m_EdgePagingLatch = false;
    std::vector<int32_t> m_FrameDelays;
    int32_t m_GifLoopCounter = 0;
    uintptr_t m_FrameTimerId = 0;
    bool m_GifPlaying = false;
    bool m_IsAnimatedGif = false;

    // Mouse press cycle: the anchor in control pixels, what the press is doing, where it
    // started relative to the image, and the part of the rectangle last under the mouse
    // (1..4 corners TL, TR, BL, BR; 5 left, 6 right, 7 bottom, 8 top edge; 9 inside).
    int32_t m_DownX = 0, m_DownY = 0;
    bool m_DrawingRect = false, m_EditingRect = false, m_Panning = false;
    bool m_DownOutsideX = true, m_DownOutsideY = true;
    int32_t m_RectHandle = 0;
};

struct FrameTimerLink;

// The viewer control. One implementation serves both classes; ImageBoxCnt differs only
// in its identity (class name, class and interface ids, misc status with the simple-frame
// bit) and may parent host windows.
//
// Members whose behaviour belongs to the display, layout, rendering, operations, frames,
// input and download parts of the control are declared with their final signatures; until
// those parts are built they return QuennetStatus::NotImplemented (without changing the
// last status), 0, an empty string, or do nothing.
class ImageBox : public IImageBox, public ax::UserControl {
public:
    enum class Kind { ImageBox, ImageBoxCnt };

    explicit ImageBox(Kind kind);
    ~ImageBox() override;

    static ax::Unknown* create(Kind kind);

    // Facets: IUnknown, IDispatch, the class interface and its aliases (IImageBox*),
    // IPersistPropertyBag and the framework facet (ax::UserControl*).
    ax::HResult QueryInterface(const ax::Guid& iid, void** out) override;
    ax::HResult GetIDsOfNames(std::string_view name, ax::DispId& id) override;
    ax::HResult Invoke(ax::DispId id, ax::InvokeKind kind, std::span<ax::Variant> args,
                       ax::Variant* result, ax::ExcepInfo* excep = nullptr,
                       uint32_t* argError = nullptr) override;
    const ax::TypeInfo& typeInfo() const override;

    Kind kind() const { return m_kind; }
    const ImageBoxState& state() const { return m_s; }
    ax::ScrollBar& hScroll() { return *m_HScroll; }
    ax::ScrollBar& vScroll() { return *m_VScroll; }
    ax::Shape& rectShape() { return *m_shRect; }
    ax::FocusBox& cornerBox() { return *m_shCorner; }
    ax::ControlTimer& qualityTimer() { return *m_TmQual; }
    // The timer procedure that ran the last GIF frame tick ("FrameTimerProc" or
    // "FrameTimerProcCnt"); empty before the first.
    std::string frameTimerProcedure() const;
    // The interpolation mode the last successful draw used; -1 before the first.
    int32_t lastDrawInterpolation() const { return m_drawnInterpolation; }

    // The cursor resource shown as the mouse icon: 103 (pan while dragging), 104 (pan at
    // rest), -1 an icon of SetMouseIcon, 0 none.
    int32_t mouseIconResource() const { return m_mouseIconResource; }

    // Every persisted key, in the order WriteProperties writes them.
    static const std::vector<std::string>& persistedKeys();
    // The keys in the order ReadProperties reads them.
    static const std::vector<std::string>& readOrderKeys();
    // The value of a persisted property as it would be saved.
    ax::Variant persistedValue(const std::string& key) const;

#define TAVIMO_PROPERTY(name, type)                                                                \
    type get_##name() override;                                                                    \
    void put_##name(type value) override;
#define TAVIMO_PROPERTY_RO(name, type) type get_##name() override;
#define TAVIMO_METHOD(name, result, params, spec) result name params override;
#include "viewer/member_table.def"
#undef TAVIMO_PROPERTY
#undef TAVIMO_PROPERTY_RO
#undef TAVIMO_METHOD

protected:
    void onInitialize() override;
    void onInitProperties() override;
    void onReadProperties(ax::PropertyBag& bag) override;
    void onWriteProperties(ax::PropertyBag& bag) override;
    void onShow() override;
    void onResize() override;
    void onPaint() override;
    void onTerminate() override;
    void finalRelease() override;

    // Input of the control surface.
    void onMouseDown(int16_t button, int16_t shift, float x, float y) override;
    void onMouseMove(int16_t button, int16_t shift, float x, float y) override;
    void onMouseUp(int16_t button, int16_t shift, float x, float y) override;
    void onClick() override;
    void onDblClick() override;
    void onKeyDown(int16_t& keyCode, int16_t shift) override;
    void onKeyUp(int16_t& keyCode, int16_t shift) override;
    void onKeyPress(int16_t& keyAscii) override;
    void onGotFocus() override;
    void onLostFocus() override;
    void onOleDragDrop(const ax::DropData& data, int32_t& effect, int16_t button, int16_t shift,
                       float x, float y) override;

private:
    struct PersistedProperty;
    static const std::vector<PersistedProperty>& persistedTable();

    void Shutdown();
    void raise(ImageBoxEvent id, std::span<ax::Variant> args = {});
    void wireConstituents();

    // Image sources and adoption.
    QuennetStatus displayFile(const std::string& path, bool icm, bool allowTempCopy);
    // The end of every display member: page 1, adoption and layout when `status` is 0.
    QuennetStatus adoptLoaded(int32_t status);
    int32_t DisplayFromBytes(const std::vector<uint8_t>& bytes, bool icm);
    void CloseCurrentImage(bool keepInformation);
    void InitImageInfo(int32_t id = 0);
    void FreeDisplayedImage();
    int32_t GetWorkImage() const;
    int32_t LoadCurrentFrame();
    std::string ownTempCopyPath() const;

    // Image operations, frames and GIF playback.
    QuennetStatus RotateFlipImage(int32_t type);
    void StartFrameTimer(int32_t delayMs);
    void OnFrameTimer(bool advance = true);
    uintptr_t GetFrameTimerID() const {
        return m_s.m_FrameTimerId;
    }
    uintptr_t frameTimerIdentifier() const {
        return reinterpret_cast<uintptr_t>(this);
    }
    static void FrameTimerProc(win::HWND hwnd, uint32_t msg, uintptr_t id, uint32_t time);
    static void FrameTimerProcCnt(win::HWND hwnd, uint32_t msg, uintptr_t id, uint32_t time);
    static void runFrameTimer(const char* procedure, win::HWND hwnd, uintptr_t id);

    // Layout, zoom and scrolling.
    void ComputeMaxZoom();
    void UpdateLayout(int32_t id = 0);
    void UpdateScrollBarRanges();
    void UpdateScrollBarVisibility();
    void onBarChange(bool horizontal);
    void onBarKeyDown();
    int32_t barWidth() const;  // Vw
    int32_t barHeight() const; // Hh
    int32_t viewWidth() const;
    int32_t viewHeight() const;

    // Rendering.
    void RenderView(int32_t id, bool qualityPass);
    ax::ComPtr<ax::Picture> DrawImageGdip(int32_t viewW, int32_t viewH, int32_t id, int32_t dstX,
                                          int32_t dstY, int32_t dstW, int32_t dstH, int32_t srcX,
                                          int32_t srcY, int32_t srcW, int32_t srcH);
    int32_t drawNormal(int32_t id, int32_t viewW, int32_t viewH, int32_t interpolation);
    void onQualityTimer();

    // Internet loading.
    void onPacketReceived(cInet& inet, int32_t nPercentProgress, int32_t nLeftToTransfer,
                          int32_t nTotalLength);

    void ApplyMousePointer();
    // Mouse, keyboard and the selection rectangle.
    void UpdateMousePosition(float x, float y);
    void SaveRectState();
    void PlaceRectShape(int32_t left, int32_t top, int32_t width, int32_t height);
    bool HitTestRect(int32_t x, int32_t y) const;
    void hoverRect(int32_t x, int32_t y);
    void dragRectHandle(int32_t x, int32_t y);
    void dragRubberBand(int32_t x, int32_t y);
    void pan(int32_t x, int32_t y);
    void pageAcrossEdge(bool next);
    void wheelAction(bool up);
    void setPanCursor(int32_t resource);
    void KillFrameTimer();
    void FreeWorkImage();
    void DeleteTempCopy();
    void StartWheelHook();
    void StopWheelHook();

    Kind m_kind;
    ImageBoxState m_s;
    ax::ScrollBar* m_HScroll;
    ax::ScrollBar* m_VScroll;
    ax::FocusBox* m_shCorner;
    ax::Shape* m_shRect;
    ax::ControlTimer* m_TmQual;
    // Ties the frame timer's identifier to this control while it lives.
    std::shared_ptr<FrameTimerLink> m_frameTimerLink;
    bool m_restoringBars = false;      // the bars are being put back after a key
    int32_t m_drawnInterpolation = -1; // the interpolation of the last draw (tests, host)
    std::shared_ptr<cInet> m_inet;     // the running HTTP transfer
    int32_t m_mouseIconResource = 0;
};

// The misc-status flags of each class.
// Recompose on resize, can't link inside, inside-out, activate when visible, set client site
// first.
inline constexpr uint32_t kImageBoxMiscStatus = 0x00020191;
inline constexpr uint32_t kImageBoxCntMiscStatus = kImageBoxMiscStatus | ax::OLEMISC_SIMPLEFRAME;

} // namespace tavimo
