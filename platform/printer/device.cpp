#include "platform/printer/printer_internal.h"

#include "platform/win/gdi.h"
#include "platform/win/gdi_objects.h"

#include <cmath>
#include <cstring>

namespace prn {

struct PrinterDevice::Impl {
    std::string name;
    PrinterKind kind = PrinterKind::File;
    FilePrinterConfig config; // for CUPS printers: the layer's defaults
    PrinterSettings settings;
    int32_t scaleMode = 1;
    win::HDC infoDc = 0;

    std::unique_ptr<detail::JobSink> sink; // set while a document is open
    std::shared_ptr<win::GdiSurface> pageSurface;
    win::HDC pageDc = 0;
    PageGeometry pageGeometry;
    int32_t pagesEnded = 0;

    ~Impl() {
        dropInfoDc();
        if (pageDc)
            win::DeleteDC(pageDc);
    }

    void dropInfoDc() {
        if (infoDc)
            win::DeleteDC(infoDc);
        infoDc = 0;
    }

    // The sheet's portrait size in twips from the settings.
    PageGeometry geometry() const {
        PageGeometry g;
        g.dpiX = g.dpiY = config.dpi;
        double wTw = settings.paperWidthTwips, hTw = settings.paperHeightTwips;
        double left = config.marginLeftMm, top = config.marginTopMm, right = config.marginRightMm,
               bottom = config.marginBottomMm;
        if (settings.orientation == kOrientationLandscape)
            std::swap(wTw, hTw);
        g.sheetWidth = int32_t(std::lround(wTw / 1440.0 * g.dpiX));
        g.sheetHeight = int32_t(std::lround(hTw / 1440.0 * g.dpiY));
        g.offsetX = int32_t(std::lround(left / 25.4 * g.dpiX));
        g.offsetY = int32_t(std::lround(top / 25.4 * g.dpiY));
        int32_t r = int32_t(std::lround(right / 25.4 * g.dpiX));
        int32_t b = int32_t(std::lround(bottom / 25.4 * g.dpiY));
        g.areaWidth = std::max(1, g.sheetWidth - g.offsetX - r);
        g.areaHeight = std::max(1, g.sheetHeight - g.offsetY - b);
        return g;
    }

    static win::PrinterDcGeometry dcGeometry(const PageGeometry& g) {
        win::PrinterDcGeometry d;
        d.areaWidth = g.areaWidth;
        d.areaHeight = g.areaHeight;
        d.sheetWidth = g.sheetWidth;
        d.sheetHeight = g.sheetHeight;
        d.offsetX = g.offsetX;
        d.offsetY = g.offsetY;
        return d;
    }

    bool endPage() {
        if (!pageDc)
            return true;
        win::DeleteDC(pageDc);
        pageDc = 0;
        auto sheet = detail::composeSheet(*pageSurface, pageGeometry);
        pageSurface.reset();
        ++pagesEnded;
        return sheet && sink && sink->page(*sheet, pageGeometry);
    }

