// Members whose work belongs to the operations, frames, input and download parts of the control.
// Pure reads of the state and the small rules those parts state outright are here already; the rest
// answer NotImplemented (the last status is left alone), 0, an empty string or do nothing until
// their part is built.

#include <cmath>

#include "platform/win/vb_number.h"
#include "viewer/ImageBox.h"
#include "viewer/wheel_hook.h"

namespace tavimo {

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
