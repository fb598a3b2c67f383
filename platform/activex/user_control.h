#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/activex/constituents.h"
#include "platform/activex/events.h"
#include "platform/activex/property_bag.h"
#include "platform/activex/surface.h"
#include "platform/win/window.h"

namespace ax {

// A picture object (bitmap) as the Picture and MaskPicture properties take it.
class Picture : public Unknown {
public:
    explicit Picture(SurfacePtr image) : m_image(std::move(image)) {}
    // May be null (an empty picture).
    const win::GdiSurface* image() const { return m_image.get(); }

private:
    SurfacePtr m_image;
};

// Data of an OLE drop: the dropped file names when the data carries files.
struct DropData {
    std::optional<std::vector<std::string>> files;
    bool hasFiles() const { return files.has_value(); }
};

// The host side of a control: dirty marking, repaint requests, message boxes.
class ControlSite {
public:
    virtual ~ControlSite() = default;
    // A property changed under this key; the host marks its document dirty.
    virtual void propertyChanged(std::string_view key) { (void)key; }
    // While true, raised events are dropped (not queued).
    virtual bool eventsFrozen() const { return false; }
    // The control's look changed; the host repaints when it likes.
    virtual void invalidate() {}
    // A lifecycle handler failed (ReadProperties, WriteProperties).
    virtual void reportError(const Error& error) { (void)error; }
};

// Message box styles.
inline constexpr uint32_t kMsgBoxOkOnly = 0;
inline constexpr uint32_t kMsgBoxCritical = 16;
inline constexpr uint32_t kMsgBoxExclamation = 48;
inline constexpr uint32_t kMsgBoxInformation = 64;

// The title of message boxes that do not give one.
inline constexpr const char* kApplicationTitle = "Tavimo";

// The base of a control: its window, window properties, persistent drawing,
// constituents, site services and the lifecycle the host drives:
//   create (window exists, then Initialize) -> initNew (InitProperties) or load(bag)
//   (ReadProperties) -> show (Show, then the first Resize) -> ... -> close (Terminate
//   once, while the window still exists; then the window and its timers go).
// save(bag) (WriteProperties) may come at any time. No host call throws.
class UserControl {
public:
    UserControl(std::string className, uint32_t miscStatus);
    virtual ~UserControl();
    UserControl(const UserControl&) = delete;
    UserControl& operator=(const UserControl&) = delete;

    // --- host side ---
    // Creates the control window (hidden, 0 x 0 unless bounds are given) and runs
    // Initialize. E_UNEXPECTED when called twice, E_FAIL when the window cannot be made.
    HResult create(win::HWND parent = 0, const win::WindowRect& bounds = {});
    void setSite(ControlSite* site) { m_site = site; }
    ControlSite* site() const { return m_site; }
    HResult initNew();
    // An error at one key stops the handler there: keys before it stay applied, the
    // error goes to the site, and its code is returned.
    HResult load(PropertyBag& bag);
    HResult save(PropertyBag& bag);
    // Shows the window, runs Show, then the first Resize.
    HResult show();
    // Moves and sizes the control window; a size change runs Resize (once shown).
    HResult move(const win::WindowRect& bounds);
    // Runs Terminate (once in the control's life) and destroys the window.
    void close();
    bool closed() const { return m_closed; }
    // Paints now: Paint handler, then the site is told to repaint.
    void paint();
    // The control rendered into a surface of its window size (null when it has no area).
    SurfacePtr snapshot() const;

    ConnectionPoint& connectionPoint() { return m_events; }
    const std::string& className() const { return m_className; }
    uint32_t miscStatus() const { return m_miscStatus; }

    // --- window and its properties ---
    win::HWND hWnd() const { return m_hwnd; }
    // A GDI DC: the memory DC holding the persistent bitmap while persistent drawing is
    // on (stable across resizes: a resize selects a new bitmap into it), else the
    // window's DC, whose drawing the next paint does not keep.
    uint32_t hDC() const;
    // The surface that drawing through hDC lands in (at least 1 x 1).
    SurfacePtr drawingSurface() const;
    int Width() const { return m_bounds.width; }
    int Height() const { return m_bounds.height; }
    // Client size in pixels inside the border.
    int ScaleWidth() const;
    int ScaleHeight() const;
    int borderThickness() const;
    // The window's own surface (what its DC draws on when drawing is not persistent).
    SurfacePtr windowSurface() const;

    uint32_t BackColor() const { return m_backColor; }
    void setBackColor(uint32_t oleColor);
    int16_t BorderStyle() const { return m_borderStyle; } // 0 none, 1 fixed single
    void setBorderStyle(int32_t v);
    int16_t Appearance() const { return m_appearance; } // 0 flat, 1 3D
    void setAppearance(int32_t v);
    int16_t BackStyle() const { return m_backStyle; } // 0 transparent, 1 opaque
    void setBackStyle(int32_t v);
    bool ClipControls() const { return m_clipControls; }
    void setClipControls(bool v) { m_clipControls = v; }
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool v);
    int32_t MousePointer() const { return m_mousePointer; }
    void setMousePointer(int32_t v) { m_mousePointer = v; }
    ComPtr<Picture> MouseIcon() const { return m_mouseIcon; }
    void setMouseIcon(ComPtr<Picture> icon) { m_mouseIcon = std::move(icon); }
    int32_t OLEDropMode() const { return m_oleDropMode; } // 0 none, 1 manual
    void setOLEDropMode(int32_t v) { m_oleDropMode = v == 1 ? 1 : 0; }
    bool AutoRedraw() const { return m_autoRedraw; }
    void setAutoRedraw(bool v);
    ComPtr<Picture> picture() const { return m_picture; }
    void setPicture(ComPtr<Picture> p);
    ComPtr<Picture> maskPicture() const { return m_maskPicture; }
    void setMaskPicture(ComPtr<Picture> p);
    // Fills the persistent surface with BackColor (and the Picture at 0, 0).
    void Cls();
    // Repaints at once (bars, then the control). A Refresh asked for from inside the
    // paint handler is merged into the paint in progress.
    void Refresh();

