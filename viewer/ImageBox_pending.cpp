// Members whose work belongs to the operations, frames, input and download parts of the control.
// Pure reads of the state and the small rules those parts state outright are here already; the rest
// answer NotImplemented (the last status is left alone), 0, an empty string or do nothing until
// their part is built.

#include <cmath>

#include "platform/win/vb_number.h"
#include "viewer/ImageBox.h"
#include "viewer/wheel_hook.h"

namespace tavimo {

// --- image operations ---
QuennetStatus ImageBox::Rotate90() {
    return notBuilt();
}
QuennetStatus ImageBox::Rotate180() {
    return notBuilt();
}
QuennetStatus ImageBox::Rotate270() {
    return notBuilt();
}
QuennetStatus ImageBox::FlipX() {
    return notBuilt();
}
QuennetStatus ImageBox::FlipX90() {
    return notBuilt();
}
QuennetStatus ImageBox::FlipX180() {
    return notBuilt();
}
QuennetStatus ImageBox::FlipX270() {
    return notBuilt();
}
void ImageBox::Copy2Clipboard() {}
void ImageBox::CopyRegion2Clipboard(int32_t, int32_t, int32_t, int32_t) {}
std::string ImageBox::GetImageFormat() {
    return {};
}
int32_t ImageBox::GetHBitmap() {
    return 0;
}
void ImageBox::DeleteHBitmap(int32_t) {}
int32_t ImageBox::ExifTagCount() {
    return 0;
}
std::string ImageBox::ExifTagGetName(int32_t) {
    return {};
}
int32_t ImageBox::ExifTagGetID(int32_t) {
    return 0;
}
std::string ImageBox::ExifTagGetValue(int32_t) {
    return {};
}
int32_t ImageBox::IPTCTagCount() {
    return 0;
}
int32_t ImageBox::IPTCTagGetID(int32_t) {
    return 0;
}
std::string ImageBox::IPTCTagGetValueString(int32_t) {
    return {};
}

// --- frames ---
QuennetStatus ImageBox::DisplayFrame(int32_t) {
    return notBuilt();
}
QuennetStatus ImageBox::DisplayNextFrame() {
    return notBuilt();
}
QuennetStatus ImageBox::DisplayPreviousFrame() {
    return notBuilt();
}
QuennetStatus ImageBox::DisplayFirstFrame() {
    return notBuilt();
}
QuennetStatus ImageBox::DisplayLastFrame() {
    return notBuilt();
}
QuennetStatus ImageBox::PlayGif() {
    return notBuilt();
}
void ImageBox::StopGif() {
    KillFrameTimer();
}
int32_t ImageBox::GetTotalFrame() {
    return m_s.m_PageCount;
}

// --- internet loading ---
QuennetStatus ImageBox::DisplayFromURL(const std::string&, const std::string&, int32_t) {
    return notBuilt();
}
QuennetStatus ImageBox::DisplayFromFTP(const std::string&, const std::string&, const std::string&,
                                       const std::string&, int32_t) {
    return notBuilt();
}
void ImageBox::DisplayFromURLStop() {}
void ImageBox::SetHttpTransfertBufferSize(int32_t nBuffersize) {
    m_s.m_HttpBufferSize = nBuffersize;
}
void ImageBox::SetFtpPassiveMode(bool bPassiveMode) {
    m_s.m_FtpPassiveMode = bPassiveMode;
}

} // namespace tavimo
