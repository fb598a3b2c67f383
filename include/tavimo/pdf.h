#pragma once

// cPDF writes one PDF file in a single forward pass: NewPdf opens the document, the
// drawing members fill pages, LoadFont and PdfAddImage add shared objects, ClosePdfFile
// writes the resources, the page tree, the cross-reference table and the trailer. Every
// object goes to the file as soon as it is complete; only the open page's content is held
// in memory.
//
// Coordinates and sizes are points (1/72 inch), origin at the bottom left of the page.
// Every drawing member opens a page first when none is open; while a form is open
// (StartObject) their output goes into the form instead.
//
// Strings: every text parameter is UTF-8 and is written in Windows-1252 (one byte per
// character, '?' for characters the code page cannot hold); file paths are used as given.
// Failures are values: no member throws. A failed write ends the member that met it; what
// was written stays in the file. Images come from the image core of the calling thread,
// which must be started for PdfAddImage (tavimo/image.h). An object belongs to the thread
// that made it.

#include <tavimo/enums.h>
#include <tavimo/export.h>
#include <tavimo/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tavimo {
inline namespace v0 {

class TAVIMO_API cPDF {
public:
    cPDF();
    // A document still open is finished (as by ClosePdfFile), so nothing written is lost.
    ~cPDF();
    cPDF(const cPDF&) = delete;
    cPDF& operator=(const cPDF&) = delete;

    // ---- Settings -------------------------------------------------------------------------

    // True once the header, Info and Catalog of the current document are written.
    bool PdfHeaderDone() const;
    // XMP packet written as the document's metadata stream, as given (UTF-8). Ignored when
    // PdfA is on: the built-in PDF/A template is filled in instead.
    void XMP(std::string_view sXMP);
    // PDF/A-1b output (header, XMP from the template, sRGB output intent, embedded fonts).
    // An encrypted document is never PDF/A. Taken at the next document.
    void PdfA(bool bPdfA);
    // Flate level of image data, 0 to 9 (default 9); other values are ignored.
    void CompressLevel(int32_t nLevel);
    int32_t CompressLevel() const;
    // JPEG quality of image data, 0 to 100 (default 75); other values are ignored.
    void JpegQuality(int32_t nQuality);
    int32_t JpegQuality() const;
    // Compress page content and image data (default true).
    void CompressData(bool bCompress);
    bool CompressData() const;
    // Page margin in points (default 0): the crop box is inset by it. Taken at BeginPage.
    void Margin(float vData);
    float Margin() const;
    // Number of images added to the current document.
    float ImageCount() const;
    // Paper size in points (default 595.2 x 842, A4); setting either makes the size code
    // 255. Taken at BeginPage.
    void PaperWidth(float vData);
    void PaperHeight(float vData);
    float PaperWidth() const;
    float PaperHeight() const;
    // Pages begun in the current document.
    int16_t Pages() const;
    // 0: 595.2 x 842 (A4), 1: 842 x 1190.5 (A3), 2: 612 x 792 (Letter), 3: 612 x 864;
    // other codes keep the size.
    void PaperSize(int32_t New_PaperSize);
    // 1 marks every page /Rotate 90 (default 0).
    void Orientation(int32_t NewOrientation);
    int32_t Orientation() const;
    // The descriptor of the open output file, 0 when none is open. It identifies the file
    // only: the writer buffers its output, so nothing may be written to it directly.
    int32_t PdfGetNativePdf() const;
    // The path given to the last NewPdf.
    std::string PdfGetPath() const;

    // ---- Document -------------------------------------------------------------------------

    // Starts a document at sFilename, replacing an existing file; a document still open is
    // finished first. nPdfEncryption is a PdfEncryption (any other value is refused);
    // nPDFRight the PdfRight bits granted without the owner password, PdfRightUndefined
    // for all. An empty or blank owner password is replaced by the user password. False
    // when the encryption is refused or the file cannot be created; then no document is
    // open.
    bool NewPdf(std::string_view sFilename, std::string_view sTitle, std::string_view sAuthor,
                std::string_view sCreator, std::string_view sKeywords, std::string_view sSubject,
                int32_t nPdfEncryption = PdfEncryptionNone,
                int32_t nPDFRight = PdfRightUndefined, std::string_view sUserpassWord = {},
                std::string_view sOwnerPassword = {});
    // Finishes the document: the open page, the resources, the page tree, the
    // cross-reference table and the trailer. A document with nothing in it is still a valid
    // empty document. Nothing when no document is open.
    void ClosePdfFile();
    // Ends the open page, if any, and opens the next one; answers the new page count, or 0
    // when no document is open.
    int16_t BeginPage();
    // Writes the open page; nothing when no page is open.
    void EndPage();
    // Writes the header, Info, Catalog and (as set) the metadata, output intent and
    // Encrypt dictionary. Runs by itself at the first page, font or image; nothing when no
    // document is open or the header is written already.
    void InitPdfFile();

    // ---- Text -------------------------------------------------------------------------------

    // Adds an installed TrueType font (name compared without case and blanks, for example
    // "DejaVu Sans") and answers its identifier (1, 2, ...), or 0 when no document is open
    // or the font is not installed. Each call adds a new font. The font program is
    // embedded only in PDF/A documents.
    int32_t LoadFont(std::string_view BaseFont, bool bBold, bool bItalic);
    // Text state: word spacing, character spacing, horizontal scaling in per cent.
    // BeginPage resets them to 0, 0 and 100; TextWidth uses them.
    void SetWordSpacing(float W);
    void SetCharSpacing(float W);
    void SetTextHorizontalScaling(float W);
    // Draws a text with a font of LoadFont at FontSize points. Align: 0 left, 1 right, 2
    // centred on X. Rotate: degrees counter-clockwise about (X, Y). Nothing for an
    // unknown font.
    void DrawText(float X, float Y, std::string_view strTemp, int32_t nFontID, float FontSize,
                  int32_t Align = 0, float Rotate = 0);
    // Text rendering mode 0 to 3 (fill, stroke, both, invisible); other values do nothing.
    void SetTextMode(int16_t M);
    // Width in points of a text drawn with a font at FontSize under the current text state;
    // 0 for an unknown font.
    float TextWidth(std::string_view strTemp, int32_t nFontID, float FontSize);

    // ---- Graphics ---------------------------------------------------------------------------

    // Colours: a COLORREF (red in the low byte, then green, then blue) above 0 or below
    // -255; 0 to -255 is a grey level, -value / 255 (0 black, -255 white).
    void SetColorStroke(int32_t RGB);
    void SetColorFill(int32_t RGB);
    // Dash pattern in points; both 0 give a solid line.
    void SetDash(float dash_on, float dash_off);
    void SetLineWidth(float W);
    // Line cap and join styles 0 to 2 (butt, round, square / miter, round, bevel); other
    // values do nothing.
    void SetLineCap(int16_t W);
    void SetLineJoin(int16_t W);
    // Paths. Options of the painting members: 1 stroke, 2 close, 4 fill, combined with |.
    void MoveTo(float X, float Y);
    void LineTo(float X, float Y, int32_t Options = 0);
    // A rectangle, with rounded corners of radius Ray when Ray is above 0. Ray is clamped
    // to half of each side and the clamped value is written back.
    void Rectangle(float X, float Y, float xdim, float ydim, int32_t Options, float& Ray);
    void Curve(float X1, float y1, float X2, float Y2, float X3, float Y3, int32_t Options = 0);
    void DrawCircle(float X, float Y, float Ray, int32_t Options = 0);
    // An elliptical arc from StartAngle to EndAngle (degrees) in steps of Quality degrees,
    // vertical radius Ray * Ratio, turned by Rotate degrees. Pie (or a fill) runs from the
    // centre and back. A step of 0 or less draws nothing.
    void Arc(float X, float Y, float Ray, float StartAngle, float EndAngle, float Ratio, bool Pie,
             float Rotate, int16_t Quality, int32_t Options);

    // ---- Images -----------------------------------------------------------------------------

    // Adds an image and answers its identifier (1, 2, ...), or 0 when nothing was added
    // (no document open, an image that cannot be read, or a bit depth other than 1, 4, 8,
    // 16, 24, 32, 48 or 64). nSrcType must be 1: ImgSrc is a file path, loaded and
    // released again (another value adds nothing). With CompressData the encoding follows
    // the depth: 1 bit CCITT group 4 (through the codec plug-in; raw without it), 4 bits
    // and colour 8 bits Flate, grey 8 bits JPEG when the plug-in is present, deeper images
    // JPEG at JpegQuality.
    int32_t PdfAddImage(std::string_view ImgSrc, int32_t nSrcType);
    // The same with an image of the calling thread's table (its current page), which is
    // left in place; nSrcType must be 2.
    int32_t PdfAddImage(ImageId ImgSrc, int32_t nSrcType);
    // Size in pixels and resolution in dots per inch of an added image; 0 for an
    // identifier that no image has.
    int32_t ImageHeight(int32_t nImageID) const;
    int32_t ImageWidth(int32_t nImageID) const;
    int32_t ImageResX(int32_t nImageID) const;
    int32_t ImageResY(int32_t nImageID) const;
    // Draws an added image with its lower left corner at DestX, DestY, scaled to ImgWidth
    // x ImgHeight points. Nothing for an identifier that no image has.
    void DrawImg(int32_t nImageID, float DestX, float DestY, float ImgWidth, float ImgHeight);

    // ---- Forms ------------------------------------------------------------------------------

    // StartObject opens a named form XObject; the drawing members then draw into it until
    // EndObject writes it. Options select the pages that draw it at their start: 7 all, 2
    // even, 4 odd, 8 with 4 leaves out page 1 (so 14 is every page but the first). Opening
    // a form while another is open ends the other first; ClosePdfFile ends an open form.
    void StartObject(std::string_view name, int32_t Options);
    void EndObject();
    // Draws a form on the open page (or into the open form); nothing without either.
    void DrawObject(std::string_view name);

private:
    struct Impl;
    Impl* m_impl; // null only when the writer could not be allocated: every member fails
};

} // namespace v0
} // namespace tavimo
