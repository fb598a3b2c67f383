#include "core/image_containers.h"

#include "core/file_helpers.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/image_metadata.h"
#include "core/image_pages.h"
#include "core/image_save.h"
#include "core/plugin.h"
#include "core/plugin_bridge.h"
#include "platform/win/files.h"
#include "platform/win/vb_number.h"

#include <algorithm>
#include <new>

namespace tavimo {

namespace {

constexpr uint32_t kTagFrameDelay = 0x5100;
constexpr uint32_t kTagLoopCount = 0x5101;
constexpr uint32_t kTagUserComment = 0x9286;

// Frames that say nothing about their delay, or say 0 or less, are shown this long
// (hundredths of a second).
constexpr int32_t kDefaultFrameDelay = 25;

// The page count used for indexing: the arrays are kept at PageCount entries, but a
// record is never indexed beyond what it holds.
bool hasPage(const ImageRecord& r, int32_t index) {
    return index >= 0 && index < r.PageCount &&
           index < static_cast<int32_t>(r.PageImageIds.size()) &&
           index < static_cast<int32_t>(r.PageFiles.size());
}

bool isSplit(const ImageRecord& r) {
    return r.isContainer() && !r.PagesInPlace;
}

// Writes one page to a new temporary file: TIFF pages as LZW TIFF, GIF frames as PNG. On
// failure the file is removed again and `file` is empty.
int32_t writePageFile(ImageId page, bool tiff, std::string& file) {
    file = MakeTempFileName();
    if (file.empty())
        return Win32Error;
    int32_t status = tiff ? SaveAsTiff(page, file, 2, 0, true) : SaveAsPng(page, file);
    if (status != OK) {
        win::deleteFileQuietly(file);
        file.clear();
    }
    return status;
}

// The 1-based position in GDI+'s list of the first item with `tag`; 0 when there is none.
int32_t findTagIndex(ImageId id, uint32_t tag, uint32_t& count) {
    count = 0;
    GetImagePropertyCount(id, count);
    if (count == 0)
        return 0;
    std::vector<gp::PROPID> ids(count, 0);
    if (gp::GdipGetPropertyIdList(GetGdiImage(id), count, ids.data()) != gp::Ok)
        return 0;
    for (uint32_t i = 0; i < count; ++i)
        if (ids[i] == tag)
            return static_cast<int32_t>(i + 1);
    return 0;
}

bool hasSeveralGifFrames(ImageId id) {
    if (FindImageIndex(id) < 0)
        return false;
    int32_t frames = 0;
    CountGifFrames(id, frames);
    return frames > 1;
}

// Locks page `index` of an in-place plug-in container and makes it the page image. The
// page image owns the plug-in page (unlocked or unloaded at its release) unless the GDI+
// image holds its own copy, in which case the page is given back at once.
int32_t lockPluginPage(ImageId id, int32_t index, bool tiff) {
    const KelvraApi* k = plugin();
    ImageRecord* r = FindImageRecord(id);
    if (!k || !r)
        return OK;
    const KelvraHandle multi = r->PluginHandle;
    KelvraHandle page = k->KELVRA_LockPage(multi, index);
    if (page == 0)
        return OK;
    bool mayUnload = false, lockedPage = true;
    ImageId pageId = 0;
    int32_t status = PluginBitmapToGdiBitmap(page, pageId, mayUnload, lockedPage, multi,
                                             tiff ? PluginFormatTiff : PluginFormatGif);
    const bool registered = FindImageIndex(pageId) >= 0;
    if (mayUnload || !registered) {
        // Nobody draws from the plug-in's pixels: give them back now.
        if (lockedPage)
            k->KELVRA_UnlockPage(multi, page, 0);
        else
            k->KELVRA_Unload(page);
    } else if (lockedPage) {
        SetPluginPageSource(pageId, multi, page);
    } else {
        SetPluginSource(pageId, page);
    }
    r = FindImageRecord(id);
    if (status == OK && registered && r && hasPage(*r, index)) {
        r->PageImageIds[static_cast<size_t>(index)] = pageId;
    } else if (registered) {
        // A page image nobody keeps would live until the last GDI+ user stops.
        ReleaseImage(pageId);
    }
    return status;
}

int32_t loadSplitPage(ImageId id, int32_t index) {
    const ImageRecord* r = FindImageRecord(id);
    if (!r || !hasPage(*r, index))
        return GenericError;
    if (r->PageImageIds[static_cast<size_t>(index)] != 0)
        return OK;
    const std::string file = r->PageFiles[static_cast<size_t>(index)];
    if (file.empty())
        return GenericError;
    ImageId pageId = 0;
    int32_t status = LoadImageFromFile(pageId, file, false, false, true, 0, true, true);
    if (status != OK)
        return status;
    ImageRecord* container = FindImageRecord(id);
    if (container && hasPage(*container, index))
        container->PageImageIds[static_cast<size_t>(index)] = pageId;
    else
        ReleaseImage(pageId);
    return OK;
}

std::string trimmedText(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The container's animation values onto its current page, as bookkeeping: the page is not
// marked modified, and a refused tag changes nothing.
void writeAnimationTags(ImageId id) {
    const ImageRecord* r = FindImageRecord(id);
    if (!r)
        return;
    std::string delays;
    for (size_t i = 0; i < r->FrameDelays.size(); ++i) {
        if (i > 0)
            delays += ',';
        delays += std::to_string(r->FrameDelays[i]);
    }
    const std::string loops = std::to_string(r->LoopCount);
    const std::string comment = r->Comment;
    try {
        if (!delays.empty())
            SetLongArrayTag(id, kTagFrameDelay, delays, false, false);
    } catch (...) {
    }
    try {
        SetShortArrayTag(id, kTagLoopCount, loops, false);
    } catch (...) {
    }
    try {
        if (!trimmedText(comment).empty())
            SetAsciiTag(id, kTagUserComment, comment, false);
    } catch (...) {
    }
}

// After a failure while a container was being built: nothing half-built stays behind (the
// page files go with the container).
void discardHalfBuilt(ImageId loaded, ImageId container, ImageId& result) {
    try {
        if (container != 0 && container != loaded)
            ReleaseImage(container);
        ReleaseImage(loaded);
    } catch (...) {
    }
    result = 0;
}

} // namespace

int32_t SetupMultiFrame(const std::string& sourcePath, ImageId loaded, ImageId& result,
                        bool tiffPagesInPlace, bool gifFramesInPlace) {
    result = loaded;
    ImageId container = 0;
    try {
        const std::string name = DetectImageFormatName(loaded);
        const bool tiff = name == "TIFF";
        if (!tiff && name != "GIF")
            return OK;
        int32_t count = 0;
        if (tiff)
            CountTiffPages(loaded, count);
        else
            CountGifFrames(loaded, count);
        if (count < 2)
            return OK;
        const bool inPlace = tiff ? tiffPagesInPlace : gifFramesInPlace;

        // The animation values come from the loaded image while it is still a plain image.
        std::vector<int32_t> delays(static_cast<size_t>(count), 0);
        int32_t loops = 0;
        std::string comment;
        if (!tiff) {
            std::vector<int32_t> read;
            int32_t n = ReadGifFrameDelays(loaded, read);
            n = std::min({n, count, static_cast<int32_t>(read.size())});
            for (int32_t i = 0; i < n; ++i)
                delays[static_cast<size_t>(i)] = read[static_cast<size_t>(i)];
            for (int32_t& d : delays)
                if (d <= 0)
                    d = kDefaultFrameDelay;
            loops = GetGifLoopCount(loaded);
            comment = GetImageComment(loaded);
        }

        container = loaded;
        if (!inPlace)
            RegisterImage(container, 0, name, sourcePath, SourceKindGdiImage);
        ImageRecord* r = FindImageRecord(container);
        if (!r)
            return GenericError;
        r->PageCount = count;
        r->PageImageIds.assign(static_cast<size_t>(count), 0);
        r->PageFiles.assign(static_cast<size_t>(count), std::string());
        r->FrameDelays.assign(static_cast<size_t>(count), 0);
        if (tiff) {
            r->IsTiffContainer = true;
        } else {
            r->FrameDelays = delays;
            r->LoopCount = loops;
            r->Comment = comment;
            r->IsGifContainer = true;
        }
        r->CurrentPage = -1;
        r->PagesInPlace = inPlace;

        if (inPlace) {
            SelectPage(container, 0, name);
            return OK;
        }

        result = container;
        int32_t written = 0;
        for (int32_t i = 0; i < count; ++i) {
            int32_t status = tiff ? ActivateTiffPage(loaded, i) : ActivateGifFrame(loaded, i);
            if (status != OK)
                continue;
            std::string file;
            if (writePageFile(loaded, tiff, file) != OK)
                continue;
            if (ImageRecord* c = FindImageRecord(container); c && hasPage(*c, i)) {
                c->PageFiles[static_cast<size_t>(i)] = file;
                ++written;
            } else {
                win::deleteFileQuietly(file);
            }
        }
        ReleaseImage(loaded);
        SelectPage(container, 0, name);
        if (written == 0) {
            ReleaseImage(container);
            result = 0;
            return UnknownImageFormat;
        }
        return OK;
    } catch (const std::bad_alloc&) {
        discardHalfBuilt(loaded, container, result);
        return OutOfMemory;
    } catch (...) {
        discardHalfBuilt(loaded, container, result);
        return GenericError;
    }
}

int32_t SelectPage(ImageId id, int32_t index, const std::string& formatName) {
    try {
        ImageRecord* r = FindImageRecord(id);
        if (!r)
            return GenericError;
        const bool tiff = formatName == "TIFF";
        const bool gif = formatName == "GIF";
        if (!(tiff && r->IsTiffContainer) && !(gif && r->IsGifContainer))
            return UnsupportedImageFormat;
        if (index < 0 || index >= r->PageCount || !hasPage(*r, index))
            return InvalidParameter;

        int32_t status = OK;
        if (index != r->CurrentPage) {
            FlushCurrentPage(id, formatName);
            r = FindImageRecord(id);
            if (!r)
                return GenericError;
            r->CurrentPage = index;
            if (r->PagesInPlace && r->SourceKind == SourceKindPlugin)
                status = lockPluginPage(id, index, tiff);
            else if (r->PagesInPlace)
                status = tiff ? ActivateTiffPage(id, index) : ActivateGifFrame(id, index);
            else
                status = loadSplitPage(id, index);
        }
        if (gif && status == OK)
            writeAnimationTags(id);
        return status;
    } catch (const std::bad_alloc&) {
        return OutOfMemory;
    } catch (...) {
        return GenericError;
    }
}

int32_t SelectTiffPage(ImageId id, int32_t index) {
    return SelectPage(id, index, "TIFF");
}

int32_t SelectGifFrame(ImageId id, int32_t index) {
    return SelectPage(id, index, "GIF");
}

void FlushCurrentPage(ImageId id, const std::string& formatName) {
    try {
        ImageRecord* r = FindImageRecord(id);
        if (!r || r->CurrentPage < 0 || r->PageCount < 1 || !hasPage(*r, r->CurrentPage))
            return;
        const int32_t page = r->CurrentPage;
        const ImageId pageId = r->PageImageIds[static_cast<size_t>(page)];
        if (pageId == 0)
            return;
        bool changed = false;
        if (!r->PagesInPlace) {
            const ImageRecord* p = FindImageRecord(pageId);
            changed = p && p->Modified;
        }
        std::string file;
        const bool written = changed && writePageFile(pageId, formatName == "TIFF", file) == OK;
        ReleaseImage(pageId);
        r = FindImageRecord(id);
        if (!r || !hasPage(*r, page)) {
            if (written)
                win::deleteFileQuietly(file);
            return;
        }
        if (written) {
            // The old file goes only now that the new one holds the page.
            std::string& current = r->PageFiles[static_cast<size_t>(page)];
            if (!current.empty())
                win::deleteFileQuietly(current);
            current = file;
        }
        r->PageImageIds[static_cast<size_t>(page)] = 0;
        r->CurrentPage = -1;
    } catch (...) {
    }
}

ImageId CommitPageChanges(ImageId target, ImageId newId, int32_t& status) {
    status = OK;
    try {
        ImageRecord* t = FindImageRecord(target);
        if (!t) {
            status = InvalidParameter;
            return 0;
        }
        if (newId == target)
            return target;

        if (!isSplit(*t)) {
            ReleaseImage(target);
            ImageRecord* n = FindImageRecord(newId);
            if (!n) {
                status = InvalidParameter;
                return 0;
            }
            n->ImageId = target;
            return target;
        }

        // A split container: the new image becomes the current page's file. It is written
        // first, so a failed write loses nothing: the old page stays as it was.
        const int32_t page = t->CurrentPage;
        const bool tiff = t->IsTiffContainer;
        if (!hasPage(*t, page)) {
            ReleaseImage(newId);
            status = WrongState;
            return target;
        }
        std::string file;
        int32_t written = writePageFile(newId, tiff, file);
        if (written != OK) {
            ReleaseImage(newId);
            status = written;
            return target;
        }
        t = FindImageRecord(target);
        if (!t || !hasPage(*t, page)) {
            win::deleteFileQuietly(file);
            ReleaseImage(newId);
            status = GenericError;
            return t ? target : 0;
        }
        const ImageId oldPage = t->PageImageIds[static_cast<size_t>(page)];
        const std::string oldFile = t->PageFiles[static_cast<size_t>(page)];
        t->PageImageIds[static_cast<size_t>(page)] = newId;
        t->PageFiles[static_cast<size_t>(page)] = file;
        if (oldPage != 0 && oldPage != newId)
            ReleaseImage(oldPage);
        if (!oldFile.empty())
            win::deleteFileQuietly(oldFile);
        ClearImageModified(target);
        return target;
    } catch (const std::bad_alloc&) {
        status = OutOfMemory;
    } catch (...) {
        status = GenericError;
    }
    return FindImageIndex(target) >= 0 ? target : 0;
}

ImageId CommitPageChanges(ImageId target, ImageId newId) {
    int32_t status = OK;
    return CommitPageChanges(target, newId, status);
}

int32_t GetTiffPageCount(ImageId id, int32_t& count) {
    const ImageRecord* r = FindImageRecord(id);
    if (!r)
        return UnsupportedImageFormat;
    if (!r->IsTiffContainer) {
        count = 0;
        return UnsupportedImageFormat;
    }
    count = r->PageCount;
    return OK;
}

int32_t GetGifFrameCount(ImageId id, int32_t& count) {
    const ImageRecord* r = FindImageRecord(id);
    if (!r)
        return UnsupportedImageFormat;
    if (!r->IsGifContainer) {
        count = 0;
        return UnsupportedImageFormat;
    }
    count = r->PageCount;
    return OK;
}

bool IsTiffContainer(ImageId id) {
    const ImageRecord* r = FindImageRecord(id);
    return r && r->IsTiffContainer;
}

bool IsGifContainer(ImageId id) {
    const ImageRecord* r = FindImageRecord(id);
    return r && r->IsGifContainer;
}

bool IsTiffTempFileContainer(ImageId id) {
    const ImageRecord* r = FindImageRecord(id);
    return r && r->IsTiffContainer && !r->PagesInPlace;
}

bool IsGifTempFileContainer(ImageId id) {
    const ImageRecord* r = FindImageRecord(id);
    return r && r->IsGifContainer && !r->PagesInPlace;
}

int32_t GetCurrentTiffPage(ImageId id) {
    const ImageRecord* r = FindImageRecord(id);
    if (!r)
        return 0;
    return r->IsTiffContainer ? r->CurrentPage : -1;
}

int32_t GetCurrentGifFrame(ImageId id) {
    const ImageRecord* r = FindImageRecord(id);
    if (!r)
        return 0;
    return r->IsGifContainer ? r->CurrentPage : -1;
}

int32_t GetGifFrameDelays(ImageId id, std::vector<int32_t>& delays) {
    const ImageRecord* r = FindImageRecord(id);
    if (!r)
        return InvalidParameter;
    if (!r->IsGifContainer || r->PageCount < 1)
        return OK;
    try {
        delays.assign(static_cast<size_t>(r->PageCount), 0);
        std::copy_n(r->FrameDelays.begin(),
                    std::min(r->FrameDelays.size(), static_cast<size_t>(r->PageCount)),
                    delays.begin());
        return OK;
    } catch (...) {
        return OutOfMemory;
    }
}

int32_t ReadGifFrameDelays(ImageId id, std::vector<int32_t>& delays) {
    try {
        if (!hasSeveralGifFrames(id))
            return 0;
        int32_t frames = 0;
        CountGifFrames(id, frames);
        uint32_t count = 0;
        const int32_t index = findTagIndex(id, kTagFrameDelay, count);
        if (index == 0)
            return 0;
        std::optional<cGDIPPropertyItem> item = GetPropertyItemByIndex(id, index, count);
        if (!item || item->ValueCount() < 1)
            return 0;
        delays.assign(static_cast<size_t>(frames), 0);
        const int32_t n = std::min(item->ValueCount(), frames);
        for (int32_t j = 1; j <= n; ++j)
            delays[static_cast<size_t>(j - 1)] = item->ParseLong(j);
        return frames;
    } catch (...) {
        return 0;
    }
}

int32_t GetGifLoopCount(ImageId id) {
    try {
        if (!hasSeveralGifFrames(id))
            return 0;
        uint32_t count = 0;
        const int32_t index = findTagIndex(id, kTagLoopCount, count);
        if (index == 0)
            return 0;
        std::optional<cGDIPPropertyItem> item = GetPropertyItemByIndex(id, index, count);
        if (!item || item->ValueCount() != 1)
            return 0;
        return win::toInt32(win::Val(GetExifTagValue(id, index)));
    } catch (...) {
        return 0;
    }
}

std::string GetImageComment(ImageId id) {
    try {
        if (!hasSeveralGifFrames(id))
            return {};
        uint32_t count = 0;
        const int32_t index = findTagIndex(id, kTagUserComment, count);
        if (index == 0)
            return {};
        return GetExifTagValue(id, index);
    } catch (...) {
        return {};
    }
}

} // namespace tavimo
