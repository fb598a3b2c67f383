#pragma once

#include "viewer/ImageBox.h"
#include "viewer/library_profile.h"

namespace tavimo {

// The controls of libtavimos.so: ImageBox and ImageBoxCnt with the class and interface
// identifiers of the scripting-safe library (safe/class_ids.h) and the IObjectSafety facet
// (safe/object_safety.h), through which a script host learns that they are safe for
// scripting and for initialisation from persistent data. Members, events, properties and
// behaviour are those of the viewer control.
class SafeImageBox : public ImageBox {
public:
    explicit SafeImageBox(Kind kind) : ImageBox(kind) {}

    // A started control with one reference, or null when its window cannot be made.
    static ax::Unknown* create(Kind kind);

    // Facets: the class interface and its alias under the scripting-safe identifiers,
    // IObjectSafety, and the viewer control's other facets. The interface identifiers of
    // libtavimo.so's classes are not answered.
    ax::HResult QueryInterface(const ax::Guid& iid, void** out) override;
};

// What the entry points of libtavimos.so serve: ImageBox, ImageBoxCnt and dummy under
// the ProgIDs "TavimoS.ImageBox", "TavimoS.ImageBoxCnt" and "TavimoS.dummy", registered as
// libtavimos.classes. Each class runs the safety flags' start routine on the creating
// thread before its first object is made there.
const LibraryProfile& safeLibraryProfile();

} // namespace tavimo
