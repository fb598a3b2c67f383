// Printer choice, settings and the print dialog.

#include "printing/cPrinter.h"

#include "platform/printer/print_dialog.h"
#include "platform/win/gdi.h"
#include "platform/win/message_loop.h"
#include "platform/win/vb_number.h"
#include "printing/movrin_plugin.h"

#include <algorithm>
#include <cctype>

namespace tavimo {

namespace {

constexpr double kTwipsPerMm = 1440.0 / 25.4;

std::string trimUpper(const std::string& s) {
    size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
    std::string t = a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
    for (char& c : t)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return t;
}

} // namespace

cPrinter::cPrinter() {
    try {
        registerMovrinVersion();
    } catch (...) {
    }
}

cPrinter::~cPrinter() = default;

prn::PrinterDevice* cPrinter::device() {
    if (!m_device) {
        std::string name = prn::defaultPrinterName();
        if (!name.empty())
            m_device = prn::PrinterDevice::open(name);
    }
    return m_device.get();
}

void cPrinter::SetUserPaperSize(float nPaperWidthMM, float nPaperHeightMM) {
    try {
        prn::PrinterDevice* d = device();
        int32_t w = 0, h = 0;
        if (!d)
            return;
        // Both sides in one write: a printer that takes only its listed papers would refuse
        // the half-changed size in between.
        if (win::tryToInt32(double(nPaperWidthMM) * 1440.0 / 25.4, w) &&
            win::tryToInt32(double(nPaperHeightMM) * 1440.0 / 25.4, h))
            d->setSize(w, h);
    } catch (...) {
    }
}

float cPrinter::GetPaperWidth() {
    try {
        prn::PrinterDevice* d = device();
        return d ? float(d->width() / kTwipsPerMm) : 0.0f;
    } catch (...) {
        return 0.0f;
    }
}

float cPrinter::GetPaperHeight() {
    try {
        prn::PrinterDevice* d = device();
        if (!d)
            return 0.0f;
        d->setScaleMode(6);
        return float(d->height() / kTwipsPerMm);
    } catch (...) {
        return 0.0f;
    }
}

std::string cPrinter::GetDefaultPrinter() {
    try {
        prn::PrinterDevice* d = device();
        return d ? d->deviceName() : std::string();
    } catch (...) {
        return {};
    }
}

bool cPrinter::SelectPrinter(const std::string& sPrinter) {
    try {
        const std::string s = trimUpper(sPrinter);
        // An empty name would match every printer as a prefix; it names none.
        if (s.empty())
            return false;
        std::vector<prn::PrinterInfo> printers = prn::installedPrinters();
        const prn::PrinterInfo* chosen = nullptr;
        for (const auto& p : printers)
            if (trimUpper(p.name) == s) {
                chosen = &p;
                break;
            }
        if (!chosen)
            for (const auto& p : printers)
                if (trimUpper(p.name).compare(0, s.size(), s) == 0) {
                    chosen = &p;
                    break;
                }
        if (!chosen)
            return false;
        auto opened = prn::PrinterDevice::open(chosen->name);
        if (!opened)
            return false;
        m_device = std::move(opened);
        return true;
    } catch (...) {
        return false;
    }
}

int32_t cPrinter::GetColorMode() {
    try {
        prn::PrinterDevice* d = device();
        return d ? d->settings().colorMode : 0;
    } catch (...) {
        return 0;
    }
}

void cPrinter::SetColorMode(int32_t nColorMode) {
    try {
        if (nColorMode != 1 && nColorMode != 2)
            return;
        if (prn::PrinterDevice* d = device())
            d->setColorMode(nColorMode);
    } catch (...) {
    }
}

int32_t cPrinter::GetpaperSize() {
    try {
        prn::PrinterDevice* d = device();
        return d ? d->settings().paperSize : 0;
    } catch (...) {
        return 0;
    }
}

void cPrinter::SetPaperSize(int32_t nPaperSize) {
    try {
        if (prn::PrinterDevice* d = device())
            d->setPaperSize(nPaperSize);
    } catch (...) {
    }
}

void cPrinter::SetCopies(int32_t nCopies) {
    try {
        if (prn::PrinterDevice* d = device())
            d->setCopies(nCopies);
    } catch (...) {
    }
}

int32_t cPrinter::GetCopies() {
    try {
        prn::PrinterDevice* d = device();
        return d ? d->settings().copies : 0;
    } catch (...) {
        return 0;
    }
}

int32_t cPrinter::GetPrintersCount() {
    try {
        return int32_t(prn::installedPrinters().size());
    } catch (...) {
        return 0;
    }
}

std::string cPrinter::GetPrinterName(int32_t nPrinterID) {
    try {
        std::vector<prn::PrinterInfo> printers = prn::installedPrinters();
        if (nPrinterID < 1 || size_t(nPrinterID) > printers.size())
            return {};
        return printers[size_t(nPrinterID) - 1].name;
    } catch (...) {
        return {};
    }
}

void cPrinter::SetDuplexMode(int32_t nDuplexMode) {
    try {
        if (prn::PrinterDevice* d = device())
            d->setDuplex(nDuplexMode);
    } catch (...) {
    }
}

int32_t cPrinter::GetDuplexMode() {
    try {
        prn::PrinterDevice* d = device();
        return d ? d->settings().duplex : 0;
    } catch (...) {
        return 0;
    }
}

void cPrinter::SetOrientation(int32_t nOrientation) {
    try {
        if (prn::PrinterDevice* d = device())
            d->setOrientation(nOrientation);
    } catch (...) {
    }
}

int32_t cPrinter::GetOrientation() {
    try {
        prn::PrinterDevice* d = device();
        return d ? d->settings().orientation : 0;
    } catch (...) {
        return 0;
    }
}

void cPrinter::SetFromToPage(int32_t nFromParam, int32_t nToParam) {
    if (nFromParam == 0 && nToParam == 0) {
        m_rangeSet = false;
        return;
    }
    m_fromPage = nFromParam > 0 ? nFromParam : 1;
    m_toPage = nToParam > 0 ? nToParam : 1;
    m_rangeSet = true;
}

bool cPrinter::IsSetFromTo() {
    return m_rangeSet;
}

int32_t cPrinter::GetQuality() {
    try {
        prn::PrinterDevice* d = device();
        return d ? d->settings().printQuality : 0;
    } catch (...) {
        return 0;
    }
}

void cPrinter::SetQuality(int32_t nPrintQuality) {
    try {
        if (prn::PrinterDevice* d = device())
            d->setPrintQuality(nPrintQuality);
    } catch (...) {
    }
}

void cPrinter::GetMargins(float& sgMargeGauche, float& sgMargeHaute) {
    sgMargeGauche = 0;
    sgMargeHaute = 0;
    try {
        prn::PrinterDevice* d = device();
        if (!d)
            return;
        d->setScaleMode(6);
        win::HDC dc = d->hDC();
        const int offX = win::GetDeviceCaps(dc, win::PHYSICALOFFSETX);
        const int offY = win::GetDeviceCaps(dc, win::PHYSICALOFFSETY);
        const int dpiX = win::GetDeviceCaps(dc, win::LOGPIXELSX);
        const int dpiY = win::GetDeviceCaps(dc, win::LOGPIXELSY);
        if (dpiX == 0 || dpiY == 0)
            return;
        double x = offX, y = offY;
        switch (d->scaleMode()) {
        case 1:
            x = x / dpiX * 1440, y = y / dpiY * 1440;
            break;
        case 2:
            x = x / dpiX * 72, y = y / dpiY * 72;
            break;
        case 3:
            break;
        case 4:
            x = x / dpiX * 1440 / 120, y = y / dpiY * 1440 / 240;
            break;
        case 5:
            x = x / dpiX, y = y / dpiY;
            break;
        case 6:
            x = x / dpiX * 25.4, y = y / dpiY * 25.4;
            break;
        case 7:
            x = x / dpiX * 2.54, y = y / dpiY * 2.54;
            break;
        default:
            break;
        }
        sgMargeGauche = float(x);
        sgMargeHaute = float(y);
    } catch (...) {
    }
}

bool cPrinter::SetPaperBin(int32_t nPaperBin) {
    try {
        prn::PrinterDevice* d = device();
        return d && d->setPaperBin(nPaperBin);
    } catch (...) {
        return false;
    }
}

int32_t cPrinter::GetPaperBin() {
    try {
        prn::PrinterDevice* d = device();
        return d ? d->settings().paperBin : 0;
    } catch (...) {
        return 0;
    }
}

PrinterStatus cPrinter::GetPrinterStat() {
    return PrinterStatus(m_status);
}

void cPrinter::ForceResolution(int32_t nHorizontal, int32_t nVertical) {
    m_resolutionX = float(nHorizontal);
    m_resolutionY = float(nVertical);
}

bool cPrinter::PrintImageDialog(int32_t ptImage, bool bFit, float nXDest, float nYDest,
                                float nWidth, float nHeight, uint32_t nHWND) {
    try {
        const int32_t n = getPageCount(ptImage);
        prn::PrintDialogRequest request;
        request.ownerWindow = nHWND;
        request.flags = prn::PD_RETURNIC | prn::PD_NOSELECTION |
                        prn::PD_USEDEVMODECOPIESANDCOLLATE | prn::PD_DISABLEPRINTTOFILE |
                        prn::PD_HIDEPRINTTOFILE;
        if (n >= 2) {
            const uint16_t last = uint16_t(std::min<int32_t>(n, 0xFFFF));
            request.fromPage = 1;
            request.toPage = last;
            request.minPage = 1;
            request.maxPage = last;
        }
        request.printerName = GetDefaultPrinter();
        if (nHWND == 0)
            win::DoEvents();
        std::optional<prn::PrintDialogChoice> choice = prn::PrintDlg(request);
        if (!choice)
            return false;
        SelectPrinter(choice->deviceName);
        SetCopies(choice->copies);
        SetFromToPage(choice->fromPage, choice->toPage);
        SetOrientation(choice->orientation);
        SetDuplexMode(choice->duplex);
        SetPaperSize(choice->paperSize);
        SetColorMode(choice->color);
        SetQuality(choice->printQuality);
        SetPaperBin(choice->defaultSource);
        if (nXDest == 0 && nYDest == 0 && nWidth == 0 && nHeight == 0)
            PrintImage(ptImage, bFit);
        else
            PrintImageBySize(ptImage, nXDest, nYDest, nWidth, nHeight);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace tavimo
