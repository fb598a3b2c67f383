#pragma once

// The printer device layer: the installed printers, the default printer, and a printer
// device with its settings, page geometry, device context, new page and end of document.
//
// Two kinds of printers are installed:
// - file printers, registered by the host or the tests (registerFilePrinter) or listed in
//   $TAVIMO_FILE_PRINTERS ("Name=/directory[,dpi]" entries separated by ';', read at the
//   first listing). A finished page is written at once as a PNG file (32-bit colour, the
//   whole sheet with the unprintable margins white, its resolution in the pHYs chunk) named
//   "<printer>-job<N>-page<M>.png" in the printer's directory (characters other than
//   letters, digits, '-' and '_' in the printer name become '_'); every finished job is
//   also recorded (finishedJobs) with its name, settings and page files. Copies, duplex,
//   colour mode, quality and bin are recorded, not applied to the files.
// - CUPS destinations of the CUPS server ($CUPS_SERVER, else the local one). When no server
//   answers within a second the CUPS list is empty; a server that accepts but does not
//   answer is given up after a few seconds. Opening one asks the destination for its
//   papers (sizes and printable areas), resolutions, sources, sides, colour modes and
//   qualities: those are its capabilities, and its defaults are its settings. A job is
//   sent as one PDF document whose pages have the paper's size as it lies, each carrying
//   the printable area as a bitmap at the device's resolution, with the settings as the
//   job's IPP options (copies, media, orientation-requested, sides, print-color-mode,
//   print-quality, printer-resolution, media-source, each when the destination has it).
// File printers come first, in registration order, then the CUPS destinations in the
// server's order. The default printer is the one named with setDefaultPrinter when it is
// installed, else the first file printer registered as default, else CUPS's default, else
// the first printer.
//
// Landscape turns the sheet a quarter turn counter-clockwise: the portrait sheet's left
// margin becomes the top one, its bottom margin the left one.
//
// Units: paper width and height in twips (1440 per inch), margins and the sizes of the
// capabilities in millimetres, pixel sizes at the device's resolution. All functions are
// safe to call from any thread; a device is used by one thread at a time. Nothing throws.

#include "platform/win/gdi_types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace prn {

// Windows paper size codes the layer knows (any other code is refused).
inline constexpr int32_t DMPAPER_LETTER = 1;
inline constexpr int32_t DMPAPER_TABLOID = 3;
inline constexpr int32_t DMPAPER_LEGAL = 5;
inline constexpr int32_t DMPAPER_STATEMENT = 6;
inline constexpr int32_t DMPAPER_EXECUTIVE = 7;
inline constexpr int32_t DMPAPER_A3 = 8;
inline constexpr int32_t DMPAPER_A4 = 9;
inline constexpr int32_t DMPAPER_A5 = 11;
inline constexpr int32_t DMPAPER_B4 = 12; // JIS
inline constexpr int32_t DMPAPER_B5 = 13; // JIS
inline constexpr int32_t DMPAPER_FOLIO = 14;
inline constexpr int32_t DMPAPER_ENV_10 = 20;
inline constexpr int32_t DMPAPER_ENV_DL = 27;
inline constexpr int32_t DMPAPER_ENV_C5 = 28;
inline constexpr int32_t DMPAPER_ENV_C6 = 31;
inline constexpr int32_t DMPAPER_ENV_MONARCH = 37;
inline constexpr int32_t DMPAPER_A6 = 70;
inline constexpr int32_t DMPAPER_USER = 256; // the size written through the width and height

// The portrait size of a known paper code in tenths of a millimetre; false for other codes
// (DMPAPER_USER included: it has no size of its own).
bool paperDimensions(int32_t paperSize, int32_t& widthTenthMm, int32_t& heightTenthMm);
// The known paper code of a portrait size within a millimetre, else DMPAPER_USER.
int32_t paperCodeForSize(double widthMm, double heightMm);

inline constexpr int32_t kOrientationPortrait = 1;
inline constexpr int32_t kOrientationLandscape = 2;

