#pragma once

// cPrinter prints an image of the image table, the pages of a multi-page TIFF image or the
// pages of a PDF document on a printer: at its natural size, reduced to the printable
// area when larger, fitted to it, or at a given place and size, in millimetres.
//
// Printers: the CUPS queues of the machine, and file printers that write each page as a
// PNG file into a folder, declared in the environment variable TAVIMO_FILE_PRINTERS as
// "name=folder[,dpi];name=folder..." (dpi 1 to 2400, default 300).
//
// Each object has its own current printer: the default printer until SelectPrinter (or
// the print dialog) chooses another; it is opened at the first member that needs it.
// Settings written through the object stay with its current printer.
//
// No member throws: a printer failure makes a getter answer 0 (or "") and a setter do
// nothing; print failures are kept for GetPrinterStat. The image core must be started on
// the calling thread for the print members (tavimo/image.h); an object belongs to the
// thread that made it.

#include <tavimo/enums.h>
#include <tavimo/export.h>
#include <tavimo/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tavimo {
inline namespace v0 {

// Raised before each page is drawn: the page about to be printed (from 1) and the number
// of pages after it. A handler may change PageNo: the page loop goes on after the number
// it holds.
using PrintPageEvent = std::function<void(int32_t& PageNo, int32_t& PageLeft)>;

class TAVIMO_API cPrinter {
public:
    cPrinter();
    ~cPrinter();
    cPrinter(const cPrinter&) = delete;
    cPrinter& operator=(const cPrinter&) = delete;

    // The public variables, read at each print.
    // True: the document argument of the print members is a PDF document of
    // MovrinOpenDocument, not an ImageId.
    bool m_PDFMode = false;
    // The job name the spooler shows.
    std::string m_DocumentName = "Print Process";
    // Turn a page that does not fit the paper when its orientation differs from the paper's.
    bool m_AutomaticRotation = false;
    // Placement on the page, a ViewerImageAlignment value; 3 (the default) is top left.
    int32_t m_ImageAlignment = 3;
    // The PrintPage event (none by default).
    PrintPageEvent PrintPage;

    // ---- Printing -------------------------------------------------------------------------

    // Prints the document at its natural size, reduced to the printable area when larger,
    // or with bFit fitted to the printable area. A multi-page document prints the range of
    // SetFromToPage when one is set, else its first (TIFF: current) page. Nothing happens
    // (the status included) without a printer or for document 0.
    void PrintImage(int32_t ptImage, bool bFit);
    // SelectPrinter, then PrintImage when it succeeded; the result is SelectPrinter's.
    bool PrintImage2Printer(int32_t ptImage, std::string_view sPrinterName, bool bFit);
    // Prints at (nXDest, nYDest) with the size nWidth x nHeight (mm); a width or height of
    // 0 or below takes the natural size.
    void PrintImageBySize(int32_t ptImage, float nXDest, float nYDest, float nWidth,
                          float nHeight);
    bool PrintImageBySize2Printer(int32_t ptImage, std::string_view sPrinterName, float nXDest,
                                  float nYDest, float nWidth, float nHeight);
    // Shows the print dialog, applies the choice and prints (by size when any of the four
    // values is not 0). False when the dialog is cancelled; without a dialog installed by
    // the host it always is.
    bool PrintImageDialog(int32_t ptImage, bool bFit, float nXDest, float nYDest, float nWidth,
                          float nHeight, uint32_t nHWND);
    // The status of the last print.
    PrinterStatus GetPrinterStat();
    // The resolution (dpi) PDF pages are rasterised at; images overwrite it with their own.
    void ForceResolution(int32_t nHorizontal, int32_t nVertical);
    // Both 0: no page range (the stored pages stay). Otherwise pages nFromParam..nToParam,
    // a value of 0 or below read as 1.
    void SetFromToPage(int32_t nFromParam, int32_t nToParam);
    bool IsSetFromTo();

    // ---- Printers ---------------------------------------------------------------------------

    int32_t GetPrintersCount();
    // Printer nPrinterID (from 1) of the installed list; "" outside it.
    std::string GetPrinterName(int32_t nPrinterID);
    // The current printer's name; "" when no printer is installed.
    std::string GetDefaultPrinter();
    // Makes the printer whose name, trimmed and upper-cased, equals the trimmed upper-cased
    // sPrinter current, else the first whose name begins with it. False when none does, and
    // for a name that is empty once trimmed.
    bool SelectPrinter(std::string_view sPrinter);

    // ---- Settings of the current printer ----------------------------------------------------

    // Makes the paper a user size of this many millimetres (rounded to whole twips).
    void SetUserPaperSize(float nPaperWidthMM, float nPaperHeightMM);
    // The paper's size in millimetres as it lies in the current orientation; 0 on failure.
    float GetPaperWidth();
    float GetPaperHeight();
    // Windows paper size codes (9 A4, 1 Letter, ...).
    int32_t GetpaperSize();
    void SetPaperSize(int32_t nPaperSize);
    // 1 monochrome, 2 colour; other values are ignored.
    int32_t GetColorMode();
    void SetColorMode(int32_t nColorMode);
    void SetCopies(int32_t nCopies);
    int32_t GetCopies();
    // 1 simplex, 2 long edge, 3 short edge.
    void SetDuplexMode(int32_t nDuplexMode);
    int32_t GetDuplexMode();
    // 1 portrait, 2 landscape.
    void SetOrientation(int32_t nOrientation);
    int32_t GetOrientation();
    // A PrintQuality value, or a resolution in dpi.
    int32_t GetQuality();
    void SetQuality(int32_t nPrintQuality);
    // The unprintable margins in millimetres (left and top, taken for all four sides).
    void GetMargins(float& sgMargeGauche, float& sgMargeHaute);
    // True when the printer has that bin.
    bool SetPaperBin(int32_t nPaperBin);
    int32_t GetPaperBin();

private:
    struct Impl;
    Impl* m_impl; // null only when the printer state could not be allocated
};

// PDF documents for cPrinter's PDF mode, read by the PDF plug-in (libmovrin.so). Opens a
// file (with its password when it is encrypted) and answers the document's handle; 0 when
// the plug-in is absent or the file is not a PDF it opens.
TAVIMO_API uint32_t MovrinOpenDocument(std::string_view path, std::string_view password = {});
// Closes a document of MovrinOpenDocument; false for an unknown handle.
TAVIMO_API bool MovrinCloseDocument(uint32_t document);

} // namespace v0
} // namespace tavimo
