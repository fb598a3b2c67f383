#pragma once

// The printing class: prints an image of the image table, the pages of a multi-page TIFF or
// the pages of a PDF opened by the plug-in Movrin on a printer of the printer device layer,
// at its size or fitted to the page, in millimetres.
//
// Each object has its own current printer: the default printer of the device layer until
// SelectPrinter (or the print dialog) chooses another; it is opened at the first member
// that needs it. Settings written through the object stay with its current printer and are
// those of a freshly opened printer after SelectPrinter.
//
// Units: millimetres for paper sizes, margins and print rectangles; dots per inch for the
// resolution fields. No member throws: a device-layer failure makes a getter answer 0 (or
// "") and a setter do nothing; print failures are kept for GetPrinterStat.

#include "core/image_table.h"
#include "platform/printer/printer.h"

#include <tavimo/enums.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tavimo {

// Raised before each page is drawn: the page about to be printed and the number of pages
// after it. A handler may change PageNo: the page loop goes on after the number it holds.
using PrintPageEvent = std::function<void(int32_t& PageNo, int32_t& PageLeft)>;

class cPrinter {
public:
    cPrinter();
    ~cPrinter();
    cPrinter(const cPrinter&) = delete;
    cPrinter& operator=(const cPrinter&) = delete;

    // True: the document argument of the print members is a Movrin document handle
    // (MovrinOpenDocument), not an ImageId.
    bool m_PDFMode = false;
    // The job name the spooler shows.
    std::string m_DocumentName = "Print Process";
    // Turn a page that does not fit the paper when its orientation differs from the paper's.
    bool m_AutomaticRotation = false;
    // Placement on the page, a ViewerImageAlignment value (3: top left).
    int32_t m_ImageAlignment = 3;

    // The event handler (none by default).
    PrintPageEvent PrintPage;

    // Makes the paper a user size of this many millimetres (rounded to whole twips).
    void SetUserPaperSize(float nPaperWidthMM, float nPaperHeightMM);
    // The paper's size in millimetres as it lies in the current orientation; 0 on failure.
    float GetPaperWidth();
    float GetPaperHeight();
    // The current printer's name; "" when no printer is installed.
    std::string GetDefaultPrinter();
    // Makes the printer whose name, trimmed and upper-cased, equals the trimmed upper-cased
    // `sPrinter` current, else the first whose name begins with it. False when none does, and
    // for a name that is empty once trimmed.
    bool SelectPrinter(const std::string& sPrinter);
    // 1 monochrome, 2 colour; other values are ignored.
    int32_t GetColorMode();
    void SetColorMode(int32_t nColorMode);
    // Windows paper size codes.
    int32_t GetpaperSize();
    void SetPaperSize(int32_t nPaperSize);
    void SetCopies(int32_t nCopies);
    int32_t GetCopies();

    // Prints the document at its natural size, reduced to the printable area when larger,
    // or with bFit fitted to the printable area. Nothing happens (the status included)
    // without a printer or for document 0.
    void PrintImage(int32_t ptImage, bool bFit);
    // SelectPrinter, then PrintImage when it succeeded; the result is SelectPrinter's.
    bool PrintImage2Printer(int32_t ptImage, const std::string& sPrinterName, bool bFit);
    // Prints at (nXDest, nYDest) with the size nWidth x nHeight (mm); a width or height of
    // 0 or below takes the natural size.
    void PrintImageBySize(int32_t ptImage, float nXDest, float nYDest, float nWidth, float nHeight);
    bool PrintImageBySize2Printer(int32_t ptImage, const std::string& sPrinterName, float nXDest,
                                  float nYDest, float nWidth, float nHeight);

    int32_t GetPrintersCount();
    // Printer nPrinterID (1-based) of the installed list; "" outside it.
    std::string GetPrinterName(int32_t nPrinterID);
    void SetDuplexMode(int32_t nDuplexMode);
    int32_t GetDuplexMode();
    void SetOrientation(int32_t nOrientation);
    int32_t GetOrientation();
    // Both 0: no page range (the stored pages stay). Otherwise pages nFromParam..nToParam,
    // a value of 0 or below read as 1.
    void SetFromToPage(int32_t nFromParam, int32_t nToParam);
    bool IsSetFromTo();
    int32_t GetQuality();
    void SetQuality(int32_t nPrintQuality);
    // The unprintable margins in millimetres (left and top, taken for all four sides).
    void GetMargins(float& sgMargeGauche, float& sgMargeHaute);
    // True when the printer has that bin.
    bool SetPaperBin(int32_t nPaperBin);
    int32_t GetPaperBin();
    // The status of the last print.
    PrinterStatus GetPrinterStat();
    // The resolution (dpi) PDF pages are rasterised at; images overwrite it with their own.
    void ForceResolution(int32_t nHorizontal, int32_t nVertical);
    // Shows the print dialog through the dialog service, applies the choice and prints (by
    // size when any of the four values is not 0). False when the dialog is cancelled.
    bool PrintImageDialog(int32_t ptImage, bool bFit, float nXDest, float nYDest, float nWidth,
                          float nHeight, uint32_t nHWND);

private:
    struct Placement {
        float x = 0, y = 0, w = 0, h = 0;
        ImageId rotated = 0; // a turned copy to draw instead of the page, released after it
    };

    prn::PrinterDevice* device();

    int32_t getPageCount(int32_t document);
    ImageId selectPrintPage(int32_t document, int32_t page);
    ImageId rasterizePdfPage(int32_t document, int32_t page);
    bool layoutPage(int32_t document, ImageId pageImage, int32_t page, float width, float height,
                    float x, float y, bool automatic, bool fit, Placement& out);
    void drawPage(ImageId pageImage, const Placement& placement);
    void printPages(int32_t document, float x, float y, float width, float height, bool automatic,
                    bool fit);
    float pdfResolution();

    std::unique_ptr<prn::PrinterDevice> m_device;
    int32_t m_fromPage = 1;
    int32_t m_toPage = 1;
    bool m_rangeSet = false;
    int32_t m_status = PrinterOK;
    float m_resolutionX = 0;
    float m_resolutionY = 0;
};

} // namespace tavimo
