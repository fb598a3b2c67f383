// Small members that are plain reads of the control's state.

#include "viewer/ImageBox.h"

namespace tavimo {

int32_t ImageBox::GetTotalFrame() {
    return m_s.m_PageCount;
}

} // namespace tavimo
