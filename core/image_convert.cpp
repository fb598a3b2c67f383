#include "core/image_convert.h"

#include "core/file_helpers.h"
#include "core/image_commit.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_metadata.h"
#include "core/quennet_status.h"
#include "platform/win/vb_number.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace tavimo {

namespace {

constexpr uint32_t kTagXResolution = 0x011A;
constexpr uint32_t kTagYResolution = 0x011B;
constexpr uint32_t kTagTimeZoneOffset = 0x882A;

// Puts `copy` in the place of `id`. A refused replacement releases the copy, so nothing
// is left behind, and reports why it failed (a split page that could not be written keeps
// its old content and answers the write's status).
int32_t replaceWith(ImageId id, ImageId copy) {
    int32_t status = OK;
    ImageId kept = CommitPageChanges(id, copy, status);
    if (kept != 0 && status == OK)
        return OK;
    if (FindImageIndex(copy) >= 0)
        ReleaseImage(copy);
    return status != OK ? status : GenericError;
}

// Every property item of `from`, in list order, onto `to`.
void copyPropertyItems(ImageId from, ImageId to) {
    uint32_t count = 0;
    GetImagePropertyCount(from, count);
    for (uint32_t i = 1; i <= count; ++i) {
        std::optional<cGDIPPropertyItem> item =
            GetPropertyItemByIndex(from, static_cast<int32_t>(i), count);
        if (!item)
            continue;
        SetTagFromPointer(to, static_cast<uint32_t>(item->ID()),
                          static_cast<uint16_t>(item->ItemType()),
                          static_cast<uint32_t>(item->Length()), item->DataPtr(), false);
    }
}

int32_t convertImage(ImageId id, gp::PixelFormat target, bool returnNew, bool copyPalette,
                     ImageId& newId) {
    newId = 0;
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    int32_t width = 0, height = 0;
    float dpiX = 0, dpiY = 0;
    GetImageHeight(id, height);
    GetImageWidth(id, width);
    GetImageHorizontalResolution(id, dpiX);
    GetImageVerticalResolution(id, dpiY);
    if (width < 1 || height < 1)
        return GenericError;

    int32_t strideStatus = OK;
    int32_t stride = GetStride(width, PixelFormatBitDepth(target), strideStatus);
    if (strideStatus != OK)
        return strideStatus;
    if (stride < 1)
        return InvalidParameter;
    void* buffer = gp::GdipAlloc(static_cast<size_t>(stride) * static_cast<size_t>(height));
    if (!buffer)
        return OutOfMemory;

    gp::BitmapData data{};
    data.Width = static_cast<gp::UINT>(width);
    data.Height = static_cast<gp::UINT>(height);
    data.Stride = stride;
    data.PixelFormat = target;
    data.Scan0 = buffer;
    gp::Rect all{0, 0, width, height};
    int32_t status = LockImageBits(id, &all, gp::ImageLockModeRead | gp::ImageLockModeUserInputBuf,
                                   target, data);
    if (status == OK)
        UnlockImageBits(id, data);
    ImageId created = 0;
    if (status == OK)
        status = LoadFromRawBits(width, height, stride, target, buffer, created, true);
    if (status != OK) {
        // The buffer belongs to nobody yet.
        gp::GdipFree(buffer);
        return status;
    }

    if (copyPalette && IsIndexedPixelFormat(target)) {
        gp::Palette palette;
        if (ReadImagePalette(id, palette) == OK && !palette.entries.empty())
            SetImagePalette(created, palette);
    }
    if (dpiX > 0 && dpiY > 0)
        SetResolution(created, dpiX, dpiY, true);
    copyPropertyItems(id, created);

    if (returnNew) {
        newId = created;
        return OK;
    }
    status = replaceWith(id, created);
    if (status == OK)
        newId = id;
    return status;
}

// Numerator and denominator of a resolution tag: the value scaled by the smallest power
// of ten that makes it whole in single precision.
bool resolutionRational(float value, std::vector<uint8_t>& out) {
    int32_t decimals = CountDecimals(value);
    double scale = std::pow(10.0, decimals);
    int32_t numerator = 0, denominator = 0;
    if (!win::tryToInt32(static_cast<double>(value) * scale, numerator) ||
        !win::tryToInt32(scale, denominator))
        return false;
    out.resize(8);
    std::memcpy(out.data(), &numerator, 4);
    std::memcpy(out.data() + 4, &denominator, 4);
    return true;
}

} // namespace

int32_t ConvertPixelFormat(ImageId id, gp::PixelFormat target, bool returnNew, ImageId& newId) {
    try {
        return convertImage(id, target, returnNew, false, newId);
    } catch (...) {
        return GenericError;
    }
}

int32_t ConvertTo32bppArgb(ImageId id) {
    ImageId same = 0;
    return ConvertPixelFormat(id, gp::PixelFormat32bppARGB, false, same);
}

int32_t DuplicateImage(ImageId id, ImageId& newId) {
    newId = 0;
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    try {
        return convertImage(id, ImagePixelFormat(id), true, true, newId);
    } catch (...) {
        return GenericError;
    }
}

