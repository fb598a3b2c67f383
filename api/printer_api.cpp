// The public cPrinter (tavimo/printer.h): a handle to the printing class of printing/. The
// public variables live in the handle and are handed to the printing class before every
// print, so that its layout never becomes part of the binary interface.

#include "printing/cPrinter.h"
#include "printing/movrin_plugin.h"

// Bound before the public header declares a cPrinter and the PDF document calls of its own
// in the inline namespace tavimo::v0.
namespace tavimo::api {
using Printer = ::tavimo::cPrinter;
constexpr auto OpenPdfDocument = &::tavimo::MovrinOpenDocument;
constexpr auto ClosePdfDocument = &::tavimo::MovrinCloseDocument;
} // namespace tavimo::api

#include "api/guard.h"

#include <tavimo/printer.h>

#include <new>
#include <string>

namespace tavimo::v0 {

struct cPrinter::Impl {
    api::Printer inner;
};

cPrinter::cPrinter()
    : m_impl(api::guarded<Impl*>(nullptr, [] { return new (std::nothrow) Impl; })) {}

cPrinter::~cPrinter() {
    api::guardedVoid([&] { delete m_impl; });
}

// The members that print read the public variables; they get the caller's current values.
#define TAVIMO_PRINT_WITH_VARIABLES(p)                                                             \
    (p).m_PDFMode = m_PDFMode;                                                                     \
    (p).m_DocumentName = m_DocumentName;                                                           \
    (p).m_AutomaticRotation = m_AutomaticRotation;                                                 \
    (p).m_ImageAlignment = m_ImageAlignment;                                                       \
    (p).PrintPage = PrintPage

void cPrinter::PrintImage(int32_t ptImage, bool bFit) {
    api::onInner(m_impl, [&](api::Printer& p) {
        TAVIMO_PRINT_WITH_VARIABLES(p);
        p.PrintImage(ptImage, bFit);
    });
}
bool cPrinter::PrintImage2Printer(int32_t ptImage, std::string_view sPrinterName, bool bFit) {
    return api::onInner(m_impl, false, [&](api::Printer& p) {
        TAVIMO_PRINT_WITH_VARIABLES(p);
        return p.PrintImage2Printer(ptImage, std::string(sPrinterName), bFit);
    });
}
void cPrinter::PrintImageBySize(int32_t ptImage, float nXDest, float nYDest, float nWidth,
                                float nHeight) {
    api::onInner(m_impl, [&](api::Printer& p) {
        TAVIMO_PRINT_WITH_VARIABLES(p);
        p.PrintImageBySize(ptImage, nXDest, nYDest, nWidth, nHeight);
    });
}
bool cPrinter::PrintImageBySize2Printer(int32_t ptImage, std::string_view sPrinterName,
                                        float nXDest, float nYDest, float nWidth, float nHeight) {
    return api::onInner(m_impl, false, [&](api::Printer& p) {
        TAVIMO_PRINT_WITH_VARIABLES(p);
        return p.PrintImageBySize2Printer(ptImage, std::string(sPrinterName), nXDest, nYDest,
                                          nWidth, nHeight);
    });
}
bool cPrinter::PrintImageDialog(int32_t ptImage, bool bFit, float nXDest, float nYDest,
                                float nWidth, float nHeight, uint32_t nHWND) {
    return api::onInner(m_impl, false, [&](api::Printer& p) {
        TAVIMO_PRINT_WITH_VARIABLES(p);
        return p.PrintImageDialog(ptImage, bFit, nXDest, nYDest, nWidth, nHeight, nHWND);
    });
}

#undef TAVIMO_PRINT_WITH_VARIABLES

PrinterStatus cPrinter::GetPrinterStat() {
    return api::onInner(m_impl, PrinterUnexpectedError,
                        [](api::Printer& p) { return p.GetPrinterStat(); });
}
void cPrinter::ForceResolution(int32_t nHorizontal, int32_t nVertical) {
    api::onInner(m_impl, [&](api::Printer& p) { p.ForceResolution(nHorizontal, nVertical); });
}
void cPrinter::SetFromToPage(int32_t nFromParam, int32_t nToParam) {
    api::onInner(m_impl, [&](api::Printer& p) { p.SetFromToPage(nFromParam, nToParam); });
}
bool cPrinter::IsSetFromTo() {
    return api::onInner(m_impl, false, [](api::Printer& p) { return p.IsSetFromTo(); });
}

int32_t cPrinter::GetPrintersCount() {
    return api::onInner(m_impl, 0, [](api::Printer& p) { return p.GetPrintersCount(); });
}
std::string cPrinter::GetPrinterName(int32_t nPrinterID) {
    return api::onInner(m_impl, std::string(),
                        [&](api::Printer& p) { return p.GetPrinterName(nPrinterID); });
}
std::string cPrinter::GetDefaultPrinter() {
    return api::onInner(m_impl, std::string(),
                        [](api::Printer& p) { return p.GetDefaultPrinter(); });
}
bool cPrinter::SelectPrinter(std::string_view sPrinter) {
    return api::onInner(m_impl, false,
                        [&](api::Printer& p) { return p.SelectPrinter(std::string(sPrinter)); });
}

void cPrinter::SetUserPaperSize(float nPaperWidthMM, float nPaperHeightMM) {
    api::onInner(m_impl,
                 [&](api::Printer& p) { p.SetUserPaperSize(nPaperWidthMM, nPaperHeightMM); });
}
float cPrinter::GetPaperWidth() {
    return api::onInner(m_impl, 0.0f, [](api::Printer& p) { return p.GetPaperWidth(); });
}
float cPrinter::GetPaperHeight() {
    return api::onInner(m_impl, 0.0f, [](api::Printer& p) { return p.GetPaperHeight(); });
}
int32_t cPrinter::GetpaperSize() {
    return api::onInner(m_impl, 0, [](api::Printer& p) { return p.GetpaperSize(); });
}
void cPrinter::SetPaperSize(int32_t nPaperSize) {
    api::onInner(m_impl, [&](api::Printer& p) { p.SetPaperSize(nPaperSize); });
}
int32_t cPrinter::GetColorMode() {
    return api::onInner(m_impl, 0, [](api::Printer& p) { return p.GetColorMode(); });
}
void cPrinter::SetColorMode(int32_t nColorMode) {
    api::onInner(m_impl, [&](api::Printer& p) { p.SetColorMode(nColorMode); });
}
void cPrinter::SetCopies(int32_t nCopies) {
    api::onInner(m_impl, [&](api::Printer& p) { p.SetCopies(nCopies); });
}
int32_t cPrinter::GetCopies() {
    return api::onInner(m_impl, 0, [](api::Printer& p) { return p.GetCopies(); });
}
void cPrinter::SetDuplexMode(int32_t nDuplexMode) {
    api::onInner(m_impl, [&](api::Printer& p) { p.SetDuplexMode(nDuplexMode); });
}
int32_t cPrinter::GetDuplexMode() {
    return api::onInner(m_impl, 0, [](api::Printer& p) { return p.GetDuplexMode(); });
}
void cPrinter::SetOrientation(int32_t nOrientation) {
    api::onInner(m_impl, [&](api::Printer& p) { p.SetOrientation(nOrientation); });
}
int32_t cPrinter::GetOrientation() {
    return api::onInner(m_impl, 0, [](api::Printer& p) { return p.GetOrientation(); });
}
int32_t cPrinter::GetQuality() {
    return api::onInner(m_impl, 0, [](api::Printer& p) { return p.GetQuality(); });
}
void cPrinter::SetQuality(int32_t nPrintQuality) {
    api::onInner(m_impl, [&](api::Printer& p) { p.SetQuality(nPrintQuality); });
}
void cPrinter::GetMargins(float& sgMargeGauche, float& sgMargeHaute) {
    sgMargeGauche = sgMargeHaute = 0;
    api::onInner(m_impl, [&](api::Printer& p) { p.GetMargins(sgMargeGauche, sgMargeHaute); });
}
bool cPrinter::SetPaperBin(int32_t nPaperBin) {
    return api::onInner(m_impl, false, [&](api::Printer& p) { return p.SetPaperBin(nPaperBin); });
}
int32_t cPrinter::GetPaperBin() {
    return api::onInner(m_impl, 0, [](api::Printer& p) { return p.GetPaperBin(); });
}

uint32_t MovrinOpenDocument(std::string_view path, std::string_view password) {
    return api::guarded(uint32_t(0), [&] {
        return api::OpenPdfDocument(std::string(path), std::string(password));
    });
}

bool MovrinCloseDocument(uint32_t document) {
    return api::guarded(false, [&] { return api::ClosePdfDocument(document); });
}

} // namespace tavimo::v0
