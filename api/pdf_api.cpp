// The public cPDF (tavimo/pdf.h): a handle to the PDF writer of pdf/, so that the writer's
// layout never becomes part of the binary interface.

#include "pdf/cPDF.h"

// Bound before the public header declares a cPDF of its own in the inline namespace
// tavimo::v0.
namespace tavimo::api {
using PdfWriter = ::tavimo::cPDF;
} // namespace tavimo::api

#include "api/guard.h"

#include <tavimo/pdf.h>

#include <new>
#include <string>

namespace tavimo::v0 {

struct cPDF::Impl {
    api::PdfWriter inner;
};

namespace {

std::string text(std::string_view s) {
    return std::string(s);
}

} // namespace

cPDF::cPDF() : m_impl(api::guarded<Impl*>(nullptr, [] { return new (std::nothrow) Impl; })) {}

cPDF::~cPDF() {
    api::guardedVoid([&] { delete m_impl; });
}

bool cPDF::PdfHeaderDone() const {
    return api::onInner(m_impl, false, [](api::PdfWriter& w) { return w.PdfHeaderDone(); });
}
void cPDF::XMP(std::string_view sXMP) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.XMP(text(sXMP)); });
}
void cPDF::PdfA(bool bPdfA) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.PdfA(bPdfA); });
}
void cPDF::CompressLevel(int32_t nLevel) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.CompressLevel(nLevel); });
}
int32_t cPDF::CompressLevel() const {
    return api::onInner(m_impl, 0, [](api::PdfWriter& w) { return w.CompressLevel(); });
}
void cPDF::JpegQuality(int32_t nQuality) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.JpegQuality(nQuality); });
}
int32_t cPDF::JpegQuality() const {
    return api::onInner(m_impl, 0, [](api::PdfWriter& w) { return w.JpegQuality(); });
}
void cPDF::CompressData(bool bCompress) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.CompressData(bCompress); });
}
bool cPDF::CompressData() const {
    return api::onInner(m_impl, false, [](api::PdfWriter& w) { return w.CompressData(); });
}
void cPDF::Margin(float vData) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.Margin(vData); });
}
float cPDF::Margin() const {
    return api::onInner(m_impl, 0.0f, [](api::PdfWriter& w) { return w.Margin(); });
}
float cPDF::ImageCount() const {
    return api::onInner(m_impl, 0.0f, [](api::PdfWriter& w) { return w.ImageCount(); });
}
void cPDF::PaperWidth(float vData) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.PaperWidth(vData); });
}
void cPDF::PaperHeight(float vData) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.PaperHeight(vData); });
}
float cPDF::PaperWidth() const {
    return api::onInner(m_impl, 0.0f, [](api::PdfWriter& w) { return w.PaperWidth(); });
}
float cPDF::PaperHeight() const {
    return api::onInner(m_impl, 0.0f, [](api::PdfWriter& w) { return w.PaperHeight(); });
}
int16_t cPDF::Pages() const {
    return api::onInner(m_impl, int16_t(0), [](api::PdfWriter& w) { return w.Pages(); });
}
void cPDF::PaperSize(int32_t New_PaperSize) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.PaperSize(New_PaperSize); });
}
void cPDF::Orientation(int32_t NewOrientation) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.Orientation(NewOrientation); });
}
int32_t cPDF::Orientation() const {
    return api::onInner(m_impl, 0, [](api::PdfWriter& w) { return w.Orientation(); });
}
int32_t cPDF::PdfGetNativePdf() const {
    return api::onInner(m_impl, 0, [](api::PdfWriter& w) { return w.PdfGetNativePdf(); });
}
std::string cPDF::PdfGetPath() const {
    return api::onInner(m_impl, std::string(), [](api::PdfWriter& w) { return w.PdfGetPath(); });
}

bool cPDF::NewPdf(std::string_view sFilename, std::string_view sTitle, std::string_view sAuthor,
                  std::string_view sCreator, std::string_view sKeywords, std::string_view sSubject,
                  int32_t nPdfEncryption, int32_t nPDFRight, std::string_view sUserpassWord,
                  std::string_view sOwnerPassword) {
    return api::onInner(m_impl, false, [&](api::PdfWriter& w) {
        return w.NewPdf(text(sFilename), text(sTitle), text(sAuthor), text(sCreator),
                        text(sKeywords), text(sSubject), nPdfEncryption, nPDFRight,
                        text(sUserpassWord), text(sOwnerPassword));
    });
}
void cPDF::ClosePdfFile() {
    api::onInner(m_impl, [](api::PdfWriter& w) { w.ClosePdfFile(); });
}
int16_t cPDF::BeginPage() {
    return api::onInner(m_impl, int16_t(0), [](api::PdfWriter& w) { return w.BeginPage(); });
}
void cPDF::EndPage() {
    api::onInner(m_impl, [](api::PdfWriter& w) { w.EndPage(); });
}
void cPDF::InitPdfFile() {
    api::onInner(m_impl, [](api::PdfWriter& w) { w.InitPdfFile(); });
}

