#include "core/image_table.h"

#include "core/filter_access.h"
#include "core/image_info.h"
#include "core/image_pages.h"
#include "core/plugin.h"
#include "platform/win/files.h"
#include "platform/win/global_memory.h"
#include "platform/win/random.h"
#include "platform/win/system_info.h"
#include "platform/win/vb_number.h"

namespace tavimo {

namespace {

thread_local std::vector<ImageRecord> t_table;

// Clears an entry into a free slot. Registered and OwnerInstance keep their values.
void clearRecord(ImageRecord& r) {
    ImageRecord cleared;
    cleared.Registered = r.Registered;
    cleared.OwnerInstance = r.OwnerInstance;
    r = std::move(cleared);
}

} // namespace

std::vector<ImageRecord>& imageTable() {
    return t_table;
}

int32_t ImageTableCount() {
    return static_cast<int32_t>(t_table.size());
}

int32_t FindImageIndex(ImageId id) {
    if (id == 0)
        return -1;
    for (size_t i = 0; i < t_table.size(); ++i) {
        if (t_table[i].ImageId == id)
            return static_cast<int32_t>(i);
    }
    return -1;
}

ImageRecord* FindImageRecord(ImageId id) {
    int32_t slot = FindImageIndex(id);
    return slot < 0 ? nullptr : &t_table[static_cast<size_t>(slot)];
}

ImageId NewImageId() {
    // The generator is seeded once per thread; drawing again until the value is non-zero and
    // not in the table keeps the first-match lookups from ever confusing two images.
    for (;;) {
        double r = win::Rnd();
        ImageId id = static_cast<ImageId>(win::roundHalfEven(r * 100000000.0));
        if (id != 0 && FindImageIndex(id) < 0)
            return id;
    }
}

int32_t AllocImageSlot() {
    // Every image enters the table here, so from now on the filter engine reaches images
    // through the table unless a thread installs another access.
    static const bool filterAccess = (SetDefaultFilterImageAccess(&CoreFilterImageAccess), true);
    (void)filterAccess;
    for (size_t i = 0; i < t_table.size(); ++i) {
        if (t_table[i].ImageId == 0)
            return static_cast<int32_t>(i);
    }
    t_table.emplace_back();
    return static_cast<int32_t>(t_table.size() - 1);
}

int32_t RegisterImage(ImageId& id, gp::GpImage image, const std::string& formatName,
                      const std::string& sourcePath, int32_t sourceKind) {
    int32_t slot = AllocImageSlot();
    id = NewImageId();
    ImageRecord& r = t_table[static_cast<size_t>(slot)];
    r.Registered = 1;
    r.OwnerInstance = win::kModuleInstance;
    r.ImageId = id;
    if (!sourcePath.empty())
        r.SourcePath = sourcePath;
    r.FormatName = formatName;
    r.GdiImage = image;
    r.SourceKind = sourceKind;
    if (image != 0)
        FinishRegistration(id);
    return slot;
}

void FinishRegistration(ImageId id) {
    ForceValidation(id);
    ImageRecord* r = FindImageRecord(id);
    if (!r)
        return;
    if (r->FormatName.empty()) {
        std::string name = DetectImageFormatName(id);
        r = FindImageRecord(id);
        if (r)
            r->FormatName = name;
    }
    int32_t bits = ImageBitDepth(id);
    if ((r = FindImageRecord(id)))
        r->BitDepth = bits;
}

gp::GpImage GetGdiImage(ImageId id) {
    const ImageRecord* r = FindImageRecord(id);
    if (!r)
        return 0;
    if (!r->isContainer())
        return r->GdiImage;
    if (r->PageCount < 1)
        return 0;
    if (r->SourceKind == SourceKindFile && r->PagesInPlace)
        return r->GdiImage;
    if (r->CurrentPage < 0 || r->CurrentPage >= static_cast<int32_t>(r->PageImageIds.size()))
        return 0;
    return GetGdiImage(r->PageImageIds[static_cast<size_t>(r->CurrentPage)]);
}

ImageId GetCurrentPageImageId(ImageId id) {
    const ImageRecord* r = FindImageRecord(id);
    if (!r || !r->isContainer())
        return id;
    if (r->SourceKind == SourceKindFile && r->PagesInPlace)
        return id;
    if (r->PageCount < 1)
        return 0;
    // Without a valid current page there is no page image to name; callers treat 0 as
    // "no image", which is what their own error handling turned this case into.
    if (r->CurrentPage < 0 || r->CurrentPage >= static_cast<int32_t>(r->PageImageIds.size()))
        return 0;
    return r->PageImageIds[static_cast<size_t>(r->CurrentPage)];
}

int32_t GetImageSourceKind(ImageId id) {
    const ImageRecord* r = FindImageRecord(id);
    if (!r)
        return 0;
    if (!r->isContainer())
        return r->SourceKind;
    if (r->SourceKind == SourceKindFile && r->PagesInPlace)
        return SourceKindFile;
    if (r->CurrentPage < 0 || r->CurrentPage >= static_cast<int32_t>(r->PageImageIds.size()))
        return 0;
    return GetImageSourceKind(r->PageImageIds[static_cast<size_t>(r->CurrentPage)]);
}

void SetImageSourceKind(ImageId id, int32_t kind) {
    ImageRecord* r = FindImageRecord(id);
    if (!r)
        return;
    if (!r->isContainer()) {
        r->SourceKind = kind;
        return;
    }
    if (r->CurrentPage < 0 || r->CurrentPage >= static_cast<int32_t>(r->PageImageIds.size()))
        return;
    SetImageSourceKind(r->PageImageIds[static_cast<size_t>(r->CurrentPage)], kind);
}

void SetMemorySource(ImageId id, uint32_t memoryHandle) {
    if (ImageRecord* r = FindImageRecord(id)) {
        r->SourceKind = SourceKindMemory;
        r->MemoryHandle = memoryHandle;
    }
}

void SetPluginSource(ImageId id, KelvraHandle bitmap) {
    if (ImageRecord* r = FindImageRecord(id)) {
        r->SourceKind = SourceKindPlugin;
        r->PluginHandle = bitmap;
    }
}

void SetPluginPageSource(ImageId id, KelvraHandle multiBitmap, KelvraHandle page) {
    if (ImageRecord* r = FindImageRecord(id)) {
        r->SourceKind = SourceKindPluginPage;
        r->PluginHandle = multiBitmap;
        r->PluginPage = page;
    }
}

void SetImageFormatName(ImageId id, const std::string& name) {
    if (ImageRecord* r = FindImageRecord(id))
        r->FormatName = name;
}

void SetTempSourceFile(ImageId id, const std::string& path) {
    if (ImageRecord* r = FindImageRecord(id)) {
        r->SourcePath = path;
        r->DeleteSourceFile = true;
    }
}

std::string GetImageFormatName(ImageId id) {
    const ImageRecord* r = FindImageRecord(id);
    return r ? r->FormatName : std::string();
}

void MarkImageModified(ImageId id) {
    ImageRecord* r = FindImageRecord(id);
    if (r && r->SourceKind == SourceKindFile && r->isContainer() && r->PagesInPlace) {
        int32_t count = 0;
        if (r->IsTiffContainer)
            CountTiffPages(id, count);
        r = FindImageRecord(id);
        if (r && r->IsGifContainer)
            CountGifFrames(id, count);
        r = FindImageRecord(id);
        if (r && count < 2) {
            // An edited GDI+ image keeps only its active frame: it is no longer a container.
            // GIF and TIFF alike, so that nothing later indexes the emptied page arrays.
            r->IsTiffContainer = false;
            r->IsGifContainer = false;
            r->PageCount = 1;
            r->CurrentPage = -1;
            r->PageImageIds.clear();
            r->PageFiles.clear();
            r->FrameDelays.clear();
        }
    }
    if (ImageRecord* page = FindImageRecord(GetCurrentPageImageId(id)))
        page->Modified = true;
}

void ClearImageModified(ImageId id) {
    if (ImageRecord* page = FindImageRecord(GetCurrentPageImageId(id)))
        page->Modified = false;
}

int32_t ReleaseImage(ImageId id) {
    int32_t slot = FindImageIndex(id);
    if (slot < 0)
        return InvalidParameter;
    int32_t status = OK;

    // Copy what the release needs: the recursion below may grow or shrink the table.
    ImageRecord r = t_table[static_cast<size_t>(slot)];

    if (r.isContainer()) {
        for (int32_t i = 0; i < r.PageCount; ++i) {
            if (i < static_cast<int32_t>(r.PageImageIds.size()) && r.PageImageIds[i] != 0)
                status = ReleaseImage(r.PageImageIds[i]);
            if (i < static_cast<int32_t>(r.PageFiles.size()) && !r.PageFiles[i].empty())
                win::deleteFileQuietly(r.PageFiles[i]);
        }
    }

    // A handed-over buffer is freed only while the image still draws from it, and only
    // after the image is disposed: freeing it first would leave GDI+ reading freed memory.
    bool freeBuffer = false;
    if (r.OwnsPixelMemory && r.GdiImage != 0) {
        void* scan0 = nullptr;
        if (GetImageScan0(id, scan0) == OK && scan0 == r.PixelMemory)
            freeBuffer = true;
    }

    if (r.PluginFileHandle != 0)
        if (auto* k = plugin())
            k->KELVRA_CloseFileHandle(r.PluginFileHandle);

    if (r.GdiImage != 0)
        status = gp::GdipDisposeImage(r.GdiImage);
    if (freeBuffer)
        gp::GdipFree(r.PixelMemory);

    if (r.SourceKind == SourceKindMemory)
        win::GlobalFree(r.MemoryHandle);
    if (auto* k = plugin()) {
        if (r.SourceKind == SourceKindPlugin) {
            if (r.isContainer())
                k->KELVRA_CloseMultiBitmap(r.PluginHandle, 0);
            else
                k->KELVRA_Unload(r.PluginHandle);
        } else if (r.SourceKind == SourceKindPluginPage) {
            k->KELVRA_UnlockPage(r.PluginHandle, r.PluginPage, 0);
        }
    }
    if (r.DeleteSourceFile)
        win::deleteFileQuietly(r.SourcePath);

    slot = FindImageIndex(id);
    if (slot >= 0) {
        if (static_cast<size_t>(slot) + 1 != t_table.size())
            clearRecord(t_table[static_cast<size_t>(slot)]);
        else
            t_table.pop_back();
    }
    return status;
}

void ReleaseAllImages() {
    while (!t_table.empty()) {
        const ImageRecord& last = t_table.back();
        if (last.ImageId == 0)
            t_table.pop_back();
        else
            ReleaseImage(last.ImageId);
    }
}

} // namespace tavimo
