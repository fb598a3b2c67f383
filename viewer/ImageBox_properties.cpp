#include <functional>

#include "viewer/ImageBox.h"

namespace tavimo {

using ax::Variant;

// One persisted property: its key and default, how its value is saved, and how a read
// value is applied (with the side effects reading has).
struct ImageBox::PersistedProperty {
    const char* key;
    Variant defaultValue;
    std::function<Variant(const ImageBox&)> save;
    std::function<void(ImageBox&, const Variant&)> apply;
};

namespace {

template <class T> Variant v(T value) {
    return Variant(value);
}

} // namespace

const std::vector<ImageBox::PersistedProperty>& ImageBox::persistedTable() {
    using B = ImageBox;
    static const std::vector<PersistedProperty> table = {
        {"ScrollBars", v(true), [](const B& b) { return v(b.m_s.m_ScrollBars); },
         [](B& b, const Variant& x) { b.m_s.m_ScrollBars = x.toBool(); }},
        {"Zoom", v(1.0), [](const B& b) { return v(b.m_s.m_Zoom); },
         [](B& b, const Variant& x) { b.m_s.m_Zoom = x.toDouble(); }},
        {"ImageWidth", v(int32_t{0}), [](const B& b) { return v(b.m_s.m_ImageWidth); },
         [](B& b, const Variant& x) { b.m_s.m_ImageWidth = x.toLong(); }},
        {"ImageHeight", v(int32_t{0}), [](const B& b) { return v(b.m_s.m_ImageHeight); },
         [](B& b, const Variant& x) { b.m_s.m_ImageHeight = x.toLong(); }},
        {"MouseMode", v(int32_t{2}), [](const B& b) { return v(b.m_s.m_MouseMode); },
         [](B& b, const Variant& x) { b.m_s.m_MouseMode = x.toLong(); }},
        {"ZoomStep", v(int32_t{10}), [](const B& b) { return v(b.m_s.m_ZoomStep); },
         [](B& b, const Variant& x) { b.m_s.m_ZoomStep = x.toLong(); }},
        {"ScrollSmallChange", v(int16_t{1}),
         [](const B& b) { return v(b.m_s.m_ScrollSmallChange); },
         [](B& b, const Variant& x) {
             b.m_s.m_ScrollSmallChange = x.toInteger();
             b.m_HScroll->setSmallChange(b.m_s.m_ScrollSmallChange);
             b.m_VScroll->setSmallChange(b.m_s.m_ScrollSmallChange);
         }},
        {"ScrollLargeChange", v(int16_t{50}),
         [](const B& b) { return v(b.m_s.m_ScrollLargeChange); },
         [](B& b, const Variant& x) {
             b.m_s.m_ScrollLargeChange = x.toInteger();
             b.m_HScroll->setLargeChange(b.m_s.m_ScrollLargeChange);
             b.m_VScroll->setLargeChange(b.m_s.m_ScrollLargeChange);
         }},
        {"VerticalResolution", v(0.0f), [](const B& b) { return v(b.m_s.m_VerticalResolution); },
         [](B& b, const Variant& x) { b.m_s.m_VerticalResolution = x.toSingle(); }},
        {"HorizontalResolution", v(0.0f),
         [](const B& b) { return v(b.m_s.m_HorizontalResolution); },
         [](B& b, const Variant& x) { b.m_s.m_HorizontalResolution = x.toSingle(); }},
        {"PageCount", v(int32_t{0}), [](const B& b) { return v(b.m_s.m_PageCount); },
         [](B& b, const Variant& x) { b.m_s.m_PageCount = x.toLong(); }},
        {"CurrentPage", v(int32_t{0}), [](const B& b) { return v(b.m_s.m_CurrentPage); },
         [](B& b, const Variant& x) { b.m_s.m_CurrentPage = x.toLong(); }},
        {"SilentMode", v(false), [](const B& b) { return v(b.m_s.m_SilentMode); },
         [](B& b, const Variant& x) { b.m_s.m_SilentMode = x.toBool(); }},
        {"ImageForceTemporaryMode", v(false),
         [](const B& b) { return v(b.m_s.m_ImageForceTemporaryMode); },
         [](B& b, const Variant& x) { b.m_s.m_ImageForceTemporaryMode = x.toBool(); }},
        {"SkipImageResolution", v(false), [](const B& b) { return v(b.m_s.m_SkipImageResolution); },
         [](B& b, const Variant& x) { b.m_s.m_SkipImageResolution = x.toBool(); }},
        {"LockControl", v(false), [](const B& b) { return v(b.m_s.m_LockControl); },
         [](B& b, const Variant& x) { b.m_s.m_LockControl = x.toBool(); }},
        {"ZoomMode", v(int32_t{1}), [](const B& b) { return v(b.m_s.m_ZoomMode); },
         [](B& b, const Variant& x) { b.m_s.m_ZoomMode = x.toLong(); }},
        {"RectBorderStyle", v(int32_t{1}), [](const B& b) { return v(b.m_s.m_RectBorderStyle); },
         [](B& b, const Variant& x) {
             b.m_s.m_RectBorderStyle = x.toLong();
             b.m_shRect->setBorderStyle(b.m_s.m_RectBorderStyle);
         }},
        {"RectDrawMode", v(int32_t{13}), [](const B& b) { return v(b.m_s.m_RectDrawMode); },
         [](B& b, const Variant& x) {
             b.m_s.m_RectDrawMode = x.toLong();
             b.m_shRect->setDrawMode(b.m_s.m_RectDrawMode);
         }},
        {"Enabled", v(true), [](const B& b) { return v(b.m_s.m_Enabled); },
         [](B& b, const Variant& x) {
             b.m_s.m_Enabled = x.toBool();
             b.setEnabled(b.m_s.m_Enabled);
         }},
        {"EnableMouseWheel", v(true), [](const B& b) { return v(b.m_s.m_EnableMouseWheel); },
         [](B& b, const Variant& x) { b.m_s.m_EnableMouseWheel = x.toBool(); }},
        {"ImageAlignment", v(int32_t{2}), [](const B& b) { return v(b.m_s.m_ImageAlignment); },
         [](B& b, const Variant& x) { b.m_s.m_ImageAlignment = x.toLong(); }},
        {"ImagePosition", v(int32_t{2}), [](const B& b) { return v(b.m_s.m_ImagePosition); },
         [](B& b, const Variant& x) { b.m_s.m_ImagePosition = x.toLong(); }},
        {"AnimateGIF", v(false), [](const B& b) { return v(b.m_s.m_AnimateGIF); },
         [](B& b, const Variant& x) { b.m_s.m_AnimateGIF = x.toBool(); }},
        {"RectBorderSize", v(int16_t{1}), [](const B& b) { return v(b.m_shRect->BorderWidth()); },
         [](B& b, const Variant& x) { b.m_shRect->setBorderWidth(x.toInteger()); }},
        {"ClipControls", v(true), [](const B& b) { return v(b.ClipControls()); },
         [](B& b, const Variant& x) { b.setClipControls(x.toBool()); }},
        {"RectBorderColor", v(int32_t{0}),
         [](const B& b) { return v(static_cast<int32_t>(b.m_shRect->BorderColor())); },
         [](B& b, const Variant& x) {
             b.m_shRect->setBorderColor(static_cast<uint32_t>(x.toLong()));
         }},
        {"BorderStyle", v(int16_t{1}), [](const B& b) { return v(b.BorderStyle()); },
         [](B& b, const Variant& x) { b.setBorderStyle(x.toInteger()); }},
        {"Appearance", v(int16_t{1}), [](const B& b) { return v(b.Appearance()); },
         [](B& b, const Variant& x) { b.setAppearance(x.toInteger()); }},
        {"BackStyle", v(int16_t{1}), [](const B& b) { return v(b.BackStyle()); },
         [](B& b, const Variant& x) { b.setBackStyle(x.toInteger()); }},
        {"BackColor", v(int32_t{0}),
         [](const B& b) { return v(static_cast<int32_t>(b.BackColor())); },
         [](B& b, const Variant& x) { b.setBackColor(static_cast<uint32_t>(x.toLong())); }},
        {"ScrollOptimization", v(false), [](const B& b) { return v(b.m_s.m_ScrollOptimization); },
         [](B& b, const Variant& x) { b.m_s.m_ScrollOptimization = x.toBool(); }},
        {"ViewerQuality", v(int32_t{4}), [](const B& b) { return v(b.m_s.m_ViewerQuality); },
         [](B& b, const Variant& x) { b.m_s.m_ViewerQuality = x.toLong(); }},
        {"ViewerQualityAuto", v(false), [](const B& b) { return v(b.m_s.m_ViewerQualityAuto); },
         [](B& b, const Variant& x) { b.m_s.m_ViewerQualityAuto = x.toBool(); }},
        {"ForcePictureMode", v(false), [](const B& b) { return v(b.m_s.m_ForcePictureMode); },
         [](B& b, const Variant& x) { b.m_s.m_ForcePictureMode = x.toBool(); }},
        {"KeepImagePosition", v(false), [](const B& b) { return v(b.m_s.m_KeepImagePosition); },
         [](B& b, const Variant& x) { b.m_s.m_KeepImagePosition = x.toBool(); }},
        {"MouseWheelMode", v(int32_t{0}), [](const B& b) { return v(b.m_s.m_MouseWheelMode); },
         [](B& b, const Variant& x) { b.m_s.m_MouseWheelMode = x.toLong(); }},
        {"ViewerDrop", v(false), [](const B& b) { return v(b.m_s.m_ViewerDrop); },
         [](B& b, const Variant& x) {
             b.m_s.m_ViewerDrop = x.toBool();
             b.setOLEDropMode(b.m_s.m_ViewerDrop ? 1 : 0);
         }},
        {"DisableAutoFocus", v(false), [](const B& b) { return v(b.m_s.m_DisableAutoFocus); },
         [](B& b, const Variant& x) { b.m_s.m_DisableAutoFocus = x.toBool(); }},
        {"MousePointer", v(int32_t{0}), [](const B& b) { return v(b.m_s.m_MousePointer); },
         [](B& b, const Variant& x) { b.m_s.m_MousePointer = x.toLong(); }},
        {"ForceScrollBars", v(false), [](const B& b) { return v(b.m_s.m_ForceScrollBars); },
         [](B& b, const Variant& x) { b.m_s.m_ForceScrollBars = x.toBool(); }},
        {"ImageMaskColor", v(int32_t{65536}), [](const B& b) { return v(b.m_s.m_ImageMaskColor); },
         [](B& b, const Variant& x) { b.m_s.m_ImageMaskColor = x.toLong(); }},
        {"Gamma", v(1.0f), [](const B& b) { return v(b.m_s.m_Gamma); },
         [](B& b, const Variant& x) { b.m_s.m_Gamma = x.toSingle(); }},
        {"RectIsEditable", v(true), [](const B& b) { return v(b.m_s.m_RectIsEditable); },
         [](B& b, const Variant& x) { b.m_s.m_RectIsEditable = x.toBool(); }},
        {"ContinuousViewMode", v(true), [](const B& b) { return v(b.m_s.m_ContinuousViewMode); },
         [](B& b, const Variant& x) { b.m_s.m_ContinuousViewMode = x.toBool(); }},
        {"MouseButtonForMouseMode", v(int32_t{1}),
         [](const B& b) { return v(b.m_s.m_MouseButtonForMouseMode); },
         [](B& b, const Variant& x) { b.m_s.m_MouseButtonForMouseMode = x.toLong(); }},
        {"OptimizeDrawingSpeed", v(false),
         [](const B& b) { return v(b.m_s.m_OptimizeDrawingSpeed); },
         [](B& b, const Variant& x) { b.m_s.m_OptimizeDrawingSpeed = x.toBool(); }},
    };
    return table;
}

const std::vector<std::string>& ImageBox::persistedKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k;
        for (const auto& p : persistedTable())
            k.emplace_back(p.key);
        return k;
    }();
    return keys;
}

