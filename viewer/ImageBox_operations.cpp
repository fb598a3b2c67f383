// Image operations of the control: quarter turns and flips, clipboard copies, GDI bitmaps,
// the format name, and the EXIF and IPTC tags of the shown image. Each member picks the
// image to act on (the work image or the shown one), keeps the status where the member
// says so, and keeps the view in step.

#include <new>
#include <optional>

#include "core/image_containers.h"
#include "core/image_convert.h"
#include "core/image_draw.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_metadata.h"
#include "core/image_save.h"
#include "core/plugin_metadata.h"
#include "platform/win/gdi.h"
#include "viewer/ImageBox.h"

namespace tavimo {

namespace {

QuennetStatus asStatus(int32_t s) {
    return static_cast<QuennetStatus>(s);
}

// A run-time error inside a member becomes its status: out of memory 3, anything else 1.
int32_t statusOfCurrentException() {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return static_cast<int32_t>(QuennetStatus::OutOfMemory);
    } catch (...) {
        return static_cast<int32_t>(QuennetStatus::GenericError);
    }
}

// The property item nTagNo (1-based) of an image; nothing for image 0 or a number outside
// the items.
std::optional<cGDIPPropertyItem> exifItem(ImageId id, int32_t nTagNo) {
    if (id == 0 || nTagNo < 1)
        return std::nullopt;
    uint32_t count = 0;
    if (GetImagePropertyCount(id, count) != 0 || static_cast<uint32_t>(nTagNo) > count)
        return std::nullopt;
    return GetPropertyItemByIndex(id, nTagNo, count);
}

} // namespace

// --- rotation and flipping ---

QuennetStatus ImageBox::RotateFlipImage(int32_t type) {
    try {
        // A status left by an earlier member (a refused argument, a failed draw) must not
        // keep the turn from running; only this member's own steps decide.
        m_s.m_LastStatus = 0;
        m_s.m_ArgumentRefused = false;
        const int32_t shown = m_s.m_ImageId;
        int32_t target = shown;
        bool rebuildWork = false;
        const bool splitPages = IsTiffTempFileContainer(shown) || IsGifTempFileContainer(shown);
        if (m_s.m_PageCount < 2 || splitPages) {
            // The core turns the image itself (a split container's current page), so a
            // derived copy would be stale: it is rebuilt from the turned image.
            rebuildWork = m_s.m_WorkImageId != 0;
            FreeWorkImage();
        } else {
            // Pages held in place are only views of their source: the current page is
            // turned in a work copy of its own, which paging drops again.
            if (m_s.m_WorkImageId == 0 || m_s.m_WorkFrame != m_s.m_CurrentPage)
                m_s.m_LastStatus = LoadCurrentFrame();
            target = m_s.m_WorkImageId;
        }
        if (m_s.m_LastStatus == 0) {
            m_s.m_LastStatus = RotateFlip(target, type, false);
            if (m_s.m_LastStatus == 0 && rebuildWork)
                LoadCurrentFrame();
        }
        // The turned image is taken in again (nothing to take in when its copy could not
        // be made, or when nothing is shown: no message then), and the view laid out again
        // even after a failure.
        if (target != 0)
            InitImageInfo(target);
        if (shown != 0)
            UpdateLayout();
    } catch (...) {
        m_s.m_LastStatus = statusOfCurrentException();
    }
    try {
        ax::Variant args[] = {ax::Variant(type)};
        raise(ImageBoxEvent::Rotation, args);
    } catch (...) {
    }
    return asStatus(m_s.m_LastStatus);
}

QuennetStatus ImageBox::Rotate90() {
    return RotateFlipImage(1);
}
QuennetStatus ImageBox::Rotate180() {
    return RotateFlipImage(2);
}
QuennetStatus ImageBox::Rotate270() {
    return RotateFlipImage(3);
}
QuennetStatus ImageBox::FlipX() {
    return RotateFlipImage(4);
}
QuennetStatus ImageBox::FlipX90() {
    return RotateFlipImage(5);
}
QuennetStatus ImageBox::FlipX180() {
    return RotateFlipImage(6);
}
QuennetStatus ImageBox::FlipX270() {
    return RotateFlipImage(7);
}

// --- clipboard ---

void ImageBox::Copy2Clipboard() {
    try {
        // The copy's status is not kept: the member reports nothing.
        if (const int32_t image = GetWorkImage(); image != 0)
            CopyToClipboard(image);
    } catch (...) {
    }
}

