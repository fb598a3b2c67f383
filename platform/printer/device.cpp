#include "platform/printer/printer_internal.h"

#include "platform/win/gdi.h"
#include "platform/win/gdi_objects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace prn {

namespace {

constexpr double kMmPerTwip = 25.4 / 1440.0;

bool contains(const std::vector<int32_t>& list, int32_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

struct PrinterDevice::Impl {
    std::string name;
    PrinterKind kind = PrinterKind::File;
    FilePrinterConfig config;     // file printers
    detail::CupsDestination cups; // CUPS destinations
    PrinterCapabilities caps;
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

    // The listed paper of that portrait size (within a millimetre), or null.
    const PaperInfo* listedPaper(double wMm, double hMm) const {
        for (const auto& p : caps.papers)
            if (std::abs(p.widthMm - wMm) <= 1.0 && std::abs(p.heightMm - hMm) <= 1.0)
                return &p;
        return nullptr;
    }

    bool acceptsSize(double wMm, double hMm) const {
        if (listedPaper(wMm, hMm))
            return true;
        return caps.customMaxWidthMm > 0 && wMm >= caps.customMinWidthMm - 1e-9 &&
               wMm <= caps.customMaxWidthMm + 1e-9 && hMm >= caps.customMinHeightMm - 1e-9 &&
               hMm <= caps.customMaxHeightMm + 1e-9;
    }

    PaperInfo paper() const {
        const double wMm = settings.paperWidthTwips * kMmPerTwip;
        const double hMm = settings.paperHeightTwips * kMmPerTwip;
        if (settings.paperSize != DMPAPER_USER)
            for (const auto& p : caps.papers)
                if (p.paperSize == settings.paperSize)
                    return p;
        if (const PaperInfo* p = listedPaper(wMm, hMm)) {
            PaperInfo out = *p;
            out.widthMm = wMm, out.heightMm = hMm;
            return out;
        }
        PaperInfo out = caps.customPaper;
        out.paperSize = DMPAPER_USER;
        out.widthMm = wMm, out.heightMm = hMm;
        return out;
    }

    PrinterResolution resolution() const {
        if (settings.printQuality > 0)
            for (const auto& r : caps.resolutions)
                if (std::lround(r.x) == settings.printQuality)
                    return r;
        return caps.defaultResolution;
    }

    PageGeometry geometry() const {
        PageGeometry g;
        const PrinterResolution res = resolution();
        g.dpiX = res.x;
        g.dpiY = res.y;
        const PaperInfo p = paper();
        double wTw = settings.paperWidthTwips, hTw = settings.paperHeightTwips;
        double left = p.marginLeftMm, top = p.marginTopMm, right = p.marginRightMm,
               bottom = p.marginBottomMm;
        if (settings.orientation == kOrientationLandscape) {
            // A quarter turn counter-clockwise: the portrait top edge goes to the left.
            std::swap(wTw, hTw);
            const double l = left, t = top, r = right, b = bottom;
            left = b, top = l, right = t, bottom = r;
        }
        g.sheetWidthPt = wTw / 20.0;
        g.sheetHeightPt = hTw / 20.0;
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

    // Makes the paper a user size of this portrait size in twips when the device takes it.
    bool setUserSize(int32_t wTw, int32_t hTw) {
        if (wTw < 1 || hTw < 1 || wTw > 144000 || hTw > 144000 ||
            !acceptsSize(wTw * kMmPerTwip, hTw * kMmPerTwip))
            return false;
        settings.paperWidthTwips = wTw;
        settings.paperHeightTwips = hTw;
        settings.paperSize = DMPAPER_USER;
        return changed();
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
        auto area = std::move(pageSurface);
        ++pagesEnded;
        return sink && sink->page(*area, pageGeometry);
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
                impl->caps = detail::fileCapabilities(*config);
                impl->settings = config->defaults;
            } else {
                auto info = detail::queryCupsDestination(name);
                if (!info)
                    return nullptr;
                impl->cups = std::move(*info);
                impl->caps = impl->cups.capabilities;
                impl->settings = impl->cups.defaults;
            }
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

const PrinterCapabilities& PrinterDevice::capabilities() const {
    return m_impl->caps;
}

bool PrinterDevice::setPaperSize(int32_t paperSize) {
    Impl& d = *m_impl;
    if (paperSize == DMPAPER_USER) {
        d.settings.paperSize = paperSize;
        return d.changed();
    }
    for (const auto& p : d.caps.papers)
        if (p.paperSize == paperSize) {
            d.settings.paperSize = paperSize;
            d.settings.paperWidthTwips = int32_t(std::lround(p.widthMm / kMmPerTwip));
            d.settings.paperHeightTwips = int32_t(std::lround(p.heightMm / kMmPerTwip));
            return d.changed();
        }
    return false;
}

bool PrinterDevice::setOrientation(int32_t orientation) {
    if (orientation != kOrientationPortrait && orientation != kOrientationLandscape)
        return false;
    m_impl->settings.orientation = orientation;
    return m_impl->changed();
}

bool PrinterDevice::setCopies(int32_t copies) {
    if (copies < 1 || copies > m_impl->caps.maxCopies)
        return false;
    m_impl->settings.copies = copies;
    return true;
}

bool PrinterDevice::setDuplex(int32_t duplex) {
    if (!contains(m_impl->caps.duplexModes, duplex))
        return false;
    m_impl->settings.duplex = duplex;
    return true;
}

bool PrinterDevice::setColorMode(int32_t colorMode) {
    if (!contains(m_impl->caps.colorModes, colorMode))
        return false;
    m_impl->settings.colorMode = colorMode;
    return true;
}

bool PrinterDevice::setPrintQuality(int32_t quality) {
    Impl& d = *m_impl;
    if (quality < 0) {
        if (!contains(d.caps.qualities, quality))
            return false;
    } else {
        bool found = false;
        for (const auto& r : d.caps.resolutions)
            found = found || (quality > 0 && std::lround(r.x) == quality);
        if (!found)
            return false;
    }
    const bool resolutionChanges = quality > 0 || d.settings.printQuality > 0;
    d.settings.printQuality = quality;
    return resolutionChanges ? d.changed() : true;
}

bool PrinterDevice::setPaperBin(int32_t bin) {
    for (const auto& b : m_impl->caps.bins)
        if (b.bin == bin) {
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

bool PrinterDevice::setSize(int32_t widthTwips, int32_t heightTwips) {
    const bool landscape = m_impl->settings.orientation == kOrientationLandscape;
    return landscape ? m_impl->setUserSize(heightTwips, widthTwips)
                     : m_impl->setUserSize(widthTwips, heightTwips);
}

bool PrinterDevice::setWidth(int32_t twips) {
    return setSize(twips, height());
}

bool PrinterDevice::setHeight(int32_t twips) {
    return setSize(width(), twips);
}

PaperInfo PrinterDevice::paper() const {
    return m_impl->paper();
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
                                                    : detail::makeCupsSink(d.name, d.cups);
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
        ok = ok && d.sink->end(d.settings, d.paper(), d.geometry());
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
