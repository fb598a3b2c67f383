#include "core/image_commit.h"

namespace tavimo {

int32_t SetupMultiFrame(const std::string& sourcePath, ImageId loaded, ImageId& result,
                        bool tiffPagesInPlace, bool gifFramesInPlace) {
    (void)sourcePath;
    (void)tiffPagesInPlace;
    (void)gifFramesInPlace;
    result = loaded;
    return 0;
}

ImageId CommitPageChanges(ImageId target, ImageId newId) {
    const ImageRecord* t = FindImageRecord(target);
    if (target == 0 || !t)
        return 0;
    if (t->isContainer() && !t->PagesInPlace)
        return 0;
    if (newId == target)
        return target;
    ReleaseImage(target);
    ImageRecord* n = FindImageRecord(newId);
    if (!n)
        return 0;
    n->ImageId = target;
    return target;
}

} // namespace tavimo