void ImageBox::CopyRegion2Clipboard(int32_t nSrcLeft, int32_t nSrcTop, int32_t nWidth,
                                    int32_t nHeight) {
    ImageId clone = 0;
    try {
        const int32_t image = GetWorkImage();
        if (image == 0) {
            m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::GenericError);
            return;
        }
        gp::PixelFormat format = 0;
        m_s.m_LastStatus = GetImagePixelFormat(image, format);
        if (m_s.m_LastStatus == 0)
            m_s.m_LastStatus =
                CloneImageArea(nSrcLeft, nSrcTop, nWidth, nHeight, format, image, clone);
        if (m_s.m_LastStatus == 0)
            m_s.m_LastStatus = CopyToClipboard(clone);
    } catch (...) {
        m_s.m_LastStatus = statusOfCurrentException();
    }
    // The clone is registered whatever GDI+ answered, so it goes in every case.
    if (clone != 0)
        ReleaseImage(clone);
}

// --- format, GDI bitmaps ---

std::string ImageBox::GetImageFormat() {
    try {
        return m_s.m_ImageId != 0 ? GetImageFormatName(m_s.m_ImageId) : std::string();
    } catch (...) {
        return {};
    }
}

int32_t ImageBox::GetHBitmap() {
    try {
        win::HBITMAP bitmap = 0;
        m_s.m_LastStatus = CreateHBitmapFromImage(m_s.m_ImageId, bitmap, 0);
        if (m_s.m_LastStatus != 0) {
            // A bitmap made before a failure would have no owner.
            if (bitmap != 0)
                win::DeleteObject(bitmap);
            return 0;
        }
        return static_cast<int32_t>(bitmap);
    } catch (...) {
        m_s.m_LastStatus = statusOfCurrentException();
        return 0;
    }
}

void ImageBox::DeleteHBitmap(int32_t nHbitmap) {
    try {
        // An unknown or stale handle is refused by the GDI layer.
        win::DeleteObject(static_cast<win::HGDIOBJ>(static_cast<uint32_t>(nHbitmap)));
    } catch (...) {
    }
}

// --- EXIF ---

int32_t ImageBox::ExifTagCount() {
    try {
        if (m_s.m_ImageId == 0)
            return 0;
        uint32_t count = 0;
        m_s.m_LastStatus = GetImagePropertyCount(m_s.m_ImageId, count);
        return m_s.m_LastStatus == 0 ? static_cast<int32_t>(count) : 0;
    } catch (...) {
        m_s.m_LastStatus = statusOfCurrentException();
        return 0;
    }
}

std::string ImageBox::ExifTagGetName(int32_t nTagNo) {
    try {
        auto item = exifItem(m_s.m_ImageId, nTagNo);
        return item ? item->name() : std::string();
    } catch (...) {
        m_s.m_LastStatus = statusOfCurrentException();
        return {};
    }
}

int32_t ImageBox::ExifTagGetID(int32_t nTagNo) {
    try {
        auto item = exifItem(m_s.m_ImageId, nTagNo);
        return item ? item->ID() : 0;
    } catch (...) {
        m_s.m_LastStatus = statusOfCurrentException();
        return 0;
    }
}

std::string ImageBox::ExifTagGetValue(int32_t nTagNo) {
    try {
        if (m_s.m_ImageId == 0 || nTagNo < 1)
            return {};
        return GetExifTagValue(m_s.m_ImageId, nTagNo);
    } catch (...) {
        // A rational with a zero denominator, or a value shorter than its type says.
        m_s.m_LastStatus = statusOfCurrentException();
        return {};
    }
}

// --- IPTC ---

int32_t ImageBox::IPTCTagCount() {
    try {
        int32_t count = 0;
        m_s.m_LastStatus = GetIptcTagCount(m_s.m_ImageId, count);
        return m_s.m_LastStatus == 0 ? count : 0;
    } catch (...) {
        m_s.m_LastStatus = statusOfCurrentException();
        return 0;
    }
}

int32_t ImageBox::IPTCTagGetID(int32_t nTagNo) {
    try {
        int32_t tag = 0;
        m_s.m_LastStatus = GetIptcTagId(m_s.m_ImageId, nTagNo, tag);
        return m_s.m_LastStatus == 0 ? tag : 0;
    } catch (...) {
        m_s.m_LastStatus = statusOfCurrentException();
        return 0;
    }
}

std::string ImageBox::IPTCTagGetValueString(int32_t nTagNo) {
    try {
        std::string text;
        m_s.m_LastStatus = GetIptcTagValue(m_s.m_ImageId, nTagNo, text);
        return m_s.m_LastStatus == 0 ? text : std::string();
    } catch (...) {
        m_s.m_LastStatus = statusOfCurrentException();
        return {};
    }
}

} // namespace tavimo