// The settings of a device, with the Windows values: orientation 1 portrait, 2 landscape;
// duplex 1 simplex, 2 long edge (vertical), 3 short edge (horizontal); colour 1 monochrome,
// 2 colour; quality -1 draft .. -4 high, or a positive resolution in dpi; bins as DMBIN
// codes (1 upper, 2 lower, 4 manual, 7 automatic, ...).
struct PrinterSettings {
    int32_t paperSize = DMPAPER_A4;
    int32_t paperWidthTwips = 11906;  // portrait width
    int32_t paperHeightTwips = 16838; // portrait height
    int32_t orientation = kOrientationPortrait;
    int32_t copies = 1;
    int32_t duplex = 1;
    int32_t colorMode = 2;
    int32_t printQuality = -4;
    int32_t paperBin = 7;
};

struct FilePrinterConfig {
    std::string name;      // must not be empty
    std::string directory; // where the page files go (made when missing)
    double dpi = 300.0;    // the device resolution, both directions (1 to 2400)
    // The unprintable margins of the sheet.
    double marginLeftMm = 0, marginTopMm = 0, marginRightMm = 0, marginBottomMm = 0;
    PrinterSettings defaults;
    std::vector<int32_t> paperBins = {1, 2, 4, 7}; // the bins the device accepts
    bool duplexCapable = true;
    bool colorCapable = true; // a printer without colour refuses colour mode 2
    bool makeDefault = false;
};

enum class PrinterKind { File, Cups };

struct PrinterInfo {
    std::string name;
    PrinterKind kind = PrinterKind::File;
};

// A paper the printer takes, portrait, with its unprintable margins.
struct PaperInfo {
    int32_t paperSize = DMPAPER_USER; // its Windows code; DMPAPER_USER for a size without one
    std::string name;                 // the printer's name for it (a PWG media name on CUPS)
    double widthMm = 0, heightMm = 0;
    double marginLeftMm = 0, marginTopMm = 0, marginRightMm = 0, marginBottomMm = 0;
};

struct PaperBinInfo {
    int32_t bin = 0;  // the DMBIN code (256 and up: a source without a standard code)
    std::string name; // the printer's name for it ("" for the automatic choice of a printer
                      // that names no sources)
};

struct PrinterResolution {
    double x = 0, y = 0; // dots per inch
};

// What a printer accepts; a setter refuses anything else.
struct PrinterCapabilities {
    std::vector<PaperInfo> papers; // the listed papers, each code once
    // User sizes (portrait, millimetres) accepted between these bounds, printed with the
    // margins of `customPaper`; none when the maximum width is 0. A user size equal to a
    // listed paper is always accepted and takes that paper's margins.
    double customMinWidthMm = 0, customMinHeightMm = 0;
    double customMaxWidthMm = 0, customMaxHeightMm = 0;
    PaperInfo customPaper;
    std::vector<PrinterResolution> resolutions; // a positive quality chooses one by its x
    PrinterResolution defaultResolution;
    std::vector<int32_t> qualities;   // the negative quality codes accepted
    std::vector<int32_t> duplexModes; // 1 .. 3
    std::vector<int32_t> colorModes;  // 1, 2
    std::vector<PaperBinInfo> bins;
    int32_t maxCopies = 9999;
};

// One installed printer for a print dialog: its capabilities and its default settings.
struct PrinterDescription {
    std::string name;
    PrinterKind kind = PrinterKind::File;
    bool isDefault = false;
    PrinterSettings defaults;
    PrinterCapabilities capabilities;
};

// Registers a file printer (one of the same name is replaced). False for an empty name or
// directory or a resolution outside 1..2400.
bool registerFilePrinter(const FilePrinterConfig& config);
// Registers the printers of a list in the form of $TAVIMO_FILE_PRINTERS (other settings
// as FilePrinterConfig's defaults); entries without '=' or with a bad resolution are
// skipped. Answers the number registered.
int32_t registerFilePrinters(const std::string& list);
bool unregisterFilePrinter(const std::string& name);
// Removes every file printer, the recorded jobs and the default printer's name.
void clearFilePrinters();

// The installed printers, in order (see above), and the default printer's name ("" when
// no printer is installed).
std::vector<PrinterInfo> installedPrinters();
std::string defaultPrinterName();
// Every installed printer that can be opened, in order, the default marked. Asks each CUPS
// destination for its capabilities.
std::vector<PrinterDescription> describePrinters();
// Names the default printer (empty: back to the automatic choice).
void setDefaultPrinter(const std::string& name);

