// Image sources and adoption: every display member, the temporary copy, the work image
// and the closing members.

#include <cstring>
#include <filesystem>

#include "core/file_helpers.h"
#include "core/image_containers.h"
#include "core/image_convert.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_load_metafile.h"
#include "core/image_pages.h"
#include "core/image_picture.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win/codepage.h"
#include "platform/win/files.h"
#include "platform/win/stream.h"
#include "viewer/ImageBox.h"

#include "core/image_containers.h"
#include "viewer/view_math.h"

namespace tavimo {

namespace {

constexpr gp::PixelFormat kPremultiplied = gp::PixelFormat32bppPARGB;

QuennetStatus asStatus(int32_t s) {
    return static_cast<QuennetStatus>(s);
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// The frame delays of a GIF container in hundredths of a second (the container has already
// turned every delay of 0 or less into 25), one per frame.
std::vector<int32_t> gifFrameDelays(ImageId id, int32_t frames) {
    std::vector<int32_t> delays;
    GetGifFrameDelays(id, delays);
    delays.resize(static_cast<size_t>(std::max(frames, 0)), 25);
    return delays;
}

} // namespace

// --- the common course ---

QuennetStatus ImageBox::adoptLoaded(int32_t status) {
    m_s.m_LastStatus = status;
    if (status == 0) {
        m_s.m_CurrentPage = 1;
        InitImageInfo();
        UpdateLayout();
    }
    return asStatus(m_s.m_LastStatus);
}

QuennetStatus ImageBox::displayFile(const std::string& path, bool icm, bool allowTempCopy) {
    CloseCurrentImage(false);
    std::string source = NormalizePath(path);
    bool fromCopy = false;
    if (allowTempCopy && m_s.m_ImageForceTemporaryMode && fileExists(source)) {
        win::copyFile(source, m_s.m_TempCopyPath);
        if (fileExists(m_s.m_TempCopyPath)) {
            source = m_s.m_TempCopyPath;
            fromCopy = true;
        }
    }
    int32_t id = 0;
    int32_t status = LoadImageFromFile(id, source, icm, false, true, hWnd(), false, true);
    m_s.m_ImageId = status == 0 ? id : 0;
    if (fromCopy) {
        // Only a copy that backs a shown image is kept; a failed load leaves none behind
        // and no flag that would later release somebody else's image.
        if (status == 0) {
            m_s.m_TempCopyInUse = true;
        } else {
            win::deleteFileQuietly(m_s.m_TempCopyPath);
            m_s.m_TempCopyInUse = false;
        }
    }
    return adoptLoaded(status);
}

QuennetStatus ImageBox::DisplayFromFile(const std::string& sFilePath) {
    try {
        return displayFile(sFilePath, false, true);
    } catch (...) {
        m_s.m_LastStatus = 1;
        return QuennetStatus::GenericError;
    }
}

QuennetStatus ImageBox::DisplayFromFileICM(const std::string& sFilePath) {
    try {
        return displayFile(sFilePath, true, true);
    } catch (...) {
        m_s.m_LastStatus = 1;
        return QuennetStatus::GenericError;
    }
}

int32_t ImageBox::DisplayFromBytes(const std::vector<uint8_t>& bytes, bool icm) {
    std::string path = win::MakeTempFileName();
    if (path.empty() || !win::writeWholeFile(path, bytes)) {
        win::deleteFileQuietly(path);
        m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::Win32Error);
        return m_s.m_LastStatus;
    }
    // The bytes' own file backs the image; no second copy is made of it.
    QuennetStatus status = displayFile(path, icm, false);
    if (status != QuennetStatus::OK || m_s.m_ImageId == 0) {
        win::deleteFileQuietly(path);
    } else {
        m_s.m_TempCopyInUse = true;
        m_s.m_TempCopyPath = path;
    }
    return m_s.m_LastStatus;
}

int32_t ImageBox::DisplayFromByteArray(std::vector<uint8_t>& arBytes) {
    try {
        return DisplayFromBytes(arBytes, false);
    } catch (...) {
        return m_s.m_LastStatus = 1;
    }
}

int32_t ImageBox::DisplayFromByteArrayICM(std::vector<uint8_t>& arBytes) {
    try {
        return DisplayFromBytes(arBytes, true);
    } catch (...) {
        return m_s.m_LastStatus = 1;
    }
}

int32_t ImageBox::DisplayFromString(const std::string& sImageString) {
    try {
        if (sImageString.empty())
            return m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::GenericError);
        std::string ansi = win::utf8ToCp1252(sImageString);
        if (ansi.size() < 2)
            return m_s.m_LastStatus = static_cast<int32_t>(QuennetStatus::ProfileNotFound);
        std::vector<uint8_t> bytes(ansi.begin(), ansi.end());
        return DisplayFromByteArray(bytes);
    } catch (...) {
        return m_s.m_LastStatus = 1;
    }
}

