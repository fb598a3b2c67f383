// The public image-core calls (tavimo/image.h) over the thread's image table.

#include "core/file_helpers.h"
#include "core/image_containers.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_save.h"
#include "core/image_table.h"
#include "platform/win/files.h"

#include <string>

// The public header declares calls of the same names in the inline namespace tavimo::v0,
// which would make every later tavimo::Name ambiguous; the core's own are bound first.
namespace tavimo::api::core {
constexpr auto StartGdiPlus = &::tavimo::StartGdiPlus;
constexpr auto StopGdiPlus = &::tavimo::StopGdiPlus;
constexpr auto LoadImageFromFile = &::tavimo::LoadImageFromFile;
constexpr auto ReleaseImage = &::tavimo::ReleaseImage;
constexpr auto SetTempSourceFile = &::tavimo::SetTempSourceFile;
constexpr auto GetImageWidth = &::tavimo::GetImageWidth;
constexpr auto GetImageHeight = &::tavimo::GetImageHeight;
constexpr auto GetImageHorizontalResolution = &::tavimo::GetImageHorizontalResolution;
constexpr auto GetImageVerticalResolution = &::tavimo::GetImageVerticalResolution;
constexpr auto GetImagePixelFormat = &::tavimo::GetImagePixelFormat;
constexpr auto GetImageBitDepth = &::tavimo::GetImageBitDepth;
constexpr auto GetImageFormatName = &::tavimo::GetImageFormatName;
constexpr auto FindImageRecord = &::tavimo::FindImageRecord;
constexpr auto GetTiffPageCount = &::tavimo::GetTiffPageCount;
constexpr auto GetGifFrameCount = &::tavimo::GetGifFrameCount;
constexpr auto SelectTiffPage = &::tavimo::SelectTiffPage;
constexpr auto SelectGifFrame = &::tavimo::SelectGifFrame;
constexpr auto SaveAsJpeg = &::tavimo::SaveAsJpeg;
constexpr auto SaveAsPng = &::tavimo::SaveAsPng;
constexpr auto SaveAsTiff = &::tavimo::SaveAsTiff;
constexpr auto SaveToByteArray = &::tavimo::SaveToByteArray;
} // namespace tavimo::api::core

#include "api/guard.h"

#include <tavimo/image.h>

