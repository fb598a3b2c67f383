#include "core/plugin_bridge.h"

#include "core/image_containers.h"

#include "core/file_helpers.h"
#include "core/image_convert.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_save.h"
#include "core/plugin.h"
#include "core/plugin_metadata.h"
#include "platform/win/gdi.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace tavimo {

namespace {

static_assert(sizeof(KelvraBitmapInfoHeader) == sizeof(win::BITMAPINFOHEADER));

constexpr int32_t kTiffCmykFlag = 1;
constexpr int32_t kGifPlaybackFlag = 2;
constexpr int32_t kRotateNoneFlipY = 6;

constexpr gp::PixelFormat k24bppRgb = 0x21808;
constexpr gp::PixelFormat k32bppRgb = 0x22009;
constexpr gp::PixelFormat k32bppArgb = 0x26200A;
constexpr gp::PixelFormat k48bppRgb = 0x10300C;
constexpr gp::PixelFormat k64bppPargb = 0x34400D;

// JPEG, PNG, J2K and JP2 bitmaps come from the plug-in top-down; all others bottom-up.
bool isTopDownCode(int32_t code) {
    return code == PluginFormatJpeg || code == PluginFormatPng || code == PluginFormatJ2k ||
           code == PluginFormatJp2;
}

// Gives a plug-in bitmap back the way it was obtained.
void freeBitmap(const KelvraApi& k, KelvraHandle bitmap, bool& isLockedPage, KelvraHandle multi) {
    if (isLockedPage) {
        k.KELVRA_UnlockPage(multi, bitmap, 0);
        isLockedPage = false;
    } else {
        k.KELVRA_Unload(bitmap);
    }
}

// Takes a converted bitmap in place of the current one; a failed conversion leaves the
// bitmap as loaded in use.
bool replaceBy(const KelvraApi& k, KelvraHandle converted, KelvraHandle& bitmap, bool& isLockedPage,
               KelvraHandle multi) {
    if (converted == 0)
        return false;
    freeBitmap(k, bitmap, isLockedPage, multi);
    bitmap = converted;
    return true;
}

gp::PixelFormat sharedPixelFormat(const KelvraApi& k, KelvraHandle bitmap, uint32_t bpp) {
    auto width = static_cast<int32_t>(k.KELVRA_GetWidth(bitmap));
    auto pitch = static_cast<int32_t>(k.KELVRA_GetPitch(bitmap));
    switch (bpp) {
    case 24:
        return k24bppRgb;
    case 32:
        return k.KELVRA_GetColorType(bitmap) == KELVRA_CT_RGBALPHA ? k32bppArgb : k32bppRgb;
    case 48:
        return pitch == GetStride(width, 24) ? k24bppRgb : k48bppRgb;
    case 64:
        return pitch == GetStride(width, 32) ? k32bppArgb : k64bppPargb;
    default:
        return 0; // the creation then fails
    }
}

// The containers' own page selection unless a test installs other selectors.
std::atomic<PluginPageSelector> g_selectTiffPage{&SelectTiffPage};
std::atomic<PluginPageSelector> g_selectGifFrame{&SelectGifFrame};

constexpr int32_t kTiffLzwSaveFlag = 16384;
constexpr int32_t kLzwCompression = 2;

void removeFile(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

// Writes one locked page to a page file: the page image through the GDI+ encoders (TIFF LZW,
// or PNG for GIF frames), or, when that fails, the plug-in bitmap itself. Frees the page.
int32_t writePage(const KelvraApi& k, KelvraHandle multi, KelvraHandle page, int32_t code,
                  const std::string& file) {
    ImageId pageId = 0;
    bool mayUnload = true;
    bool isLockedPage = true;
    int32_t status = PluginBitmapToGdiBitmap(page, pageId, mayUnload, isLockedPage, multi, code);
    if (status == OK) {
        int32_t saved = code == PluginFormatGif
                            ? SaveAsPng(pageId, file)
                            : SaveAsTiff(pageId, file, kLzwCompression, 0, true);
        ReleaseImage(pageId);
        if (saved != OK) {
            bool written = code == PluginFormatGif
                               ? SaveThroughPlugin(PluginFormatPng, page, file, 0)
                               : SaveThroughPlugin(PluginFormatTiff, page, file, kTiffLzwSaveFlag);
            status = written ? OK : GenericError;
        }
    } else if (pageId != 0) {
        ReleaseImage(pageId);
    }
    // The page goes back as it came: unlocked while it is still the locked page, unloaded
    // when a converted copy took its place.
    if (isLockedPage)
        k.KELVRA_UnlockPage(multi, page, 0);
    else
        k.KELVRA_Unload(page);
    return status;
}

int32_t buildContainer(const KelvraApi& k, ImageId& id, const std::string& path, int32_t code,
                       KelvraHandle multi, KelvraHandle fileHandle, bool keep,
                       PluginPageSelector select) {
    std::string name = GetPluginFormatName(code);
    try {
        RegisterImage(id, 0, name, path, keep ? SourceKindPlugin : SourceKindGdiImage);
    } catch (...) {
        k.KELVRA_CloseMultiBitmap(multi, 0);
        k.KELVRA_CloseFileHandle(fileHandle);
        id = 0;
        return OutOfMemory;
    }
    int32_t pageCount = k.KELVRA_GetPageCount(multi);
    if (ImageRecord* r = FindImageRecord(id)) {
        r->PagesInPlace = keep;
        (code == PluginFormatGif ? r->IsGifContainer : r->IsTiffContainer) = true;
        r->PageCount = pageCount;
        r->PageImageIds.assign(static_cast<size_t>(std::max(pageCount, 0)), 0);
        r->PageFiles.assign(static_cast<size_t>(std::max(pageCount, 0)), std::string());
        r->FrameDelays.assign(static_cast<size_t>(std::max(pageCount, 0)), 0);
        r->CurrentPage = -1;
        r->PluginFileHandle = fileHandle;
        if (keep)
            r->PluginHandle = multi;
    }
    if (keep) {
        select(id, 0);
        return OK;
    }
    int32_t written = 0;
    int32_t last = UnknownImageFormat;
    for (int32_t j = 0; j < pageCount; ++j) {
        KelvraHandle page = k.KELVRA_LockPage(multi, j);
        if (page == 0) {
            last = GenericError;
            continue;
        }
        std::string file = MakeTempFileName();
        last = file.empty() ? GenericError : writePage(k, multi, page, code, file);
        if (last == OK) {
            if (ImageRecord* r = FindImageRecord(id))
                r->PageFiles[static_cast<size_t>(j)] = file;
            ++written;
        } else if (!file.empty()) {
            removeFile(file); // an unused page file is not left behind
        }
    }
    k.KELVRA_CloseMultiBitmap(multi, 0);
    select(id, 0);
    if (written >= 1 && last == OK)
        return OK;
    ReleaseImage(id);
    id = 0;
    return last;
}

int32_t dpiFromDotsPerMetre(uint32_t dotsPerMetre) {
    return static_cast<int32_t>(std::floor(dotsPerMetre * 0.0254 + 0.5));
}

uint32_t dotsPerMetreFromDpi(int32_t dpi) {
    double value = std::floor(dpi / 0.0254 + 0.5);
    return value <= 0 ? 0 : static_cast<uint32_t>(std::min(value, 4294967295.0));
}

} // namespace

int32_t DetectPluginFormat(const std::string& path) {
    const KelvraApi* k = plugin();
    if (!k)
        return PluginFormatUnknown;
    int32_t content = k->KELVRA_GetFileTypeU(path.c_str(), 0);
    int32_t name = k->KELVRA_GetFIFFromFilenameU(path.c_str());
    if (content != PluginFormatUnknown && name != PluginFormatUnknown &&
        (name == content || name == PluginFormatTiff))
        return name;
    return content;
}

std::string GetPluginFormatName(int32_t code) {
    static const char* const kNames[] = {
        "BMP",   "ICO",  "JPEG", "JNG",    "KOALA", "LBM", "MNG",    "PBM", "PBMRAW",
        "PCD",   "PCX",  "PGM",  "PGMRAW", "PNG",   "PPM", "PPMRAW", "RAS", "TARGA",
        "TIFF",  "WBMP", "PSD",  "CUT",    "XBM",   "XPM", "DDS",    "GIF", "HDR",
        "FAXG3", "SGI",  "EXR",  "J2K",    "JP2",   "PFM", "PICT",   "RAW", "JBIG"};
    if (code == PluginFormatUnknown)
        return "UNKNOWN";
    if (code < 0 || code >= static_cast<int32_t>(std::size(kNames)))
        return "";
    return kNames[code];
}

KelvraHandle LoadWithPages(int32_t& code, const std::string& path, bool& isMulti, bool useIcm,
                           KelvraHandle& fileHandle) {
    isMulti = false;
    const KelvraApi* k = plugin();
    if (!k || code == PluginFormatUnknown)
        return 0;
    int32_t flags = 0;
    if (useIcm && code == PluginFormatTiff)
        flags = kTiffCmykFlag;
    if (code == PluginFormatGif)
        flags = kGifPlaybackFlag;
    if (code == PluginFormatTiff || code == PluginFormatGif) {
        fileHandle = k->KELVRA_OpenFileU(path.c_str());
        KelvraHandle multi = k->KELVRA_OpenMultiBitmapU(code, flags, fileHandle);
        if (multi == 0) {
            k->KELVRA_CloseFileHandle(fileHandle);
            fileHandle = 0;
        } else if (k->KELVRA_GetPageCount(multi) < 2) {
            k->KELVRA_CloseMultiBitmap(multi, 0);
            k->KELVRA_CloseFileHandle(fileHandle);
            fileHandle = 0;
        } else {
            isMulti = true;
            return multi;
        }
    }
    return k->KELVRA_LoadU(code, path.c_str(), flags);
}

int32_t LoadThroughPlugin(ImageId& id, const std::string& path, bool useIcm, bool tiffPagesInPlace,
                          bool gifFramesInPlace) {
    id = 0;
    const KelvraApi* k = plugin();
    if (!PluginAvailable() || !k)
        return Aborted;
    try {
        int32_t code = DetectPluginFormat(path);
        if (code == PluginFormatBmp || code == PluginFormatPng || code == PluginFormatGif ||
            code < 0)
            return UnknownImageFormat;
        bool isMulti = false;
        KelvraHandle fileHandle = 0;
        KelvraHandle bitmap = LoadWithPages(code, path, isMulti, useIcm, fileHandle);
        if (bitmap == 0)
            return OutOfMemory;
        if (isMulti) {
            PluginPageSelector select =
                code == PluginFormatGif ? g_selectGifFrame.load() : g_selectTiffPage.load();
            if (!select) {
                // Without a way to show a page the file goes back closed, to GDI+.
                k->KELVRA_CloseMultiBitmap(bitmap, 0);
                k->KELVRA_CloseFileHandle(fileHandle);
                return UnknownImageFormat;
            }
            bool keep = code == PluginFormatGif ? gifFramesInPlace : tiffPagesInPlace;
            return buildContainer(*k, id, path, code, bitmap, fileHandle, keep, select);
        }
        std::string name = GetPluginFormatName(code);
        bool mayUnload = true;
        bool isLockedPage = false;
        int32_t status = PluginBitmapToGdiBitmap(bitmap, id, mayUnload, isLockedPage, 0, code);
        // A bitmap no image holds is given back too, whatever the conversion said.
        if (mayUnload || FindImageRecord(id) == nullptr)
            k->KELVRA_Unload(bitmap);
        else
            SetPluginSource(id, bitmap);
        if (FindImageRecord(id))
            SetImageFormatName(id, name);
        return status;
    } catch (...) {
        return GenericError;
    }
}

int32_t PluginBitmapToGdiBitmap(KelvraHandle& bitmap, ImageId& id, bool& mayUnload,
                                bool& isLockedPage, KelvraHandle multi, int32_t code) {
    id = 0;
    mayUnload = true;
    const KelvraApi* kp = plugin();
    if (!kp || bitmap == 0)
        return InvalidParameter;
    const KelvraApi& k = *kp;
    auto dpiX = static_cast<float>(GetPluginDpiX(bitmap));
    auto dpiY = static_cast<float>(GetPluginDpiY(bitmap));
    uint32_t bpp = k.KELVRA_GetBPP(bitmap);
    int32_t type = k.KELVRA_GetImageType(bitmap);

    if (type != KELVRA_IT_BITMAP) {
        KelvraHandle converted = 0;
        if (type == KELVRA_IT_UINT16)
            converted = k.KELVRA_ConvertToGreyscale(bitmap);
        else if (type == KELVRA_IT_RGB16 || type == KELVRA_IT_RGBF || type == KELVRA_IT_RGBAF)
            converted = k.KELVRA_TmoReinhard05(bitmap, 0, 0);
        else
            converted = k.KELVRA_ConvertToType(bitmap, KELVRA_IT_BITMAP, 1);
        if (replaceBy(k, converted, bitmap, isLockedPage, multi))
            bpp = k.KELVRA_GetBPP(bitmap);
    }

    bool shared = bpp >= 24;
    if (type == KELVRA_IT_BITMAP && bpp == 8 && k.KELVRA_GetTransparencyCount(bitmap) >= 1) {
        // The transparent palette entries become an alpha channel.
        if (replaceBy(k, k.KELVRA_ConvertTo32Bits(bitmap), bitmap, isLockedPage, multi)) {
            bpp = 32;
            shared = true;
        }
    }

    int32_t status = OK;
    auto width = static_cast<int32_t>(k.KELVRA_GetWidth(bitmap));
    auto height = static_cast<int32_t>(k.KELVRA_GetHeight(bitmap));
    if (shared) {
        if (bpp > 64) {
            mayUnload = true;
            return UnknownImageFormat;
        }
        // The colour type is read after the conversions: a converted 8-bit image with
        // transparency has gained its alpha channel only now.
        gp::PixelFormat format = sharedPixelFormat(k, bitmap, bpp);
        bool flipWanted = !isTopDownCode(code);
        bool flipped = flipWanted && k.KELVRA_FlipVertical(bitmap) == 1;
        status = LoadFromRawBits(width, height, static_cast<int32_t>(k.KELVRA_GetPitch(bitmap)),
                                 format, k.KELVRA_GetBits(bitmap), id, false);
        if (FindImageRecord(id) == nullptr) {
            mayUnload = true;
            if (status == OK)
                status = GenericError;
        } else {
            if (flipWanted && !flipped)
                RotateFlip(id, kRotateNoneFlipY, true);
            mayUnload = false; // the GDI+ image draws from the plug-in's pixels
        }
    } else {
        bool minIsWhite = bpp == 1 && k.KELVRA_GetPhotoMetric(bitmap) == KELVRA_PM_MINISWHITE;
        if (minIsWhite)
            k.KELVRA_Invert(bitmap);
        if (isTopDownCode(code))
            k.KELVRA_FlipVertical(bitmap);
        win::HBITMAP hbm = PluginToDibSection(bitmap, 0, false);
        if (hbm == 0) {
            status = OutOfMemory;
        } else {
            status = LoadFromHBitmap(hbm, 0, id);
            if (status == OK && minIsWhite) {
                gp::Palette palette;
                palette.entries = {0xFF000000u, 0xFFFFFFFFu};
                WriteImagePalette(id, palette);
            }
            win::DeleteObject(hbm);
        }
        mayUnload = true;
    }

    if (status == OK) {
        PluginTagResolution tags;
        ReadPluginMetadata(id, bitmap, tags);
        if ((tags.x != dpiX || tags.y != dpiY) && dpiX == 72 && dpiY == 72) {
            dpiX = tags.x;
            dpiY = tags.y;
        }
        if (dpiX > 0 && dpiY > 0)
            SetResolution(id, dpiX, dpiY, true);
    }
    return status;
}

void SetPluginPageSelectors(PluginPageSelector tiff, PluginPageSelector gif) {
    g_selectTiffPage.store(tiff);
    g_selectGifFrame.store(gif);
}

bool SaveThroughPlugin(int32_t code, KelvraHandle bitmap, const std::string& path, int32_t flags) {
    const KelvraApi* k = plugin();
    return k && k->KELVRA_SaveU(code, bitmap, path.c_str(), flags) == 1;
}

int32_t GetPluginDpiX(KelvraHandle bitmap) {
    const KelvraApi* k = plugin();
    return k ? dpiFromDotsPerMetre(k->KELVRA_GetDotsPerMeterX(bitmap)) : 0;
}

int32_t GetPluginDpiY(KelvraHandle bitmap) {
    const KelvraApi* k = plugin();
    return k ? dpiFromDotsPerMetre(k->KELVRA_GetDotsPerMeterY(bitmap)) : 0;
}

void SetPluginDpiX(KelvraHandle bitmap, int32_t dpi) {
    if (const KelvraApi* k = plugin())
        k->KELVRA_SetDotsPerMeterX(bitmap, dotsPerMetreFromDpi(dpi));
}

void SetPluginDpiY(KelvraHandle bitmap, int32_t dpi) {
    if (const KelvraApi* k = plugin())
        k->KELVRA_SetDotsPerMeterY(bitmap, dotsPerMetreFromDpi(dpi));
}

int32_t GetMetadataTags(int32_t model, KelvraHandle bitmap, std::vector<MetadataTagEntry>& tags) {
    const KelvraApi* k = plugin();
    if (!k)
        return 0;
    auto count = static_cast<int32_t>(k->KELVRA_GetMetadataCount(model, bitmap));
    if (count < 1)
        return 0;
    tags.assign(static_cast<size_t>(count), MetadataTagEntry{});
    KelvraTag tag = 0;
    KelvraSearch search = k->KELVRA_FindFirstMetadata(model, bitmap, &tag);
    if (search == 0)
        return count;
    // The copy stops at the count the vector was sized for, even if the enumeration
    // yields more.
    size_t filled = 0;
    do {
        MetadataTagEntry& entry = tags[filled++];
        const char* key = k->KELVRA_GetTagKey(tag);
        const char* description = k->KELVRA_GetTagDescription(tag);
        entry.key = key ? key : "";
        entry.description = description ? description : "";
        entry.id = k->KELVRA_GetTagID(tag);
        entry.type = static_cast<uint16_t>(k->KELVRA_GetTagType(tag));
        entry.count = k->KELVRA_GetTagCount(tag);
        entry.length = k->KELVRA_GetTagLength(tag);
        const auto* value = static_cast<const uint8_t*>(k->KELVRA_GetTagValue(tag));
        if (value && entry.length > 0)
            entry.value.assign(value, value + entry.length);
        else
            entry.length = 0;
    } while (filled < tags.size() && k->KELVRA_FindNextMetadata(search, &tag));
    k->KELVRA_FindCloseMetadata(search);
    return count;
}

int32_t CopyPaletteToPlugin(KelvraHandle bitmap, const std::vector<uint32_t>& entries) {
    const KelvraApi* k = plugin();
    if (!k)
        return 0;
    auto used = static_cast<int32_t>(k->KELVRA_GetColorsUsed(bitmap));
    uint32_t* palette = k->KELVRA_GetPalette(bitmap);
    if (used > 0 && palette) {
        // Never more than the source has: a shorter source palette leaves the rest as is.
        size_t n = std::min(static_cast<size_t>(used), entries.size());
        std::memcpy(palette, entries.data(), n * sizeof(uint32_t));
    }
    return used;
}

win::HBITMAP PluginToDibSection(KelvraHandle bitmap, win::HDC dc, bool unload) {
    const KelvraApi* k = plugin();
    if (!k || bitmap == 0)
        return 0;
    bool ownDc = dc == 0;
    if (ownDc)
        dc = win::GetDC(0);
    win::HBITMAP section = 0;
    const KelvraBitmapInfoHeader* info = k->KELVRA_GetInfo(bitmap);
    const uint8_t* source = k->KELVRA_GetBits(bitmap);
    if (info && source) {
        void* bits = nullptr;
        section = win::CreateDIBSection(dc, reinterpret_cast<const win::BITMAPINFO*>(info),
                                        win::DIB_RGB_COLORS, &bits);
        if (section && bits) {
            // Both lay rows out the DIB way, so height x pitch bytes are the whole picture;
            // the section's own size bounds the copy all the same.
            size_t pitch = k->KELVRA_GetPitch(bitmap);
            size_t dibRow =
                ((static_cast<size_t>(std::abs(info->width)) * info->bitCount + 31) / 32) * 4;
            size_t rows = static_cast<size_t>(std::abs(info->height));
            size_t bytes = std::min(pitch, dibRow) * rows;
            if (pitch == dibRow)
                std::memcpy(bits, source, bytes);
            else
                for (size_t y = 0; y < rows; ++y)
                    std::memcpy(static_cast<uint8_t*>(bits) + y * dibRow, source + y * pitch,
                                std::min(pitch, dibRow));
        } else if (section) {
            win::DeleteObject(section);
            section = 0;
        }
    }
    if (ownDc)
        win::ReleaseDC(0, dc);
    if (unload)
        k->KELVRA_Unload(bitmap);
    return section;
}

} // namespace tavimo