const std::vector<std::string>& ImageBox::readOrderKeys() {
    static const std::vector<std::string> keys = {"ScrollBars",
                                                  "Zoom",
                                                  "ImageWidth",
                                                  "ImageHeight",
                                                  "MouseMode",
                                                  "ZoomStep",
                                                  "VerticalResolution",
                                                  "HorizontalResolution",
                                                  "PageCount",
                                                  "CurrentPage",
                                                  "SilentMode",
                                                  "ImageForceTemporaryMode",
                                                  "SkipImageResolution",
                                                  "LockControl",
                                                  "ZoomMode",
                                                  "EnableMouseWheel",
                                                  "ImageAlignment",
                                                  "ImagePosition",
                                                  "AnimateGIF",
                                                  "Enabled",
                                                  "ScrollSmallChange",
                                                  "ScrollLargeChange",
                                                  "RectDrawMode",
                                                  "RectBorderStyle",
                                                  "RectBorderColor",
                                                  "RectBorderSize",
                                                  "ClipControls",
                                                  "BorderStyle",
                                                  "Appearance",
                                                  "BackStyle",
                                                  "BackColor",
                                                  "ScrollOptimization",
                                                  "ViewerQuality",
                                                  "ViewerQualityAuto",
                                                  "ForcePictureMode",
                                                  "KeepImagePosition",
                                                  "MouseWheelMode",
                                                  "ViewerDrop",
                                                  "DisableAutoFocus",
                                                  "MousePointer",
                                                  "ForceScrollBars",
                                                  "ImageMaskColor",
                                                  "Gamma",
                                                  "RectIsEditable",
                                                  "ContinuousViewMode",
                                                  "MouseButtonForMouseMode",
                                                  "OptimizeDrawingSpeed"};
    return keys;
}

