#include "core/image_load.h"

#include "core/file_helpers.h"
#include "core/image_commit.h"
#include "core/image_info.h"
#include "core/plugin_bridge.h"
#include "core/quennet_status.h"
#include "platform/gdiplus/gdiplus.h"

namespace tavimo {

namespace {

thread_local test::PluginFileLoader t_pluginLoader = nullptr;

// The status of a stream load that met an unexpected failure; not a named status.
constexpr int32_t kStreamRunTimeError = 23;

int32_t loadThroughPluginOrSeam(ImageId& id, const std::string& path, bool icm, bool keepTiff,
                                bool keepGif) {
    if (t_pluginLoader)
        return t_pluginLoader(id, path, icm, keepTiff, keepGif);
    return LoadThroughPlugin(id, path, icm, keepTiff, keepGif);
}

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

} // namespace

int32_t LoadImageFromFile(ImageId& id, const std::string& path, bool useIcm, bool gdiplusOnly,
                          bool tiffPagesInPlace, uint32_t ownerWindow, bool noDialog,
                          bool gifFramesInPlace) {
    id = 0;
    try {
        std::string file = path;
        if (!noDialog && isBlank(file))
            file = ShowOpenFileDialog(ownerWindow);
        file = NormalizePath(file);
        if (isBlank(file) || FileExists(file).empty())
            return FileNotFound;

        int32_t status = OK;
        if (gdiplusOnly || useIcm) {
            status = LoadThroughGdiPlus(file, id, useIcm, tiffPagesInPlace, gifFramesInPlace);
            if (status == OK) {
                if (ImagePixelFormat(id) != 0)
                    return OK;
                ReleaseImage(id);
                id = 0;
                status = UnknownImageFormat;
            }
        }
        if (gdiplusOnly)
            return status;

        int32_t pluginStatus =
            loadThroughPluginOrSeam(id, file, useIcm, tiffPagesInPlace, gifFramesInPlace);
        if (pluginStatus == OK)
            return OK;
        id = 0;
        if (LoadThroughGdiPlus(file, id, useIcm, tiffPagesInPlace, gifFramesInPlace) == OK)
            return OK;
        id = 0;
        if (LoadThroughPicture(id, file) == OK)
            return OK;
        id = 0;
        return pluginStatus;
    } catch (...) {
        id = 0;
        return GenericError;
    }
}

int32_t LoadThroughGdiPlus(const std::string& path, ImageId& id, bool useIcm, bool tiffPagesInPlace,
                           bool gifFramesInPlace) {
    id = 0;
    gp::GpBitmap bitmap = 0;
    int32_t status = useIcm ? gp::GdipCreateBitmapFromFileICM(path, &bitmap)
                            : gp::GdipCreateBitmapFromFile(path, &bitmap);
    if (status != OK || bitmap == 0)
        return status != OK ? status : GenericError;
    ImageId loaded = 0;
    try {
        RegisterImage(loaded, bitmap, "", path, SourceKindFile);
    } catch (...) {
        gp::GdipDisposeImage(bitmap);
        return OutOfMemory;
    }
    ImageId result = 0;
    status = SetupMultiFrame(path, loaded, result, tiffPagesInPlace, gifFramesInPlace);
    id = result;
    return status;
}

int32_t LoadFromStream(ImageId& id, win::IStream* stream, bool useIcm) {
    id = 0;
    if (!stream)
        return InvalidParameter;
    try {
        gp::GpImage image = 0;
        int32_t status = useIcm ? gp::GdipLoadImageFromStreamICM(stream, &image)
                                : gp::GdipLoadImageFromStream(stream, &image);
        ImageId loaded = 0;
        if (image != 0) {
            try {
                RegisterImage(loaded, image, "", "", SourceKindGdiImage);
            } catch (...) {
                gp::GdipDisposeImage(image);
                throw;
            }
        }
        if (status != OK) {
            // GDI+ answered a failure with an image: nothing of it is kept.
            if (loaded != 0)
                ReleaseImage(loaded);
            return status;
        }
        ImageId result = 0;
        status = SetupMultiFrame("", loaded, result, false, false);
        id = result;
        return status;
    } catch (...) {
        id = 0;
        return kStreamRunTimeError;
    }
}

namespace test {

void SetPluginFileLoader(PluginFileLoader loader) {
    t_pluginLoader = loader;
}

} // namespace test

} // namespace tavimo
