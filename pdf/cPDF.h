#pragma once

// cPDF writes one PDF file in a single forward pass: NewPdf opens the document, the drawing
// members fill pages, LoadFont and PdfAddImage add shared objects, ClosePdfFile writes the
// resources, the page tree, the cross-reference table and the trailer. Every object goes to
// the file as soon as it is complete; only the open page's content is held in memory.
//
// Strings: every text parameter is UTF-8 and is converted to Windows-1252 on entry (one byte
// per character, '?' for characters the code page cannot hold); file paths are used as given.
// Failures are values: no member throws. A failed write ends the member that met it; what was
// written stays in the file.

#include "pdf/pdf_security.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavimo {

enum PdfEncryption : std::int32_t {
    PdfEncryptionNone = 0,
    PdfEncryption40BitRC4 = 1,
    PdfEncryption128BitRC4 = 2,
};

enum PdfRight : std::int32_t {
    PdfRightUndefined = -1,
    PdfRightCanView = 0,
    PdfRightCanPrint = 1,
    PdfRightCanCopy = 2,
    PdfRightCanModify = 4,
    PdfRightCanAddNotes = 8,
    PdfRightCanFillFields = 16,
    PdfRightCanCopyAccess = 32,
    PdfRightCanAssemble = 64,
    PdfRightCanPrintFull = 128,
};

// A reading of the local clock, with the offset of local time from UTC in minutes.
struct PdfLocalTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int utcOffsetMinutes = 0;
};

// Where a document takes its date and its random identifiers from. Tests fix both, so that
// whole files can be compared byte for byte.
struct PdfEnvironment {
    std::function<PdfLocalTime()> clock;   // default: the system's local time
    std::function<std::uint32_t()> random; // default: a generator seeded from random_device
};

class cPDF {
public:
    // The producer text: the /Producer value, the XMP producer and the header comment.
    static constexpr std::string_view kProducer = "Quennet ActiveX 5.13.07 edition.";

    cPDF();
    // A document still open is finished (as by ClosePdfFile), so nothing written is lost.
    ~cPDF();
    cPDF(const cPDF&) = delete;
    cPDF& operator=(const cPDF&) = delete;

    // True once the header, Info and Catalog of the current document are written.
    bool PdfHeaderDone() const { return m_headerDone; }
    // XMP packet written as the metadata stream (object 5), as given (UTF-8). Ignored for the
    // packet when PdfA is on: then the built-in PDF/A template is filled in.
    void XMP(const std::string& sXMP);
    // PDF/A-1b output (header, XMP from the template, sRGB output intent, file identifier).
    // An encrypted document is never PDF/A.
    void PdfA(bool bPdfA);
    // Flate level of image data, 0 to 9 (default 9); other values are ignored.
    void CompressLevel(std::int32_t nLevel);
    std::int32_t CompressLevel() const { return m_compressLevel; }
    // JPEG quality of image data, 0 to 100 (default 75); other values are ignored.
    void JpegQuality(std::int32_t nQuality);
    std::int32_t JpegQuality() const { return m_jpegQuality; }
    // Compress page content and image data (default True).
    void CompressData(bool bCompress) { m_compressData = bCompress; }
    bool CompressData() const { return m_compressData; }
    // Page margin in points (default 0): the crop box is inset by it. Taken at BeginPage.
    void Margin(float vData) { m_margin = vData; }
    float Margin() const { return m_margin; }
    // Number of images added to the current document.
    float ImageCount() const { return float(m_imageCount); }
    // Paper size in points (default 595.2 x 842); setting either sets the size code to 255.
    void PaperWidth(float vData);
    void PaperHeight(float vData);
    float PaperWidth() const { return m_paperWidth; }
    float PaperHeight() const { return m_paperHeight; }
    // Pages begun in the current document.
    std::int16_t Pages() const { return m_pages; }
    // 0: 595.2 x 842, 1: 842 x 1190.5, 2: 612 x 792, 3: 612 x 864; other codes keep the size.
    void PaperSize(std::int32_t New_PaperSize);
    // 1 marks every page /Rotate 90.
    void Orientation(std::int32_t NewOrientation) { m_orientation = NewOrientation; }
    std::int32_t Orientation() const { return m_orientation; }
    // The descriptor of the open output file, 0 when none is open. It identifies the file
    // only: the writer buffers its output, so bytes must not be written to it directly.
    std::int32_t PdfGetNativePdf() const;
    // The path given to the last NewPdf.
    std::string PdfGetPath() const { return m_path; }