    // Injected drop (OLE drag and drop in manual mode); ignored in mode 0.
    void drop(const DropData& data, int32_t effect, int16_t button, int16_t shift, float x,
              float y);

    // --- constituents (owned by the control, created in the derived constructor) ---
    ScrollBar& addScrollBar(const std::string& name, ScrollBar::Orientation orientation);
    Shape& addShape(const std::string& name);
    FocusBox& addFocusBox(const std::string& name);
    ControlTimer& addTimer(const std::string& name, uint32_t intervalMs);
    const std::vector<std::unique_ptr<ScrollBar>>& scrollBars() const { return m_scrollBars; }
    const std::vector<std::unique_ptr<Shape>>& shapes() const { return m_shapes; }
    const std::vector<std::unique_ptr<FocusBox>>& focusBoxes() const { return m_focusBoxes; }

    // Tells the site the look changed.
    void invalidate();

protected:
    // Site services for the derived control.
    void PropertyChanged(std::string_view key);
    // Raises to every advised sink unless the site freezes events. By-reference
    // arguments are passed as Variants in args and read back from there.
    void RaiseEvent(DispId id, std::span<Variant> args = {});
    // Through the process's message sink (win::MsgBox); the title defaults to the
    // library's application title.
    int MsgBox(const std::string& text, uint32_t style = kMsgBoxOkOnly,
               const std::string& title = {});

    // Lifecycle handlers.
    virtual void onInitialize() {}
    virtual void onInitProperties() {}
    virtual void onReadProperties(PropertyBag& bag) { (void)bag; }
    virtual void onWriteProperties(PropertyBag& bag) { (void)bag; }
    virtual void onShow() {}
    virtual void onResize() {}
    virtual void onPaint() {}
    virtual void onTerminate() {}
    // Input handlers of the control surface.
    virtual void onMouseDown(int16_t button, int16_t shift, float x, float y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void onMouseMove(int16_t button, int16_t shift, float x, float y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void onMouseUp(int16_t button, int16_t shift, float x, float y) {
        (void)button, (void)shift, (void)x, (void)y;
    }
    virtual void onClick() {}
    virtual void onDblClick() {}
    virtual void onKeyDown(int16_t& keyCode, int16_t shift) { (void)keyCode, (void)shift; }
    virtual void onKeyUp(int16_t& keyCode, int16_t shift) { (void)keyCode, (void)shift; }
    virtual void onKeyPress(int16_t& keyAscii) { (void)keyAscii; }
    virtual void onGotFocus() {}
    virtual void onLostFocus() {}
    virtual void onOleDragDrop(const DropData& data, int32_t& effect, int16_t button, int16_t shift,
                               float x, float y) {
        (void)data, (void)effect, (void)button, (void)shift, (void)x, (void)y;
    }

private:
    friend class ScrollBar;
    friend class FocusBox;
    friend class ControlTimer;

    win::LRESULT windowProc(win::HWND, uint32_t msg, win::WPARAM, win::LPARAM);
    void runResize();

    std::string m_className;
    uint32_t m_miscStatus;
    ControlSite* m_site = nullptr;
    ConnectionPoint m_events;
    win::HWND m_hwnd = 0;
    win::WindowRect m_bounds;
    bool m_created = false, m_shown = false, m_closed = false, m_terminateRan = false;
    bool m_painting = false, m_repaintPending = false;
    int16_t m_buttonsDown = 0;
    bool m_clickArmed = false;

    uint32_t m_backColor = 0;
    int16_t m_borderStyle = 1, m_appearance = 1, m_backStyle = 1;
    bool m_clipControls = true, m_enabled = true, m_autoRedraw = false;
    int32_t m_mousePointer = 0, m_oleDropMode = 0;
    ComPtr<Picture> m_mouseIcon, m_picture, m_maskPicture;
    void resizePersistent();
    SurfacePtr m_persistent; // the bitmap selected into m_persistentDc
    uint32_t m_persistentDc = 0, m_persistentBitmap = 0;
    mutable SurfacePtr m_windowSurface;
    mutable uint32_t m_windowDc = 0;

    std::vector<std::unique_ptr<ScrollBar>> m_scrollBars;
    std::vector<std::unique_ptr<Shape>> m_shapes;
    std::vector<std::unique_ptr<FocusBox>> m_focusBoxes;
    std::vector<std::unique_ptr<ControlTimer>> m_timers;
};

// The Shift argument of input events from the thread's key state: 1 shift, 2 ctrl, 4 alt.
int16_t currentShiftState();

// Renders the control into a new surface of its window size (null when it has no area):
// background (BackColor when opaque) or the persistent surface, the Picture when drawing
// is not persistent, the shapes, visible scroll bars and focus boxes, the border; with
// BackStyle 0 the MaskPicture's alpha-0 pixels become transparent holes.
SurfacePtr composite(const UserControl& control);

} // namespace ax