    bool changed() {
        dropInfoDc();
        return true;
    }
};

PrinterDevice::PrinterDevice(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

PrinterDevice::~PrinterDevice() {
    try {
        endDoc();
    } catch (...) {
    }
}

std::unique_ptr<PrinterDevice> PrinterDevice::open(const std::string& name) {
    try {
        for (const auto& p : installedPrinters()) {
            if (p.name != name)
                continue;
            auto impl = std::make_unique<Impl>();
            impl->name = name;
            impl->kind = p.kind;
            if (p.kind == PrinterKind::File) {
                auto config = detail::filePrinterConfig(name);
                if (!config)
                    return nullptr;
                impl->config = *config;
            } else {
                impl->config.name = name;
            }
            impl->settings = impl->config.defaults;
            return std::unique_ptr<PrinterDevice>(new PrinterDevice(std::move(impl)));
        }
    } catch (...) {
    }
    return nullptr;
}

const std::string& PrinterDevice::deviceName() const {
    return m_impl->name;
}
PrinterKind PrinterDevice::kind() const {
    return m_impl->kind;
}
const PrinterSettings& PrinterDevice::settings() const {
    return m_impl->settings;
}

bool PrinterDevice::setPaperSize(int32_t paperSize) {
    int32_t w = 0, h = 0;
    if (paperSize == DMPAPER_USER) {
        m_impl->settings.paperSize = paperSize;
        return m_impl->changed();
    }
    if (!paperDimensions(paperSize, w, h))
        return false;
    m_impl->settings.paperSize = paperSize;
    m_impl->settings.paperWidthTwips = int32_t(std::lround(w / 254.0 * 1440.0));
    m_impl->settings.paperHeightTwips = int32_t(std::lround(h / 254.0 * 1440.0));
    return m_impl->changed();
}

bool PrinterDevice::setOrientation(int32_t orientation) {
    if (orientation != kOrientationPortrait && orientation != kOrientationLandscape)
        return false;
    m_impl->settings.orientation = orientation;
    return m_impl->changed();
}

bool PrinterDevice::setCopies(int32_t copies) {
    if (copies < 1 || copies > 9999)
        return false;
    m_impl->settings.copies = copies;
    return true;
}

bool PrinterDevice::setDuplex(int32_t duplex) {
    if (duplex < 1 || duplex > 3 || (duplex != 1 && !m_impl->config.duplexCapable))
        return false;
    m_impl->settings.duplex = duplex;
    return true;
}

bool PrinterDevice::setColorMode(int32_t colorMode) {
    if (colorMode < 1 || colorMode > 2 || (colorMode == 2 && !m_impl->config.colorCapable))
        return false;
    m_impl->settings.colorMode = colorMode;
    return true;
}

bool PrinterDevice::setPrintQuality(int32_t quality) {
    if (quality == 0 || quality < -4 || (quality > 0 && std::lround(m_impl->config.dpi) != quality))
        return false;
    m_impl->settings.printQuality = quality;
    return true;
}

bool PrinterDevice::setPaperBin(int32_t bin) {
    for (int32_t b : m_impl->config.paperBins)
        if (b == bin) {
            m_impl->settings.paperBin = bin;
            return true;
        }
    return false;
}

int32_t PrinterDevice::width() const {
    const PrinterSettings& s = m_impl->settings;
    return s.orientation == kOrientationLandscape ? s.paperHeightTwips : s.paperWidthTwips;
}

int32_t PrinterDevice::height() const {
    const PrinterSettings& s = m_impl->settings;
    return s.orientation == kOrientationLandscape ? s.paperWidthTwips : s.paperHeightTwips;
}

bool PrinterDevice::setWidth(int32_t twips) {
    if (twips < 1 || twips > 144000)
        return false;
    PrinterSettings& s = m_impl->settings;
    (s.orientation == kOrientationLandscape ? s.paperHeightTwips : s.paperWidthTwips) = twips;
    s.paperSize = DMPAPER_USER;
    return m_impl->changed();
}

bool PrinterDevice::setHeight(int32_t twips) {
    if (twips < 1 || twips > 144000)
        return false;
    PrinterSettings& s = m_impl->settings;
    (s.orientation == kOrientationLandscape ? s.paperWidthTwips : s.paperHeightTwips) = twips;
    s.paperSize = DMPAPER_USER;
    return m_impl->changed();
}

int32_t PrinterDevice::scaleMode() const {
    return m_impl->scaleMode;
}

bool PrinterDevice::setScaleMode(int32_t mode) {
    if (mode < 0 || mode > 7)
        return false;
    m_impl->scaleMode = mode;
    return true;
}

PageGeometry PrinterDevice::geometry() const {
    return m_impl->geometry();
}

win::HDC PrinterDevice::hDC() {
    try {
        if (m_impl->pageDc)
            return m_impl->pageDc;
        if (!m_impl->infoDc) {
            PageGeometry g = m_impl->geometry();
            m_impl->infoDc = win::createPrinterDc(nullptr, Impl::dcGeometry(g), g.dpiX, g.dpiY);
        }
        return m_impl->infoDc;
    } catch (...) {
        return 0;
    }
}

win::HDC PrinterDevice::startPage(const std::string& jobName) {
    try {
        Impl& d = *m_impl;
        if (d.pageDc)
            return d.pageDc;
        PageGeometry g = d.geometry();
        if (!d.sink) {
            auto sink = d.kind == PrinterKind::File ? detail::makeFileSink(d.config)
                                                    : detail::makeCupsSink(d.name);
            if (!sink || !sink->begin(jobName, d.settings, g))
                return 0;
            d.sink = std::move(sink);
            d.pagesEnded = 0;
        }
        auto surface =
            win::GdiSurface::create(g.areaWidth, g.areaHeight, 32, false, {}, g.dpiX, g.dpiY);
        if (!surface)
            return 0;
        std::memset(surface->bits(), 0xFF, surface->byteSize());
        win::HDC dc = win::createPrinterDc(surface, Impl::dcGeometry(g), g.dpiX, g.dpiY);
        if (!dc)
            return 0;
        d.pageSurface = std::move(surface);
        d.pageGeometry = g;
        d.pageDc = dc;
        return dc;
    } catch (...) {
        return 0;
    }
}

bool PrinterDevice::newPage() {
    try {
        Impl& d = *m_impl;
        if (!d.sink)
            return false;
        if (!d.pageDc && !startPage({}))
            return false;
        return d.endPage();
    } catch (...) {
        return false;
    }
}

bool PrinterDevice::endDoc() {
    try {
        Impl& d = *m_impl;
        if (!d.sink)
            return true;
        bool ok = d.endPage();
        if (d.pagesEnded == 0) {
            d.sink->abort();
            d.sink.reset();
            return true;
        }
        ok = ok && d.sink->end(d.settings);
        if (!ok)
            d.sink->abort();
        d.sink.reset();
        return ok;
    } catch (...) {
        m_impl->sink.reset();
        return false;
    }
}

void PrinterDevice::discardPage() {
    Impl& d = *m_impl;
    if (d.pageDc)
        win::DeleteDC(d.pageDc);
    d.pageDc = 0;
    d.pageSurface.reset();
}

void PrinterDevice::killDoc() {
    try {
        Impl& d = *m_impl;
        if (d.pageDc)
            win::DeleteDC(d.pageDc);
        d.pageDc = 0;
        d.pageSurface.reset();
        if (d.sink)
            d.sink->abort();
        d.sink.reset();
    } catch (...) {
    }
}

bool PrinterDevice::documentOpen() const {
    return m_impl->sink != nullptr;
}
int32_t PrinterDevice::pagesInDocument() const {
    return m_impl->pagesEnded;
}

} // namespace prn