QuennetStatus ImageBox::DisplayFromStdPicture(ax::ComPtr<ax::Unknown>& oStdPicture) {
    try {
        CloseCurrentImage(false);
        auto* picture = dynamic_cast<ax::Picture*>(oStdPicture.get());
        const win::GdiSurface* surface = picture ? picture->image() : nullptr;
        if (!surface || surface->bpp() != 32)
            return adoptLoaded(static_cast<int32_t>(QuennetStatus::InvalidParameter));
        int32_t id = 0;
        int32_t status = LoadFromRawBits(surface->width(), surface->height(), 0,
                                         gp::PixelFormat32bppARGB, nullptr, id, false);
        if (status == 0) {
            gp::BitmapData data{};
            status = LockImageBits(id, nullptr, 2, gp::PixelFormat32bppARGB, data);
            if (status == 0) {
                for (int32_t y = 0; y < surface->height(); ++y)
                    std::memcpy(static_cast<uint8_t*>(data.Scan0) + int64_t(y) * data.Stride,
                                surface->row(y), size_t(surface->width()) * 4);
                status = UnlockImageBits(id, data);
            }
            if (status != 0)
                ReleaseImage(id);
        }
        m_s.m_ImageId = status == 0 ? id : 0;
        return adoptLoaded(status);
    } catch (...) {
        m_s.m_LastStatus = 1;
        return QuennetStatus::GenericError;
    }
}

QuennetStatus ImageBox::DisplayFromStream(ax::ComPtr<ax::Unknown> oStream) {
    try {
        CloseCurrentImage(false);
        int32_t id = 0;
        int32_t status = LoadFromStream(id, dynamic_cast<win::IStream*>(oStream.get()), false);
        m_s.m_ImageId = status == 0 ? id : 0;
        return adoptLoaded(status);
    } catch (...) {
        m_s.m_LastStatus = 1;
        return QuennetStatus::GenericError;
    }
}

QuennetStatus ImageBox::DisplayFromStreamICM(ax::ComPtr<ax::Unknown> oStream) {
    try {
        CloseCurrentImage(false);
        int32_t id = 0;
        int32_t status = LoadFromStream(id, dynamic_cast<win::IStream*>(oStream.get()), true);
        m_s.m_ImageId = status == 0 ? id : 0;
        return adoptLoaded(status);
    } catch (...) {
        m_s.m_LastStatus = 1;
        return QuennetStatus::GenericError;
    }
}

QuennetStatus ImageBox::DisplayFromMetaFile(const std::string& sFilePath, float nScaleBy) {
    try {
        CloseCurrentImage(false);
        int32_t id = 0;
        int32_t status = LoadMetafileFromFile(id, NormalizePath(sFilePath), nScaleBy, true);
        m_s.m_ImageId = status == 0 ? id : 0;
        return adoptLoaded(status);
    } catch (...) {
        m_s.m_LastStatus = 1;
        return QuennetStatus::GenericError;
    }
}

QuennetStatus ImageBox::DisplayFromHBitmap(int32_t nHbitmap) {
    try {
        CloseCurrentImage(false);
        int32_t id = 0;
        int32_t status = LoadFromHBitmap(static_cast<win::HBITMAP>(nHbitmap), 0, id);
        if (status != 0) {
            id = 0;
            status = LoadFromHIcon(static_cast<win::HICON>(nHbitmap), id);
        }
        m_s.m_ImageId = status == 0 ? id : 0;
        return adoptLoaded(status);
    } catch (...) {
        m_s.m_LastStatus = 1;
        return QuennetStatus::GenericError;
    }
}

QuennetStatus ImageBox::DisplayFromHICON(int32_t nHICON) {
    try {
        CloseCurrentImage(false);
        int32_t id = 0;
        int32_t status = LoadFromHIcon(static_cast<win::HICON>(nHICON), id);
        m_s.m_ImageId = status == 0 ? id : 0;
        return adoptLoaded(status);
    } catch (...) {
        m_s.m_LastStatus = 1;
        return QuennetStatus::GenericError;
    }
}