Variant ImageBox::persistedValue(const std::string& key) const {
    for (const auto& p : persistedTable())
        if (ax::namesEqual(p.key, key))
            return p.save(*this);
    return Variant();
}

void ImageBox::onInitProperties() {
    for (const auto& p : persistedTable()) {
        // The window's and the shape's own properties keep their design-time values,
        // which equal the defaults.
        std::string_view key = p.key;
        if (key == "RectBorderSize" || key == "RectBorderColor" || key == "ClipControls" ||
            key == "BorderStyle" || key == "Appearance" || key == "BackStyle" || key == "BackColor")
            continue;
        p.apply(*this, p.defaultValue);
    }
    // Defaults that act on constituents (bars, shape, window) are already in place.
}

// Errors are not caught: the first failing key stops reading and goes to the host, the
// keys before it stay applied.
void ImageBox::onReadProperties(ax::PropertyBag& bag) {
    const auto& table = persistedTable();
    for (const auto& key : readOrderKeys()) {
        for (const auto& p : table) {
            if (key != p.key)
                continue;
            p.apply(*this, bag.readProperty(p.key, p.defaultValue));
            break;
        }
    }
}

void ImageBox::onWriteProperties(ax::PropertyBag& bag) {
    for (const auto& p : persistedTable())
        bag.writeProperty(p.key, p.save(*this), p.defaultValue);
}

