#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/quennet_status.h"
#include "platform/activex/dispatch.h"

namespace tavimo {

// The dual interface of ImageBox and ImageBoxCnt for C++ clients: one pure virtual per
// member of viewer/member_table.def, in table order. Properties are get_Name/put_Name.
// No member throws; members that can fail return a QuennetStatus (also kept for GetStat).
class IImageBox : public ax::Dispatch {
public:
#define TAVIMO_PROPERTY(name, type)                                                                \
    virtual type get_##name() = 0;                                                                 \
    virtual void put_##name(type value) = 0;
#define TAVIMO_PROPERTY_RO(name, type) virtual type get_##name() = 0;
#define TAVIMO_METHOD(name, result, params, spec) virtual result name params = 0;
#include "viewer/member_table.def"
#undef TAVIMO_PROPERTY
#undef TAVIMO_PROPERTY_RO
#undef TAVIMO_METHOD
};

// Event DISPIDs of the event interface.
enum class ImageBoxEvent : ax::DispId {
    DataReceived = 1,
    ZoomChange = 2,
    ScrollControl = 3,
    Rotation = 4,
    PageChange = 5,
    FileDrop = 6,
    FilesDrop = 7,
    PictureChange = 8,
    PictureChanged = 9,
    Display = 10,
    KeyPressControl = 11,
    KeyUpControl = 12,
    KeyDownControl = 13,
    MouseMoveControl = 14,
    ClickControl = 15,
    DblClickControl = 16,
    MouseDownControl = 17,
    MouseUpControl = 18,
    ResizeControl = 19,
    PaintControl = 20,
    BeforeZoomChange = 21,
    MouseWheelControl = 22,
};

// The dispatch table over IImageBox, with the events, shared by both classes.
const ax::DispatchTable<IImageBox>& imageBoxDispatchTable();

} // namespace tavimo