QuennetStatus ImageBox::DisplayFromClipboardData() {
    try {
        CloseCurrentImage(false);
        int32_t id = 0;
        int32_t status = LoadFromClipboard(id);
        m_s.m_ImageId = status == 0 ? id : 0;
        return adoptLoaded(status);
    } catch (...) {
        m_s.m_LastStatus = 1;
        return QuennetStatus::GenericError;
    }
}

QuennetStatus ImageBox::DisplayFromGdiDib(int32_t nGdiDibRef) {
    try {
        CloseCurrentImage(false);
        int32_t id = 0;
        int32_t status = LoadFromDib(id, static_cast<win::HGLOBAL>(nGdiDibRef), false, false);
        m_s.m_ImageId = status == 0 ? id : 0;
        return adoptLoaded(status);
    } catch (...) {
        m_s.m_LastStatus = 1;
        return QuennetStatus::GenericError;
    }
}

QuennetStatus ImageBox::DisplayFromQuennetImage(int32_t nImageID) {
    return SetNativeImage(nImageID);
}

QuennetStatus ImageBox::SetNativeImage(int32_t nImageID) {
    try {
        CloseCurrentImage(false);
        if (nImageID == 0)
            return asStatus(m_s.m_LastStatus = 2);
        m_s.m_LastStatus = 0;
        m_s.m_ImageId = nImageID;
        m_s.m_CurrentPage = 1;
        if (const ImageRecord* r = FindImageRecord(nImageID); r && r->isContainer())
            m_s.m_CurrentPage = std::max(0, r->CurrentPage) + 1;
        InitImageInfo();
        UpdateLayout();
        return asStatus(m_s.m_LastStatus);
    } catch (...) {
        m_s.m_LastStatus = 1;
        return QuennetStatus::GenericError;
    }
}

int32_t ImageBox::GetNativeImage() {
    return m_s.m_ImageId;
}

// --- adoption ---

void ImageBox::InitImageInfo(int32_t id) {
    ClearRect();
    const int32_t image = id != 0 ? id : m_s.m_ImageId;
    if (id == 0) {
        std::string format = GetImageFormatName(image);
        m_s.m_IsAnimatedGif = false;
        if (format == "GIF") {
            int32_t frames = 0;
            if (GetGifFrameCount(image, frames) != 0 || frames < 1)
                frames = 1;
            m_s.m_PageCount = frames;
            if (frames > 1) {
                m_s.m_FrameDelays = gifFrameDelays(image, frames);
                for (int32_t& d : m_s.m_FrameDelays)
                    d = d != 0 ? d * 10 : 100;
                m_s.m_IsAnimatedGif = true;
            }
        } else if (format == "TIFF") {
            int32_t pages = 0;
            if (GetTiffPageCount(image, pages) != 0 || pages < 1)
                pages = 1;
            m_s.m_PageCount = pages;
        } else {
            m_s.m_PageCount = 1;
        }
        if (m_s.m_IsAnimatedGif && m_s.m_AnimateGIF)
            PlayGif();
    }

    auto fail = [&](const char* text) {
        if (!m_s.m_SilentMode)
            MsgBox(text, ax::kMsgBoxCritical);
    };
    if (m_s.m_LastStatus == 0) {
        int32_t st = GetImageHeight(image, m_s.m_ImageHeight);
        if (st != 0) {
            m_s.m_LastStatus = st;
            fail("Invalid image: Can not get picture height.");
            return;
        }
        st = GetImageWidth(image, m_s.m_ImageWidth);
        if (st != 0) {
            m_s.m_LastStatus = st;
            fail("Invalid image: Can not get picture width");
            return;
        }
        float h = 0;
        st = GetImageHorizontalResolution(image, h);
        m_s.m_HorizontalResolution = h;
        if (st != 0 && h != 0) {
            m_s.m_LastStatus = st;
            fail("Invalid image: Can not get picture horizontal resolution");
            return;
        }
        float v = 0;
        st = GetImageVerticalResolution(image, v);
        m_s.m_VerticalResolution = v;
        m_s.m_LastStatus = st;
        if (st != 0 || v == 0)
            fail("Invalid image: Can not get picture vertical resolution");
    }
    if (m_s.m_LastStatus == 0) {
        m_s.m_AspectRatio = view::aspectRatio(m_s.m_HorizontalResolution, m_s.m_VerticalResolution,
                                              m_s.m_SkipImageResolution);
        m_s.m_ImageWidth = std::max(m_s.m_ImageWidth, 1);
        m_s.m_ImageHeight = std::max(m_s.m_ImageHeight, 1);
        ComputeMaxZoom();
    }
}

