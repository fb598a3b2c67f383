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

#include <tavimo/enums.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tavimo {

// An image ready to be written as an image XObject: its decoded samples (or JPEG data) and
// the encoding chosen for them. Rows are packed without padding, top row first: 1 bit per
// pixel (most significant bit leftmost), 4 bits, 8 bits, or 24-bit RGB (R, G, B bytes).
struct PdfImageData {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t depth = 24;            // 1, 4 and 8 index `palette`; 24 is RGB
    std::string samples;                // packed rows (modes 0 to 2)
    std::vector<std::uint32_t> palette; // ARGB entries, at most 2^depth
    std::int32_t mode = 1;              // 0 raw, 1 Flate, 2 CCITT group 4 (depth 1), 3 JPEG
    std::string jpeg;                   // the JPEG file (mode 3)
    std::int32_t resolutionX = 96;      // dots per inch
    std::int32_t resolutionY = 96;
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
    float ImageCount() const { return float(m_images.size()); }
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

    // Page content. Every drawing member opens a page first when none is open; while a form
    // is open (StartObject) their output goes into the form instead. Coordinates and sizes
    // are points, origin at the bottom left of the page.

    // Text state: word spacing (Tw), character spacing (Tc), horizontal scaling in per cent
    // (Tz). BeginPage resets them to 0, 0 and 100; TextWidth uses them.
    void SetWordSpacing(float W);
    void SetCharSpacing(float W);
    void SetTextHorizontalScaling(float W);
    // Draws a text with a font of LoadFont at FontSize points. Align: 0 left, 1 right, 2
    // centre of X. Rotate: degrees counter-clockwise about (X, Y). Nothing for an unknown font.
    void DrawText(float X, float Y, const std::string& strTemp, std::int32_t nFontID,
                  float FontSize, std::int32_t Align = 0, float Rotate = 0);
    // Text rendering mode 0 to 3 (fill, stroke, both, invisible); other values do nothing.
    void SetTextMode(std::int16_t M);
    // Colours: a colour reference (red in the low byte, then green, then blue) above 0 or below
    // -255; 0 to -255 is a grey level, -value / 255 (0 black, -255 white).
    void SetColorStroke(std::int32_t RGB);
    void SetColorFill(std::int32_t RGB);
    // Dash pattern; both 0 gives a solid line.
    void SetDash(float dash_on, float dash_off);
    void SetLineWidth(float W);
    // Line cap and join styles 0 to 2; other values do nothing.
    void SetLineCap(std::int16_t W);
    void SetLineJoin(std::int16_t W);
    // Path painting options, for the members below: 1 stroke, 2 close, 4 fill.
    void MoveTo(float X, float Y);
    void LineTo(float X, float Y, std::int32_t Options = 0);
    // A rectangle, with rounded corners of radius Ray when Ray is above 0. Ray is clamped to
    // half of each side and the clamped value is written back.
    void Rectangle(float X, float Y, float xdim, float ydim, std::int32_t Options, float& Ray);
    void Curve(float X1, float y1, float X2, float Y2, float X3, float Y3,
               std::int32_t Options = 0);
    void DrawCircle(float X, float Y, float Ray, std::int32_t Options = 0);
    // An elliptical arc from StartAngle to EndAngle (degrees) in steps of Quality degrees,
    // vertical radius Ray * Ratio, turned by Rotate degrees. Pie (or a fill) runs from the
    // centre and back. A step of 0 or less draws nothing.
    void Arc(float X, float Y, float Ray, float StartAngle, float EndAngle, float Ratio, bool Pie,
             float Rotate, std::int16_t Quality, std::int32_t Options);