namespace tavimo::v0 {

using api::guarded;
using api::guardedStatus;

bool StartGdiPlus() {
    return guarded(false, [] { return api::core::StartGdiPlus(); });
}

void StopGdiPlus() {
    api::guardedVoid([] { api::core::StopGdiPlus(); });
}

QuennetStatus LoadImageFromFile(ImageId& id, std::string_view path, bool useIcm) {
    id = 0;
    return guardedStatus([&] {
        // Multi-page files stay in one image; an empty path is a missing file here, never
        // the open-file dialog.
        return api::core::LoadImageFromFile(id, std::string(path), useIcm, false, true, 0, true,
                                            true);
    });
}

QuennetStatus LoadImageFromMemory(ImageId& id, const void* data, size_t size, bool useIcm) {
    id = 0;
    if (!data || size == 0)
        return InvalidParameter;
    return guardedStatus([&]() -> int32_t {
        // The bytes become a file of their own, as every in-memory source of the library
        // does, so that the codec plug-in and multi-page containers read them as a file; the
        // image deletes it when it is released.
        std::string path = ::tavimo::MakeTempFileName();
        if (path.empty() || !win::writeWholeFile(path, data, size)) {
            win::deleteFileQuietly(path);
            return Win32Error;
        }
        int32_t status = api::core::LoadImageFromFile(id, path, useIcm, false, true, 0, true, true);
        if (status != OK || id == 0 || !api::core::FindImageRecord(id)) {
            if (id != 0)
                api::core::ReleaseImage(id);
            id = 0;
            win::deleteFileQuietly(path);
            return status != OK ? status : GenericError;
        }
        api::core::SetTempSourceFile(id, path);
        return OK;
    });
}

QuennetStatus ReleaseImage(ImageId id) {
    return guardedStatus([&] { return api::core::ReleaseImage(id); });
}

QuennetStatus GetImageWidth(ImageId id, int32_t& width) {
    width = 0;
    return guardedStatus([&] { return api::core::GetImageWidth(id, width); });
}

QuennetStatus GetImageHeight(ImageId id, int32_t& height) {
    height = 0;
    return guardedStatus([&] { return api::core::GetImageHeight(id, height); });
}

QuennetStatus GetImageHorizontalResolution(ImageId id, float& dpi) {
    dpi = 0;
    return guardedStatus([&] { return api::core::GetImageHorizontalResolution(id, dpi); });
}

QuennetStatus GetImageVerticalResolution(ImageId id, float& dpi) {
    dpi = 0;
    return guardedStatus([&] { return api::core::GetImageVerticalResolution(id, dpi); });
}

QuennetStatus GetImagePixelFormat(ImageId id, PixelFormats& format) {
    format = PixelFormatUndefined;
    return guardedStatus([&] {
        gp::PixelFormat value = 0;
        int32_t status = api::core::GetImagePixelFormat(id, value);
        format = status == OK ? PixelFormats(value) : PixelFormatUndefined;
        return status;
    });
}

QuennetStatus GetImageBitDepth(ImageId id, int32_t& bits) {
    bits = 0;
    return guardedStatus([&] {
        int32_t status = api::core::GetImageBitDepth(id, bits);
        if (status != OK)
            bits = 0;
        return status;
    });
}

std::string GetImageFormatName(ImageId id) {
    return guarded(std::string(), [&] { return api::core::GetImageFormatName(id); });
}

// The page counts stay 0 on failure, also where the core leaves them untouched.
QuennetStatus GetTiffPageCount(ImageId id, int32_t& count) {
    count = 0;
    return guardedStatus([&] {
        int32_t status = api::core::GetTiffPageCount(id, count);
        if (status != OK)
            count = 0;
        return status;
    });
}

QuennetStatus GetGifFrameCount(ImageId id, int32_t& count) {
    count = 0;
    return guardedStatus([&] {
        int32_t status = api::core::GetGifFrameCount(id, count);
        if (status != OK)
            count = 0;
        return status;
    });
}

QuennetStatus SelectTiffPage(ImageId id, int32_t index) {
    return guardedStatus([&] { return api::core::SelectTiffPage(id, index); });
}

QuennetStatus SelectGifFrame(ImageId id, int32_t index) {
    return guardedStatus([&] { return api::core::SelectGifFrame(id, index); });
}

QuennetStatus SaveAsJpeg(ImageId id, std::string_view path, int32_t quality) {
    return guardedStatus(
        [&] { return api::core::SaveAsJpeg(id, std::string(path), quality, 0, false); });
}

QuennetStatus SaveAsPng(ImageId id, std::string_view path) {
    return guardedStatus([&] { return api::core::SaveAsPng(id, std::string(path), false); });
}

QuennetStatus SaveAsTiff(ImageId id, std::string_view path, int32_t compression,
                         int32_t colorDepth) {
    return guardedStatus([&] {
        return api::core::SaveAsTiff(id, std::string(path), compression, colorDepth, false);
    });
}

QuennetStatus SaveToByteArray(ImageId id, std::vector<uint8_t>& bytes, std::string_view format,
                              int32_t quality) {
    return guardedStatus([&] {
        std::vector<uint8_t> encoded;
        int32_t length = 0;
        int32_t status =
            api::core::SaveToByteArray(id, length, encoded, std::string(format), quality);
        if (status == OK) {
            encoded.resize(size_t(length));
            bytes = std::move(encoded);
        }
        return status;
    });
}

} // namespace tavimo::v0
