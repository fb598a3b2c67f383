// The print engine: page loop, sizing, rotation, placement and PDF rasterising.

#include "printing/cPrinter.h"

#include "core/image_containers.h"
#include "core/image_convert.h"
#include "core/image_draw.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "platform/win/gdi.h"
#include "platform/win/vb_number.h"
#include "printing/movrin_plugin.h"

#include <cmath>

namespace tavimo {

namespace {

// Releases an image of the table when the scope ends (0 is nothing to release).
struct ScopedImage {
    ImageId id = 0;
    ~ScopedImage() {
        if (id)
            ReleaseImage(id);
    }
};

int32_t roundedMm(float value) {
    int32_t out = 0;
    return win::tryToInt32(value, out) ? out : 0;
}

} // namespace

void cPrinter::PrintImage(int32_t ptImage, bool bFit) {
    try {
        if (ptImage == 0 || GetPrintersCount() < 1 || !device())
            return;
        printPages(ptImage, 0, 0, 0, 0, true, bFit);
    } catch (...) {
        m_status = PrinterUnexpectedError;
    }
}

bool cPrinter::PrintImage2Printer(int32_t ptImage, const std::string& sPrinterName, bool bFit) {
    try {
        if (!SelectPrinter(sPrinterName))
            return false;
        PrintImage(ptImage, bFit);
        return true;
    } catch (...) {
        return false;
    }
}

void cPrinter::PrintImageBySize(int32_t ptImage, float nXDest, float nYDest, float nWidth,
                                float nHeight) {
    try {
        if (ptImage == 0 || GetPrintersCount() < 1 || !device())
            return;
        printPages(ptImage, nXDest, nYDest, nWidth, nHeight, false, false);
    } catch (...) {
        m_status = PrinterUnexpectedError;
    }
}

bool cPrinter::PrintImageBySize2Printer(int32_t ptImage, const std::string& sPrinterName,
                                        float nXDest, float nYDest, float nWidth, float nHeight) {
    try {
        if (!SelectPrinter(sPrinterName))
            return false;
        PrintImageBySize(ptImage, nXDest, nYDest, nWidth, nHeight);
        return true;
    } catch (...) {
        return false;
    }
}

int32_t cPrinter::getPageCount(int32_t document) {
    if (m_PDFMode)
        return MovrinPageCount(uint32_t(document));
    if (GetImageFormatName(document) == "TIFF") {
        int32_t count = 0;
        GetTiffPageCount(document, count);
        return count;
    }
    return 1;
}

float cPrinter::pdfResolution() {
    // Without a forced resolution a PDF page is rasterised at the printer's own.
    if (m_resolutionX > 0)
        return m_resolutionX;
    prn::PrinterDevice* d = device();
    return d ? float(d->geometry().dpiX) : 0.0f;
}

ImageId cPrinter::rasterizePdfPage(int32_t document, int32_t page) {
    try {
        const uint32_t doc = uint32_t(document);
        if (MovrinSelectPage(doc, page) != 1) {
            m_status = PrinterPdfRenderingPageError;
            return 0;
        }
        const double dpi = pdfResolution();
        const double hExact = MovrinPageHeight(doc) / 72.0 * dpi;
        const double wExact = MovrinPageWidth(doc) / 72.0 * dpi;
        int32_t h = 0, w = 0;
        if (!(hExact < 2147483647.0) || !(wExact < 2147483647.0)) {
            m_status = PrinterPdfRenderingPageError;
            return 0;
        }
        h = int32_t(std::ceil(hExact));
        w = int32_t(std::ceil(wExact));
        const int32_t rotation = std::abs(MovrinPageRotation(doc));
        if (rotation == 90 || rotation == 270)
            std::swap(w, h);
        gp::GpBitmap bitmap = 0;
        if (MovrinRasterize(doc, dpi, bitmap, w, h, 0, -1) != 1) {
            m_status = PrinterPdfRenderingPageError;
            return 0;
        }
        ImageId id = 0;
        m_status = RegisterValidatedImage(id, bitmap);
        // A bitmap the table did not take would be lost.
        if (m_status != OK || id == 0) {
            gp::GdipDisposeImage(bitmap);
            if (m_status == OK)
                m_status = PrinterPdfRenderingPageError;
            return 0;
        }
        return id;
    } catch (...) {
        m_status = PrinterPdfUnexpectedError;
        return 0;
    }
}

ImageId cPrinter::selectPrintPage(int32_t document, int32_t page) {
    if (m_PDFMode)
        return rasterizePdfPage(document, page);
    if (SelectTiffPage(document, page - 1) != OK)
        m_status = PrinterErrorSelectingFrame;
    return document;
}

bool cPrinter::layoutPage(int32_t document, ImageId pageImage, int32_t page, float width,
                          float height, float x, float y, bool automatic, bool fit,
                          Placement& out) {
    float w = width, h = height;
    // The natural size, from the pixels and the resolution.
    if (w <= 0 || h <= 0) {
        int32_t pw = 0, ph = 0;
        GetImageWidth(pageImage, pw);
        GetImageHeight(pageImage, ph);
        float resX = m_resolutionX, resY = m_resolutionY;
        if (!m_PDFMode) {
            GetImageHorizontalResolution(pageImage, m_resolutionX);
            GetImageVerticalResolution(pageImage, m_resolutionY);
            if (m_resolutionX <= 0)
                m_resolutionX = 72;
            if (m_resolutionY <= 0)
                m_resolutionY = 72;
            resX = m_resolutionX;
            resY = m_resolutionY;
        } else {
            resX = pdfResolution();
            if (resY <= 0)
                resY = resX;
        }
        if (pw < 1 || ph < 1 || !(resX > 0) || !(resY > 0)) {
            m_status = PrinterGdiplusWriteError;
            return false;
        }
        w = float(pw / resX * 25.4);
        h = float(ph / resY * 25.4);
    }

    const float paperW = GetPaperWidth(), paperH = GetPaperHeight();
    float marginX = 0, marginY = 0;
    GetMargins(marginX, marginY);
    float aw = paperW - 2 * marginX, ah = paperH - 2 * marginY;
    if (aw <= 0 || ah <= 0)
        aw = paperW, ah = paperH;

    // The turn is decided on the size asked for, before any fitting: once fitted, a page
    // always fits the paper and would never be turned.
    if (m_AutomaticRotation && w > 0 && h > 0 && paperW > 0 && paperH > 0) {
        const bool portraitImage = h >= w, portraitPaper = paperH >= paperW;
        if (portraitImage != portraitPaper && (h > paperH || w > paperW)) {
            std::swap(w, h);
            if (!m_PDFMode) {
                ImageId clone = 0;
                CloneImage(clone, document);
                out.rotated = clone;
                if (clone && page > 1)
                    SelectTiffPage(clone, page - 1); // a copy of one page: nothing to select
                if (!clone || RotateFlip(clone, 3, true) != OK) {
                    m_status = PrinterGdiplusWriteError;
                    return false;
                }
            } else if (RotateFlip(pageImage, 3, true) != OK) {
                m_status = PrinterGdiplusWriteError;
                return false;
            }
        }
    }

    if (fit) {
        const float k = (w / h >= aw / ah) ? aw / w : ah / h;
        w *= k;
        h *= k;
    } else if (automatic && (w > aw || h > ah)) {
        const float ratio = w / h;
        bool widthDecides;
        if (w > aw && h > ah)
            widthDecides = (h - ah) <= (w - aw);
        else
            widthDecides = w > aw;
        if (widthDecides) {
            w = aw;
            h = w / ratio;
        } else {
            h = ah;
            w = h * ratio;
        }
    }

    // Placement within the printable area, whose corner is the device context's origin.
    switch (m_ImageAlignment) {
    case 1:
    case 5:
    case 8:
        x = aw - w;
        break;
    case 2:
    case 6:
    case 9:
        x = (aw - w) / 2;
        break;
    default:
        break;
    }
    switch (m_ImageAlignment) {
    case 0:
    case 1:
    case 2:
        y = (ah - h) / 2;
        break;
    case 7:
    case 8:
    case 9:
        y = ah - h;
        break;
    default:
        break;
    }
    out.x = x;
    out.y = y;
    out.w = w;
    out.h = h;
    return true;
}

void cPrinter::drawPage(ImageId pageImage, const Placement& placement) {
    prn::PrinterDevice* d = device();
    win::HDC dc = d ? d->startPage(m_DocumentName) : 0;
    const ImageId image = placement.rotated ? placement.rotated : pageImage;
    if (!dc || DrawImageToDC(image, dc, roundedMm(placement.x), roundedMm(placement.y),
                             roundedMm(placement.w), roundedMm(placement.h), 3, 7, 6) != OK) {
        m_status = PrinterGdiplusWriteError;
        // A page whose drawing failed is not printed blank.
        if (d)
            d->discardPage();
    }
}

void cPrinter::printPages(int32_t document, float x, float y, float width, float height,
                          bool automatic, bool fit) {
    prn::PrinterDevice* d = device();
    if (!d)
        return;
    m_status = PrinterOK;
    try {
        d->setScaleMode(6);
        const int32_t count = getPageCount(document);
        // The stored range is the caller's; a print clamps its own copy.
        int32_t from = m_fromPage, to = m_toPage;
        bool usable = false;
        if (count < 2) {
            from = 1;
        } else if (to >= from) {
            usable = true;
            from = std::min(from, count);
            to = std::min(to, count);
        }
        if (usable && m_rangeSet) {
            bool first = true;
            for (int32_t p = from; p <= to && m_status == PrinterOK; ++p) {
                ScopedImage pdfPage;
                const ImageId pageImage = selectPrintPage(document, p);
                if (m_PDFMode)
                    pdfPage.id = pageImage;
                if (m_status != PrinterOK)
                    break;
                Placement placement;
                ScopedImage rotated;
                const bool placed = layoutPage(document, pageImage, p, width, height, x, y,
                                               automatic, fit, placement);
                rotated.id = placement.rotated;
                if (!placed || m_status != PrinterOK)
                    break;
                if (!first)
                    d->newPage();
                first = false;
                int32_t pageNo = p, pageLeft = to - p;
                if (PrintPage)
                    PrintPage(pageNo, pageLeft);
                drawPage(pageImage, placement);
                p = pageNo;
            }
        } else {
            ScopedImage pdfPage;
            ImageId pageImage = document;
            if (m_PDFMode)
                pdfPage.id = pageImage = selectPrintPage(document, from);
            if (m_status == PrinterOK) {
                Placement placement;
                ScopedImage rotated;
                const bool placed = layoutPage(document, pageImage, from, width, height, x, y,
                                               automatic, fit, placement);
                rotated.id = placement.rotated;
                if (placed && m_status == PrinterOK) {
                    int32_t pageNo = from, pageLeft = 0;
                    if (PrintPage)
                        PrintPage(pageNo, pageLeft);
                    drawPage(pageImage, placement);
                }
            }
        }
        if (!d->endDoc() && m_status == PrinterOK)
            m_status = PrinterGdiplusWriteError;
    } catch (...) {
        m_status = PrinterUnexpectedError;
        try {
            d->endDoc();
        } catch (...) {
        }
    }
}

} // namespace tavimo
