#include "viewer/IImageBox.h"

namespace tavimo {

namespace {

ax::ParamInfo param(const char* name, ax::VarType type, bool byRef = false) {
    ax::ParamInfo p;
    p.name = name;
    p.type = type;
    p.byRef = byRef;
    return p;
}

ax::DispatchTable<IImageBox> buildTable() {
    using ax::VarType;
    ax::DispatchTable<IImageBox> d("_ImageBox", "__ImageBox");
#define TAVIMO_PROPERTY(name, type)                                                                \
    d.property(#name, &IImageBox::get_##name, &IImageBox::put_##name);
#define TAVIMO_PROPERTY_RO(name, type)                                                             \
    d.property<type, type>(#name, &IImageBox::get_##name, nullptr);
#define TAVIMO_METHOD(name, result, params, spec) d.method(#name, &IImageBox::name, spec);
#include "viewer/member_table.def"
#undef TAVIMO_PROPERTY
#undef TAVIMO_PROPERTY_RO
#undef TAVIMO_METHOD

    const auto L = VarType::Long, I = VarType::Integer, S = VarType::Single, B = VarType::String;
    auto mouse = [&] {
        return std::vector<ax::ParamInfo>{param("Button", I, true), param("shift", I, true),
                                          param("X", S, true), param("Y", S, true)};
    };
    auto key = [&] {
        return std::vector<ax::ParamInfo>{param("KeyAscii", I, true), param("shift", I, true)};
    };
    d.event("DataReceived", 1,
            {param("nPercentProgress", L), param("nLeftToTransfer", L), param("nTotalLength", L)});
    d.event("ZoomChange", 2, {});
    d.event("ScrollControl", 3, {});
    d.event("Rotation", 4, {param("nRotation", L)});
    d.event("PageChange", 5, {});
    d.event("FileDrop", 6, {param("sFilePath", B)});
    d.event("FilesDrop", 7, {param("sFilesPath", VarType::Array, true), param("nFilesCount", L)});
    d.event("PictureChange", 8, {});
    d.event("PictureChanged", 9, {});
    d.event("Display", 10, {});
    d.event("KeyPressControl", 11, {param("KeyAscii", I, true)});
    d.event("KeyUpControl", 12, key());
    d.event("KeyDownControl", 13, key());
    d.event("MouseMoveControl", 14, mouse());
    d.event("ClickControl", 15, {});
    d.event("DblClickControl", 16, {});
    d.event("MouseDownControl", 17, mouse());
    d.event("MouseUpControl", 18, mouse());
    d.event("ResizeControl", 19, {});
    d.event("PaintControl", 20, {});
    d.event("BeforeZoomChange", 21, {});
    d.event("MouseWheelControl", 22, {param("UpDown", I)});
    return d;
}

} // namespace

const ax::DispatchTable<IImageBox>& imageBoxDispatchTable() {
    static const ax::DispatchTable<IImageBox> table = buildTable();
    return table;
}

} // namespace tavimo
