#include "platform/gdiplus/metafile_object.h"

namespace gp {

MetafileExtension::~MetafileExtension() = default;

std::unique_ptr<ImageExtension> MetafileExtension::clone() const {
    auto copy = std::make_unique<MetafileExtension>(*this);
    copy->ownedHandle = 0;
    return copy;
}

bool MetafileExtension::rasterize(Frame&) const {
    return false;
}

bool MetafileExtension::play(const PixelView&, const MetafileTransform&) const {
    return false;
}

std::unique_ptr<Image> makeMetafileImage(const uint8_t*, size_t, const WmfPlaceable*) {
    return nullptr;
}

} // namespace gp