int32_t cPDF::LoadFont(std::string_view BaseFont, bool bBold, bool bItalic) {
    return api::onInner(
        m_impl, 0, [&](api::PdfWriter& w) { return w.LoadFont(text(BaseFont), bBold, bItalic); });
}
void cPDF::SetWordSpacing(float W) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.SetWordSpacing(W); });
}
void cPDF::SetCharSpacing(float W) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.SetCharSpacing(W); });
}
void cPDF::SetTextHorizontalScaling(float W) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.SetTextHorizontalScaling(W); });
}
void cPDF::DrawText(float X, float Y, std::string_view strTemp, int32_t nFontID, float FontSize,
                    int32_t Align, float Rotate) {
    api::onInner(m_impl, [&](api::PdfWriter& w) {
        w.DrawText(X, Y, text(strTemp), nFontID, FontSize, Align, Rotate);
    });
}
void cPDF::SetTextMode(int16_t M) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.SetTextMode(M); });
}
float cPDF::TextWidth(std::string_view strTemp, int32_t nFontID, float FontSize) {
    return api::onInner(m_impl, 0.0f, [&](api::PdfWriter& w) {
        return w.TextWidth(text(strTemp), nFontID, FontSize);
    });
}

void cPDF::SetColorStroke(int32_t RGB) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.SetColorStroke(RGB); });
}
void cPDF::SetColorFill(int32_t RGB) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.SetColorFill(RGB); });
}
void cPDF::SetDash(float dash_on, float dash_off) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.SetDash(dash_on, dash_off); });
}
void cPDF::SetLineWidth(float W) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.SetLineWidth(W); });
}
void cPDF::SetLineCap(int16_t W) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.SetLineCap(W); });
}
void cPDF::SetLineJoin(int16_t W) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.SetLineJoin(W); });
}
void cPDF::MoveTo(float X, float Y) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.MoveTo(X, Y); });
}
void cPDF::LineTo(float X, float Y, int32_t Options) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.LineTo(X, Y, Options); });
}
void cPDF::Rectangle(float X, float Y, float xdim, float ydim, int32_t Options, float& Ray) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.Rectangle(X, Y, xdim, ydim, Options, Ray); });
}
void cPDF::Curve(float X1, float y1, float X2, float Y2, float X3, float Y3, int32_t Options) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.Curve(X1, y1, X2, Y2, X3, Y3, Options); });
}
void cPDF::DrawCircle(float X, float Y, float Ray, int32_t Options) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.DrawCircle(X, Y, Ray, Options); });
}
void cPDF::Arc(float X, float Y, float Ray, float StartAngle, float EndAngle, float Ratio, bool Pie,
               float Rotate, int16_t Quality, int32_t Options) {
    api::onInner(m_impl, [&](api::PdfWriter& w) {
        w.Arc(X, Y, Ray, StartAngle, EndAngle, Ratio, Pie, Rotate, Quality, Options);
    });
}

int32_t cPDF::PdfAddImage(std::string_view ImgSrc, int32_t nSrcType) {
    return api::onInner(m_impl, 0,
                        [&](api::PdfWriter& w) { return w.PdfAddImage(text(ImgSrc), nSrcType); });
}
int32_t cPDF::PdfAddImage(ImageId ImgSrc, int32_t nSrcType) {
    return api::onInner(m_impl, 0,
                        [&](api::PdfWriter& w) { return w.PdfAddImage(ImgSrc, nSrcType); });
}
int32_t cPDF::ImageHeight(int32_t nImageID) const {
    return api::onInner(m_impl, 0, [&](api::PdfWriter& w) { return w.ImageHeight(nImageID); });
}
int32_t cPDF::ImageWidth(int32_t nImageID) const {
    return api::onInner(m_impl, 0, [&](api::PdfWriter& w) { return w.ImageWidth(nImageID); });
}
int32_t cPDF::ImageResX(int32_t nImageID) const {
    return api::onInner(m_impl, 0, [&](api::PdfWriter& w) { return w.ImageResX(nImageID); });
}
int32_t cPDF::ImageResY(int32_t nImageID) const {
    return api::onInner(m_impl, 0, [&](api::PdfWriter& w) { return w.ImageResY(nImageID); });
}
void cPDF::DrawImg(int32_t nImageID, float DestX, float DestY, float ImgWidth, float ImgHeight) {
    api::onInner(m_impl, [&](api::PdfWriter& w) {
        int32_t id = nImageID;
        w.DrawImg(id, DestX, DestY, ImgWidth, ImgHeight);
    });
}

void cPDF::StartObject(std::string_view name, int32_t Options) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.StartObject(text(name), Options); });
}
void cPDF::EndObject() {
    api::onInner(m_impl, [](api::PdfWriter& w) { w.EndObject(); });
}
void cPDF::DrawObject(std::string_view name) {
    api::onInner(m_impl, [&](api::PdfWriter& w) { w.DrawObject(text(name)); });
}

} // namespace tavimo::v0