// CUPS. Disabled, the CUPS list is empty (tests that want only their own printers). The
// list is asked of the server at most every few seconds; refreshCupsPrinters asks anew at
// the next listing.
void setCupsEnabled(bool enabled);
bool cupsEnabled();
void refreshCupsPrinters();

// What a file printer printed, oldest first.
struct FinishedJob {
    std::string printer;
    std::string jobName;
    PrinterSettings settings; // as they were when the document ended
    double dpiX = 0, dpiY = 0;
    std::vector<std::string> pageFiles;
};
std::vector<FinishedJob> finishedJobs(const std::string& printer);
void clearFinishedJobs();

// The sheet of a device at its resolution: its size, and where its printable area lies.
struct PageGeometry {
    double dpiX = 0, dpiY = 0;
    double sheetWidthPt = 0, sheetHeightPt = 0; // the exact paper, as it lies, in points
    int32_t sheetWidth = 0, sheetHeight = 0;    // pixels
    int32_t areaWidth = 0, areaHeight = 0;      // the printable area, pixels
    int32_t offsetX = 0, offsetY = 0;           // the area's corner on the sheet, pixels
};

// One installed printer, open for settings and printing. A document starts with the first
// page (startPage); pages end with newPage or endDoc.
class PrinterDevice {
public:
    // The printer of that name (exactly as listed), or null when none is installed.
    static std::unique_ptr<PrinterDevice> open(const std::string& name);
    ~PrinterDevice(); // an open document is ended (its pages are printed)

    PrinterDevice(const PrinterDevice&) = delete;
    PrinterDevice& operator=(const PrinterDevice&) = delete;

    const std::string& deviceName() const;
    PrinterKind kind() const;

    // Settings. A setter answers false, and changes nothing, for a value the device refuses
    // (see capabilities): a paper it does not list, an orientation other than 1 or 2, copies
    // outside 1..maxCopies, a duplex mode, colour mode or negative quality it lacks, a
    // positive quality that is none of its resolutions, a bin it lacks. A positive quality
    // makes that resolution the device's. Changes apply from the next page on.
    const PrinterSettings& settings() const;
    const PrinterCapabilities& capabilities() const;
    bool setPaperSize(int32_t paperSize);
    bool setOrientation(int32_t orientation);
    bool setCopies(int32_t copies);
    bool setDuplex(int32_t duplex);
    bool setColorMode(int32_t colorMode);
    bool setPrintQuality(int32_t quality);
    bool setPaperBin(int32_t bin);

    // The sheet in twips as it lies in the current orientation. Writing one makes the paper
    // a user size (DMPAPER_USER) with the other side kept; setSize writes both at once. The
    // size must be a listed paper's or within the user sizes (file printers: 1 to 144000
    // twips, 100 inches, each way).
    int32_t width() const;
    int32_t height() const;
    bool setWidth(int32_t twips);
    bool setHeight(int32_t twips);
    bool setSize(int32_t widthTwips, int32_t heightTwips);
    // The current paper: the listed one, or the user size with its margins (portrait).
    PaperInfo paper() const;

    // The coordinate system's unit (0 user .. 7 centimetres); stored and reported only.
    int32_t scaleMode() const;
    bool setScaleMode(int32_t mode);

    PageGeometry geometry() const;

    // The device context: the open page's, or else an information context with the
    // device's geometry (GetDeviceCaps answers, drawing fails). It stays valid until the
    // page ends or, for the information context, until a setting changes. 0 when the
    // geometry cannot be made.
    win::HDC hDC();

    // Starts the document when none is open (jobName names it) and a page when none is
    // open, and answers the page's DC; 0 when the page memory cannot be had.
    win::HDC startPage(const std::string& jobName);
    // Ends the open page (a blank one when none is open in an open document) so that the
    // next output goes on a new sheet. False when no document is open or the page could
    // not be written.
    bool newPage();
    // Drops the open page unprinted (a page whose drawing failed); the document stays open.
    void discardPage();
    // Ends the open page and the document; the job is printed. A document without a single
    // page ended is dropped: no empty job goes out. True when there was nothing to print or
    // the job went out whole.
    bool endDoc();
    // Drops the open document without printing it.
    void killDoc();
    bool documentOpen() const;
    int32_t pagesInDocument() const; // pages ended so far, the open one not counted

    struct Impl;

private:
    explicit PrinterDevice(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace prn