// --- closing ---

void ImageBox::CloseCurrentImage(bool keepInformation) {
    if (!keepInformation) {
        m_s.m_ImageWidth = m_s.m_ImageHeight = 0;
        m_s.m_HorizontalResolution = m_s.m_VerticalResolution = 0;
        m_s.m_AspectRatio = 1.0;
        m_s.m_ImageTop = m_s.m_ImageLeft = 0;
        m_s.m_ZoomedWidth = m_s.m_ZoomedHeight = 0;
        m_s.m_DisplayedLeft = m_s.m_DisplayedTop = 0;
        m_s.m_DisplayedWidth = m_s.m_DisplayedHeight = 0;
    }
    m_s.m_PageCount = 0;
    m_s.m_CurrentPage = 0;
    m_s.m_LastStatus = 0;
    m_s.m_RenderFailed = false;
    m_s.m_ArgumentRefused = false;
    m_s.m_MouseX = m_s.m_MouseY = 0;
    ClearRect();
    m_s.m_LayoutSinceOpen = false;
    m_s.m_ScrollEventsOn = false;

    if (!m_s.m_KeepImagePosition) {
        if (m_VScroll->Value() != 0)
            m_VScroll->setValue(0);
        if (m_VScroll->Max() != 0)
            m_VScroll->setMax(0);
    }
    if (!m_s.m_KeepImagePosition && !m_s.m_EdgePaging) {
        if (m_HScroll->Value() != 0)
            m_HScroll->setValue(0);
        if (m_HScroll->Max() != 0)
            m_HScroll->setMax(0);
    }
    m_HScroll->setEnabled(m_HScroll->Max() > 0);
    m_VScroll->setEnabled(m_VScroll->Max() > 0);
    m_HScroll->setVisible(m_s.m_ForceScrollBars);
    m_VScroll->setVisible(m_s.m_ForceScrollBars);
    m_shCorner->setVisible(false);

    if (!m_s.m_PointerSet)
        setMousePointer(0);
    m_s.m_MaxZoom = 1.0;
    m_s.m_RealignH = m_s.m_RealignV = true;

    // Playback stops, but AnimateGIF stays as the host set it, so the next animated
    // image plays again.
    if (m_s.m_GifPlaying || m_s.m_FrameTimerId != 0)
        KillFrameTimer();
    m_s.m_GifPlaying = false;
    m_s.m_IsAnimatedGif = false;

    if (m_s.m_TempCopyInUse)
        FreeDisplayedImage();
    FreeWorkImage();
    m_s.m_ImageId = 0;
}

void ImageBox::FreeDisplayedImage() {
    if (m_s.m_ImageId != 0) {
        int32_t st = ReleaseImage(m_s.m_ImageId);
        m_s.m_LastStatus = st;
        if (st == 0)
            m_s.m_ImageId = 0;
        DeleteTempCopy();
    }
    m_s.m_ImageId = 0;
    FreeWorkImage();
}

int32_t ImageBox::GetWorkImage() const {
    return m_s.m_WorkImageId != 0 ? m_s.m_WorkImageId : m_s.m_ImageId;
}

int32_t ImageBox::LoadCurrentFrame() {
    FreeWorkImage();
    int32_t copy = 0;
    int32_t st = ConvertPixelFormat(m_s.m_ImageId, kPremultiplied, true, copy);
    if (st == 0 && copy != 0) {
        m_s.m_WorkImageId = copy;
        m_s.m_WorkFrame = m_s.m_CurrentPage;
    } else if (copy != 0 && copy != m_s.m_ImageId) {
        ReleaseImage(copy);
    }
    return st;
}

void ImageBox::CloseImage() {
    try {
        FreeDisplayedImage();
        CloseCurrentImage(false);
        Clear();
    } catch (...) {
    }
}

void ImageBox::CloseImageEx() {
    try {
        FreeDisplayedImage();
        CloseCurrentImage(false);
    } catch (...) {
    }
}

void ImageBox::ImageClosed() {
    try {
        CloseCurrentImage(true);
        m_s.m_ImageId = 0;
    } catch (...) {
    }
}

void ImageBox::Clear() {
    try {
        if (m_s.m_LockControl)
            return;
        setAutoRedraw(true);
        ClearRect();
        if (picture())
            setPicture({});
        if (maskPicture())
            setMaskPicture({});
        Cls();
        invalidate();
    } catch (...) {
    }
}

} // namespace tavimo