    // Starts a document at sFilename, replacing an existing file. A document still open is
    // finished first. nPdfEncryption: 0 none, 1 RC4 40-bit, 2 RC4 128-bit; any other value is
    // refused. nPDFRight: PdfRight bits, -1 for all. An empty or blank owner password is
    // replaced by the user password. False when the mode is refused or the file cannot be
    // replaced or created; then no document is open.
    bool NewPdf(const std::string& sFilename, const std::string& sTitle, const std::string& sAuthor,
                const std::string& sCreator, const std::string& sKeywords,
                const std::string& sSubject, std::int32_t nPdfEncryption = PdfEncryptionNone,
                std::int32_t nPDFRight = PdfRightUndefined, const std::string& sUserpassWord = "",
                const std::string& sOwnerPassword = "");
    // Finishes the document: the open page, the resources, the page tree, the cross-reference
    // table and the trailer. A document with nothing in it still gets its header, Info and
    // Catalog, so the file is a valid empty document. Nothing when no document is open.
    void ClosePdfFile();
    // Ends the open page, if any, and opens the next one; answers the new page count, or 0
    // when no document is open.
    std::int16_t BeginPage();
    // Writes the open page; nothing when no page is open.
    void EndPage();

    // Writes the header, Info, Catalog and (as set) the metadata, output intent and Encrypt
    // dictionary. Runs by itself at the first page, font or image; nothing when no document
    // is open or the header is written already.
    void InitPdfFile();

    // Test seam: the clock and random source of later documents.
    void SetEnvironment(PdfEnvironment environment);

private:
    struct WriteError {};

    void resetDocument();
    void closeFile();
    void finishDocument();
    void initPdfFile();
    void endPage();
    void beginPageBody();
    void drawPageObjects();

    // Object writer.
    int beginObject(int number);
    void writeEndObj() { writeLine("endobj"); }
    void writeRaw(std::string_view bytes);
    void writeLine(std::string_view text);
    void writeBytes(std::string_view bytes) { writeLine(bytes); }
    void addContent(std::string_view text);
    std::string encodeTextValue(std::string_view text, int objectNumber, bool shortEscape) const;
    std::string encryptFor(int objectNumber, std::string_view data) const;
    bool encrypting() const { return m_encryption != 0; }

    std::string infoDate(const PdfLocalTime& t) const;
    std::string xmpDate(const PdfLocalTime& t) const;
    std::string newUuid();
    std::string buildPdfaXmp(const PdfLocalTime& t);

    PdfEnvironment m_environment;

    // Settings.
    std::int32_t m_compressLevel = 9;
    std::int32_t m_jpegQuality = 75;
    bool m_compressData = true;
    float m_margin = 0;
    std::int32_t m_paperSize = 0;
    float m_paperWidth = 595.2f;
    float m_paperHeight = 842;
    std::int32_t m_orientation = 0;
    bool m_pdfA = false;
    std::string m_xmp;

    // Output.
    std::string m_path;
    std::FILE* m_file = nullptr;
    std::uint64_t m_position = 0;

    // Document.
    bool m_headerDone = false;
    bool m_pdfAActive = false;
    int m_highest = 0;
    std::vector<std::int64_t> m_offsets; // by object number; -1 for a number no object took
    std::int16_t m_pages = 0;
    std::string m_kids;
    bool m_pageOpen = false;
    std::string m_content;
    float m_pageWidth = 0, m_pageHeight = 0, m_pageMargin = 0;
    float m_charSpacing = 0, m_wordSpacing = 0, m_horizontalScaling = 100;
    std::string m_fontText, m_imageText, m_formText;
    int m_imageCount = 0;

    // Document information, Windows-1252.
    std::string m_title, m_author, m_subject, m_keywords, m_creator;

    // Security.
    std::int32_t m_encryption = 0;
    std::int32_t m_rights = -1;
    std::string m_userPassword, m_ownerPassword;
    pdf::SecurityValues m_security;
    int m_encryptObject = 0;
    std::string m_id1, m_id2;
};

} // namespace tavimo