    // Adds an image as an image XObject and answers its identifier (1, 2, ...), or 0 when
    // nothing was added (no document open, an image that cannot be read or has a bit depth
    // other than 1, 4, 8, 16, 24, 32, 48 or 64). nSrcType 1: ImgSrc is a file path, loaded
    // and released again; 2: ImgSrc is an ImageId of the image table, left in place. With
    // CompressData the encoding follows the depth: 1 bit CCITT group 4 (through the codec
    // plug-in; raw without it), 4 bits and colour 8 bits Flate, grey 8 bits JPEG when the
    // plug-in is present (else raw), deeper images JPEG at JpegQuality as RGB. Without a
    // JPEG encoder deeper images are written with Flate instead.
    std::int32_t PdfAddImage(const std::string& ImgSrc, std::int32_t nSrcType);
    std::int32_t PdfAddImage(std::int32_t ImgSrc, std::int32_t nSrcType);
    // Images. ImageWidth, ImageHeight, ImageResX and ImageResY answer 0 for an identifier
    // that no image has.
    std::int32_t ImageHeight(std::int32_t nImageID) const;
    std::int32_t ImageWidth(std::int32_t nImageID) const;
    std::int32_t ImageResX(std::int32_t nImageID) const;
    std::int32_t ImageResY(std::int32_t nImageID) const;
    // Draws an added image with its lower left corner at DestX, DestY, scaled to ImgWidth x
    // ImgHeight points. Nothing for an identifier that no image has.
    void DrawImg(std::int32_t& nImageID, float DestX, float DestY, float ImgWidth, float ImgHeight);
    // The lower-level entry of the image members: writes an image from its samples with the
    // encoding given (a failed Flate or CCITT compression falls back to raw samples) and
    // answers its identifier (1, 2, ...), or 0 when no document is open or the data is not
    // a valid image; nothing is written then.
    std::int32_t AddImageData(const PdfImageData& image);

    // Adds an installed TrueType font (name compared without case and blanks) with WinAnsi
    // widths; answers its identifier (1, 2, ...), or 0 when no document is open or the font is
    // not installed. Each call adds a new font. The font program is embedded only in PDF/A
    // documents (which require it).
    std::int32_t LoadFont(const std::string& BaseFont, bool bBold, bool bItalic);

    // Forms: StartObject opens a named form XObject; the drawing members then draw into it
    // until EndObject writes it. Options select the pages that draw it at their start: 7 all,
    // 2 even, 4 odd, 8 with 4 leaves out page 1 (so 14 is every page but the first). Opening
    // a form while another is open ends the other first; ClosePdfFile ends an open form.
    void StartObject(const std::string& name, std::int32_t Options);
    void EndObject();
    // Draws a form on the open page (or into the open form); nothing without either.
    void DrawObject(const std::string& name);

    // Width in points of a text drawn with a font at FontSize under the current text state;
    // 0 for an unknown font.
    float TextWidth(const std::string& strTemp, std::int32_t nFontID, float FontSize);

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
    void endForm();

    bool writeImageObject(const PdfImageData& image, const std::string& name);
    std::int32_t addImage(std::int32_t id);

    // Content.
    bool openTarget();
    void paintPath(std::int32_t options);
    void moveTo(float x, float y);
    void lineTo(float x, float y, std::int32_t options);
    void curve(float x1, float y1, float x2, float y2, float x3, float y3, std::int32_t options);
    void setColor(std::int32_t rgb, const char* rgbOperator, const char* greyOperator);
    float textWidth(std::string_view ansi, std::int32_t fontId, float size) const;

    // Object writer.
    int beginObject(int number);
    // True when `count` more objects fit the 16-bit object numbers; members that write
    // several objects check first, so none is left half written.
    bool haveObjects(int count) const;
    // Takes the next object number for an object written later.
    int reserveObject();
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

    struct FontRecord {
        std::string name; // base font name, blanks removed
        int firstChar = 32, lastChar = 255;
        std::array<int, 256> widths{};
        int missingWidth = 0;
    };
    std::vector<FontRecord> m_fonts;

    struct ImageRecord {
        std::int32_t width = 0, height = 0, resolutionX = 0, resolutionY = 0;
    };
    std::vector<ImageRecord> m_images;

    struct Form {
        std::string name;
        std::int32_t options = 0;
    };
    std::vector<Form> m_forms;
    bool m_formOpen = false;
    int m_formObject = 0;
    std::string m_formContent;
    std::string m_formHead; // the open form's dictionary, taken at StartObject

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