int32_t RotateFlip(ImageId id, int32_t type, bool skipModified) {
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    try {
        int32_t kind = GetImageSourceKind(id);
        const gp::PixelFormat format = ImagePixelFormat(id);
        const bool oneBit = format == gp::PixelFormat1bppIndexed;

        // The layer turns into a store of its own; pixels that belong to a memory block,
        // the plug-in or a GDI handle are copied first so the entry owns what it shows.
        bool foreignPixels = kind == SourceKindMemory || kind == SourceKindPlugin ||
                             kind == SourceKindHBitmap || kind == SourceKindHIcon ||
                             kind == SourceKindPluginPage;
        if (foreignPixels && type != 0 && type != 4 && type != 6 && oneBit) {
            ImageId copy = 0;
            int32_t status = DuplicateImage(id, copy);
            if (status != OK)
                return status;
            status = replaceWith(id, copy);
            if (status != OK)
                return status;
        }

        kind = GetImageSourceKind(id);
        void* before = nullptr;
        if (kind == SourceKindOwnedBits)
            GetImageScan0(id, before);

        int32_t status;
        if (oneBit && type == gp::Rotate180FlipNone) {
            status = gp::GdipImageRotateFlip(GetGdiImage(id), gp::Rotate90FlipNone);
            if (status == OK)
                status = gp::GdipImageRotateFlip(GetGdiImage(id), gp::Rotate90FlipNone);
        } else {
            status =
                gp::GdipImageRotateFlip(GetGdiImage(id), static_cast<gp::RotateFlipType>(type));
        }
        if (status != OK)
            return status;
        if (!skipModified)
            MarkImageModified(id);

        if (kind == SourceKindOwnedBits) {
            void* after = nullptr;
            GetImageScan0(id, after);
            if (after != nullptr && after != before) {
                // The layer moved the pixels into a store of its own: the handed-over
                // buffer is no longer used, and the entry must forget it so that its
                // release does not free memory the layer owns.
                if (ImageRecord* r = FindImageRecord(GetCurrentPageImageId(id))) {
                    if (r->OwnsPixelMemory && r->PixelMemory == before) {
                        gp::GdipFree(before);
                        r->OwnsPixelMemory = false;
                        r->PixelMemory = nullptr;
                    }
                    r->SourceKind = SourceKindRawBits;
                }
            }
        }

        if (!IsIndexedPixelFormat(format)) {
            ImageId copy = 0;
            if (DuplicateImage(id, copy) == OK) {
                status = replaceWith(id, copy);
                if (status != OK)
                    return status;
            }
        }
        return OK;
    } catch (...) {
        return GenericError;
    }
}

int32_t SetResolution(ImageId id, float horizontal, float vertical, bool skipModified) {
    if (FindImageIndex(id) < 0)
        return InvalidParameter;
    try {
        ForceValidation(id);
        std::vector<uint8_t> rational;
        if (resolutionRational(horizontal, rational))
            SetRawTag(id, kTagXResolution, gp::PropertyTagTypeRational, rational, false);
        if (resolutionRational(vertical, rational))
            SetRawTag(id, kTagYResolution, gp::PropertyTagTypeRational, rational, false);
        int32_t status = gp::GdipBitmapSetResolution(GetGdiImage(id), horizontal, vertical);
        if (status == OK && !skipModified)
            MarkImageModified(id);
        return status;
    } catch (...) {
        return GenericError;
    }
}

void ReapplyResolution(ImageId id) {
    float h = 0, v = 0;
    GetImageHorizontalResolution(id, h);
    GetImageVerticalResolution(id, v);
    if (h != 0 && v != 0)
        SetResolution(id, h, v, true);
}

void PrepareImageForSave(ImageId id) {
    if (FindImageIndex(id) < 0)
        return;
    try {
        for (;;) {
            float v = 0, h = 0;
            GetImageVerticalResolution(id, v);
            GetImageHorizontalResolution(id, h);
            if (v < 0.5f || h < 0.5f) {
                double m = MinDouble(v, h);
                // No factor lifts 0, a negative value or not-a-number to 0.5.
                if (m > 0 && std::isfinite(m)) {
                    double factor = 1.0;
                    if (0.5 / m > 100000.0) {
                        // Too many steps of 0.1 to walk: take the step count at once.
                        factor += 0.1 * std::ceil((0.5 / m - 1.0) / 0.1);
                    }
                    while (static_cast<float>(factor * m) < 0.5f)
                        factor += 0.1;
                    SetResolution(id, static_cast<float>(h * factor),
                                  static_cast<float>(v * factor), false);
                }
            }
            bool removed = false;
            uint32_t count = 0;
            GetImagePropertyCount(id, count);
            for (uint32_t i = 1; i <= count; ++i) {
                std::optional<cGDIPPropertyItem> item =
                    GetPropertyItemByIndex(id, static_cast<int32_t>(i), count);
                if (item && static_cast<uint32_t>(item->ID()) == kTagTimeZoneOffset) {
                    // Stop when the removal fails: the tag would be found again for ever.
                    removed = RemovePropertyItem(id, kTagTimeZoneOffset) == OK;
                    break;
                }
            }
            if (!removed)
                return;
        }
    } catch (...) {
    }
}

} // namespace tavimo