// --- plain accessors: every let notifies under its key, also when it refuses ---

#define TAVIMO_SIMPLE(name, field, key, type)                                                      \
    type ImageBox::get_##name() {                                                                  \
        return m_s.field;                                                                          \
    }                                                                                              \
    void ImageBox::put_##name(type value) {                                                        \
        m_s.field = value;                                                                         \
        PropertyChanged(key);                                                                      \
    }

TAVIMO_SIMPLE(SilentMode, m_SilentMode, "SilentMode", bool)
TAVIMO_SIMPLE(ImageForceTemporaryMode, m_ImageForceTemporaryMode, "ImageForceTemporaryMode", bool)
TAVIMO_SIMPLE(SkipImageResolution, m_SkipImageResolution, "SkipImageResolution", bool)
TAVIMO_SIMPLE(LockControl, m_LockControl, "LockControl", bool)
TAVIMO_SIMPLE(KeepImagePosition, m_KeepImagePosition, "KeepImagePosition", bool)
TAVIMO_SIMPLE(ForcePictureMode, m_ForcePictureMode, "ForcePictureMode", bool)
TAVIMO_SIMPLE(DisableAutoFocus, m_DisableAutoFocus, "DisableAutoFocus", bool)
TAVIMO_SIMPLE(ImageMaskColor, m_ImageMaskColor, "ImageMaskColor", int32_t)
TAVIMO_SIMPLE(gamma, m_Gamma, "Gamma", float)
TAVIMO_SIMPLE(OptimizeDrawingSpeed, m_OptimizeDrawingSpeed, "OptimizeDrawingSpeed", bool)
TAVIMO_SIMPLE(MouseWheelMode, m_MouseWheelMode, "MouseWheelMode", int32_t)
TAVIMO_SIMPLE(RectIsEditable, m_RectIsEditable, "RectIsEditable", bool)
TAVIMO_SIMPLE(ContinuousViewMode, m_ContinuousViewMode, "ContinuousViewMode", bool)
#undef TAVIMO_SIMPLE

