#pragma once

// Shared body of the metafile fuzz targets: read the headers, then play every record into
// a small target, as drawing a metafile image does.

#include "platform/gdiplus/metafile_object.h"

#include <cstddef>
#include <cstdint>
#include <vector>

inline void fuzzMetafile(const uint8_t* data, size_t size, const gp::WmfPlaceable* frame) {
    auto image = gp::makeMetafileImage(data, size, frame);
    if (!image)
        return;
    const auto& ext = static_cast<const gp::MetafileExtension&>(*image->extension);
    constexpr int32_t kSide = 48;
    std::vector<uint32_t> pixels(kSide * kSide, 0);
    gp::PixelView view{reinterpret_cast<uint8_t*>(pixels.data()), kSide * 4, kSide, kSide,
                       gp::PixelLayout::PARGB32};
    gp::MetafileTransform t{0, 0, double(kSide) / ext.widthPx, double(kSide) / ext.heightPx};
    ext.play(view, t);
}

// Cairo and fontconfig keep font caches for the life of the process; they are not leaks.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libcairo.so\n";
}
