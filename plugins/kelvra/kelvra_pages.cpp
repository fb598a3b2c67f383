// Files opened for reading and the multi-page bitmaps read from them.

#include "plugins/kelvra/objects.h"

#include <climits>

using namespace kelvra;

namespace {

unsigned DLL_CALLCONV readProc(void* buffer, unsigned size, unsigned count, fi_handle handle) {
    return static_cast<unsigned>(std::fread(buffer, size, count, static_cast<FILE*>(handle)));
}

unsigned DLL_CALLCONV writeProc(void*, unsigned, unsigned, fi_handle) {
    return 0; // files are opened for reading only
}

int DLL_CALLCONV seekProc(fi_handle handle, long offset, int origin) {
    return std::fseek(static_cast<FILE*>(handle), offset, origin);
}

long DLL_CALLCONV tellProc(fi_handle handle) {
    return std::ftell(static_cast<FILE*>(handle));
}

FreeImageIO g_fileIo = {readProc, writeProc, seekProc, tellProc};

} // namespace

extern "C" {

KELVRA_API KelvraFileHandle KELVRA_OpenFileU(const char* path) {
    return guarded<KelvraFileHandle>(0, [&]() -> KelvraFileHandle {
        if (!path || !*path)
            return 0;
        FILE* fp = std::fopen(path, "rb");
        if (!fp)
            return 0;
        return table().add(Kind::File, std::make_shared<FileObject>(fp));
    });
}

KELVRA_API int32_t KELVRA_CloseFileHandle(KelvraFileHandle file) {
    return guarded<int32_t>(0, [&] { return table().take<FileObject>(file) ? 1 : 0; });
}

KELVRA_API KelvraMultiBitmap KELVRA_OpenMultiBitmapU(int32_t format, int32_t flags,
                                                     KelvraFileHandle file) {
    return guarded<KelvraMultiBitmap>(0, [&]() -> KelvraMultiBitmap {
        FREE_IMAGE_FORMAT fif = toFif(format);
        auto fileObject = lookup<FileObject>(file);
        if (fif == FIF_UNKNOWN || !fileObject || !fileObject->fp)
            return 0;
        if (fif == FIF_TIFF)
            flags &= ~TIFF_CMYK;
        // FreeImage would open any file as the format it is told; the content must agree.
        std::rewind(fileObject->fp);
        if (FreeImage_GetFileTypeFromHandle(&g_fileIo, fileObject->fp, 0) != fif)
            return 0;
        std::rewind(fileObject->fp);
        FIMULTIBITMAP* multi =
            FreeImage_OpenMultiBitmapFromHandle(fif, &g_fileIo, fileObject->fp, flags);
        if (!multi)
            return 0;
        auto object = std::make_shared<MultiObject>();
        object->multi = multi;
        object->file = std::move(fileObject);
        return table().add(Kind::Multi, std::move(object));
    });
}

KELVRA_API int32_t KELVRA_GetPageCount(KelvraMultiBitmap multi) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        auto object = lookup<MultiObject>(multi);
        return object ? FreeImage_GetPageCount(object->multi) : 0;
    });
}

KELVRA_API KelvraBitmap KELVRA_LockPage(KelvraMultiBitmap multi, int32_t index) {
    return guarded<KelvraBitmap>(0, [&]() -> KelvraBitmap {
        auto object = lookup<MultiObject>(multi);
        if (!object || index < 0 || index >= FreeImage_GetPageCount(object->multi))
            return 0;
        FIBITMAP* dib = FreeImage_LockPage(object->multi, index);
        if (!dib)
            return 0;
        auto page = std::make_shared<BitmapObject>();
        page->dib = dib;
        page->owner = object;
        KelvraBitmap handle = table().add(Kind::Bitmap, std::move(page));
        if (handle)
            object->pages.insert(handle);
        return handle;
    });
}

KELVRA_API int32_t KELVRA_UnlockPage(KelvraMultiBitmap multi, KelvraBitmap page,
                                     int32_t /*changed*/) {
    // The multi-page bitmaps are read-only, so a change is never written back.
    return guarded<int32_t>(0, [&]() -> int32_t {
        auto object = lookup<MultiObject>(multi);
        auto pageObject = lookup<BitmapObject>(page);
        if (!object || !pageObject || pageObject->owner != object)
            return 0;
        object->pages.erase(page);
        pageObject.reset();
        return table().take<BitmapObject>(page) ? 1 : 0; // the page's destructor unlocks it
    });
}

KELVRA_API int32_t KELVRA_CloseMultiBitmap(KelvraMultiBitmap multi, int32_t /*flags*/) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        auto object = table().take<MultiObject>(multi);
        if (!object)
            return 0;
        // Pages still locked go back first, while the multi-page bitmap is still open.
        for (uint32_t page : object->pages)
            table().take<BitmapObject>(page);
        object->pages.clear();
        return 1;
    });
}

} // extern "C"