// The values describe the shown image; a let only notifies.
#define TAVIMO_DESCRIPTIVE(name, field, type)                                                      \
    type ImageBox::get_##name() {                                                                  \
        return m_s.field;                                                                          \
    }                                                                                              \
    void ImageBox::put_##name(type) {                                                              \
        PropertyChanged(#name);                                                                    \
    }

TAVIMO_DESCRIPTIVE(ImageWidth, m_ImageWidth, int32_t)
TAVIMO_DESCRIPTIVE(ImageHeight, m_ImageHeight, int32_t)
TAVIMO_DESCRIPTIVE(VerticalResolution, m_VerticalResolution, float)
TAVIMO_DESCRIPTIVE(HorizontalResolution, m_HorizontalResolution, float)
TAVIMO_DESCRIPTIVE(PageCount, m_PageCount, int32_t)
TAVIMO_DESCRIPTIVE(CurrentPage, m_CurrentPage, int32_t)
#undef TAVIMO_DESCRIPTIVE

bool ImageBox::get_ScrollBars() {
    return m_s.m_ScrollBars;
}
void ImageBox::put_ScrollBars(bool value) {
    if (value != m_s.m_ScrollBars) {
        m_s.m_ScrollBars = value;
        if (!value)
            m_s.m_ForceScrollBars = false;
        UpdateLayout();
    }
    PropertyChanged("ScrollBars");
}

bool ImageBox::get_ForceScrollBars() {
    return m_s.m_ForceScrollBars;
}
void ImageBox::put_ForceScrollBars(bool value) {
    if (value != m_s.m_ForceScrollBars) {
        m_s.m_ForceScrollBars = value;
        if (value)
            m_s.m_ScrollBars = true;
        UpdateLayout();
    }
    PropertyChanged("ForceScrollBars");
}

double ImageBox::get_ZOOM() {
    return m_s.m_Zoom;
}
void ImageBox::put_ZOOM(double value) {
    if (value > 0) {
        bool shown = m_s.m_ImageId != 0;
        if (shown && value > m_s.m_MaxZoom)
            value = m_s.m_MaxZoom;
        if (value != m_s.m_Zoom) {
            m_s.m_Zoom = value;
            m_s.m_ZoomMode = 4;
            if (shown)
                UpdateLayout();
        }
    }
    PropertyChanged("Zoom");
}

int32_t ImageBox::get_ZoomMode() {
    return m_s.m_ZoomMode;
}
void ImageBox::put_ZoomMode(int32_t value) {
    if (value != m_s.m_ZoomMode) {
        switch (value) {
        case 1:
            SetZoom100();
            break;
        case 2:
            SetZoomFitControl();
            break;
        case 3:
            SetZoomWidthControl();
            break;
        case 5:
            SetZoomHeightControl();
            break;
        case 6:
            SetZoomControl();
            break;
        case 4:
            m_s.m_ZoomMode = 4;
            break;
        default:
            break;
        }
    }
    PropertyChanged("ZoomMode");
}

int32_t ImageBox::get_ZoomStep() {
    return m_s.m_ZoomStep;
}
void ImageBox::put_ZoomStep(int32_t value) {
    if (value >= 1)
        m_s.m_ZoomStep = value;
    PropertyChanged("ZoomStep");
}

int16_t ImageBox::get_ScrollSmallChange() {
    return m_s.m_ScrollSmallChange;
}
void ImageBox::put_ScrollSmallChange(int16_t value) {
    if (value >= 1) {
        m_s.m_ScrollSmallChange = value;
        m_HScroll->setSmallChange(value);
        m_VScroll->setSmallChange(value);
    }
    PropertyChanged("ScrollSmallChange");
}

int16_t ImageBox::get_ScrollLargeChange() {
    return m_s.m_ScrollLargeChange;
}
void ImageBox::put_ScrollLargeChange(int16_t value) {
    if (value >= 1) {
        m_s.m_ScrollLargeChange = value;
        m_HScroll->setLargeChange(value);
        m_VScroll->setLargeChange(value);
    }
    PropertyChanged("ScrollLargeChange");
}

int32_t ImageBox::get_MouseMode() {
    return m_s.m_MouseMode;
}
void ImageBox::put_MouseMode(int32_t value) {
    if (value >= 0 && value <= 3) {
        m_s.m_MouseMode = value;
        if (value == 0 || value == 2)
            ClearRect();
        ApplyMousePointer();
    }
    PropertyChanged("MouseMode");
}

int32_t ImageBox::get_RectBorderStyle() {
    return m_s.m_RectBorderStyle;
}
void ImageBox::put_RectBorderStyle(int32_t value) {
    m_s.m_RectBorderStyle = value;
    m_shRect->setBorderStyle(value);
    PropertyChanged("RectBorderStyle");
}

int32_t ImageBox::get_RectDrawMode() {
    return m_s.m_RectDrawMode;
}
void ImageBox::put_RectDrawMode(int32_t value) {
    m_s.m_RectDrawMode = value;
    m_shRect->setDrawMode(value);
    PropertyChanged("RectDrawMode");
}

int16_t ImageBox::get_RectBorderSize() {
    return m_shRect->BorderWidth();
}
void ImageBox::put_RectBorderSize(int16_t value) {
    m_shRect->setBorderWidth(value);
    PropertyChanged("RectBorderSize");
}

int32_t ImageBox::get_RectBorderColor() {
    return static_cast<int32_t>(m_shRect->BorderColor());
}
void ImageBox::put_RectBorderColor(int32_t value) {
    m_shRect->setBorderColor(static_cast<uint32_t>(value));
    PropertyChanged("RectBorderColor");
}

bool ImageBox::get_Enabled() {
    return m_s.m_Enabled;
}
void ImageBox::put_Enabled(bool value) {
    m_s.m_Enabled = value;
    setEnabled(value);
    PropertyChanged("Enabled");
}

int32_t ImageBox::get_ImageAlignment() {
    return m_s.m_ImageAlignment;
}
void ImageBox::put_ImageAlignment(int32_t value) {
    if (value == m_s.m_ImageAlignment)
        return;
    m_s.m_ImageAlignment = value;
    if (m_s.m_ImageId != 0) {
        m_s.m_RealignH = true;
        m_s.m_RealignV = true;
        InitImageInfo();
        UpdateLayout();
    }
    PropertyChanged("ImageAlignment");
}

int32_t ImageBox::get_ImagePosition() {
    return m_s.m_ImagePosition;
}
void ImageBox::put_ImagePosition(int32_t value) {
    if (value == m_s.m_ImagePosition)
        return;
    m_s.m_ImagePosition = value;
    if (m_s.m_ImageId != 0) {
        InitImageInfo();
        UpdateLayout();
    }
    PropertyChanged("ImagePosition");
}

bool ImageBox::get_ClipControls() {
    return ClipControls();
}
void ImageBox::put_ClipControls(bool value) {
    setClipControls(value);
    PropertyChanged("ClipControls");
}

int16_t ImageBox::get_BorderStyle() {
    return BorderStyle();
}
void ImageBox::put_BorderStyle(int16_t value) {
    setBorderStyle(value);
    PropertyChanged("BorderStyle");
}

int16_t ImageBox::get_Appearance() {
    return Appearance();
}
void ImageBox::put_Appearance(int16_t value) {
    setAppearance(value);
    PropertyChanged("Appearance");
}

int16_t ImageBox::get_BackStyle() {
    return BackStyle();
}
void ImageBox::put_BackStyle(int16_t value) {
    setBackStyle(value);
    PropertyChanged("BackStyle");
}

int32_t ImageBox::get_BackColor() {
    return static_cast<int32_t>(BackColor());
}
void ImageBox::put_BackColor(int32_t value) {
    setBackColor(static_cast<uint32_t>(value));
    PropertyChanged("BackColor");
}

bool ImageBox::get_ScrollOptimization() {
    return m_s.m_ScrollOptimization;
}
void ImageBox::put_ScrollOptimization(bool value) {
    m_s.m_ScrollOptimization = value;
    if (value)
        m_s.m_OptimizeDrawingSpeed = true;
    PropertyChanged("ScrollOptimization");
}

int32_t ImageBox::get_ViewerQuality() {
    return m_s.m_ViewerQuality;
}
void ImageBox::put_ViewerQuality(int32_t value) {
    m_s.m_ViewerQuality = value;
    UpdateLayout();
    PropertyChanged("ViewerQuality");
}

bool ImageBox::get_ViewerQualityAuto() {
    return m_s.m_ViewerQualityAuto;
}
void ImageBox::put_ViewerQualityAuto(bool value) {
    m_s.m_ViewerQualityAuto = value;
    m_TmQual->setEnabled(value);
    PropertyChanged("ViewerQualityAuto");
}

bool ImageBox::get_ViewerDrop() {
    return m_s.m_ViewerDrop;
}
void ImageBox::put_ViewerDrop(bool value) {
    m_s.m_ViewerDrop = value;
    setOLEDropMode(value ? 1 : 0);
    PropertyChanged("ViewerDrop");
}

int32_t ImageBox::get_MousePointer() {
    return m_s.m_MousePointer;
}
void ImageBox::put_MousePointer(int32_t value) {
    m_s.m_MousePointer = value;
    m_s.m_PointerSet = value != 0;
    setMousePointer(value);
    if (value == 0)
        ApplyMousePointer();
    PropertyChanged("MousePointer");
}

int32_t ImageBox::get_MouseButtonForMouseMode() {
    return m_s.m_MouseButtonForMouseMode;
}
void ImageBox::put_MouseButtonForMouseMode(int32_t value) {
    m_s.m_MouseButtonForMouseMode = value == 0 ? 1 : value;
    PropertyChanged("MouseButtonForMouseMode");
}

} // namespace tavimo
