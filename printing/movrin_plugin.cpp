#include "printing/movrin_plugin.h"

#include "platform/win/module_version.h"
#include "platform/win/plugin_library.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>

namespace tavimo {

namespace {

// Loaded once and never unloaded: documents of any thread may be open until the end.
struct LoadedMovrin {
    MovrinApi table;
    bool complete = false;
};

const LoadedMovrin& loadedMovrin() {
    static LoadedMovrin loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        void* lib = win::openPluginLibrary("libmovrin.so");
        if (!lib)
            return;
        bool complete = true;
#define TAVIMO_MOVRIN_BIND(ret, name, params)                                                      \
    loaded.table.name = reinterpret_cast<ret(*) params>(dlsym(lib, #name));                        \
    complete = complete && loaded.table.name != nullptr;
        MOVRIN_FUNCTION_LIST(TAVIMO_MOVRIN_BIND)
#undef TAVIMO_MOVRIN_BIND
        loaded.complete = complete;
    });
    return loaded;
}

thread_local const MovrinApi* t_override = nullptr;
thread_local bool t_absent = false;

constexpr int32_t kMaxSide = 32767;

} // namespace

const MovrinApi* movrin() {
    if (t_override)
        return t_override;
    if (t_absent)
        return nullptr;
    const LoadedMovrin& loaded = loadedMovrin();
    return loaded.complete ? &loaded.table : nullptr;
}

void registerMovrinVersion() {
    static std::once_flag once;
    std::call_once(once, [] {
        win::setModuleVersionProvider("Movrin.dll", []() -> std::string {
            const MovrinApi* m = movrin();
            if (!m)
                return {};
            const char* text = m->MOVRIN_GetVersion();
            return text ? std::string(text) : std::string();
        });
    });
}

uint32_t MovrinOpenDocument(const std::string& path, const std::string& password) {
    try {
        const MovrinApi* m = movrin();
        return m ? m->MOVRIN_OpenFile(path.c_str(), password.c_str()) : 0;
    } catch (...) {
        return 0;
    }
}

bool MovrinCloseDocument(uint32_t document) {
    const MovrinApi* m = movrin();
    return m && m->MOVRIN_Close(document) == 1;
}

int32_t MovrinPageCount(uint32_t document) {
    const MovrinApi* m = movrin();
    return m ? m->MOVRIN_PageCount(document) : 0;
}

int32_t MovrinSelectPage(uint32_t document, int32_t page) {
    const MovrinApi* m = movrin();
    return m ? m->MOVRIN_SelectPage(document, page) : 0;
}

double MovrinPageWidth(uint32_t document) {
    const MovrinApi* m = movrin();
    return m ? m->MOVRIN_PageWidth(document) : 0.0;
}

double MovrinPageHeight(uint32_t document) {
    const MovrinApi* m = movrin();
    return m ? m->MOVRIN_PageHeight(document) : 0.0;
}

int32_t MovrinPageRotation(uint32_t document) {
    const MovrinApi* m = movrin();
    return m ? m->MOVRIN_PageRotation(document) : 0;
}

int32_t MovrinRasterize(uint32_t document, double dpi, gp::GpBitmap& bitmap, int32_t width,
                        int32_t height, int32_t rotation, int32_t hints) {
    bitmap = 0;
    try {
        const MovrinApi* m = movrin();
        if (!m || width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
            return 0;
        gp::GpBitmap bmp = 0;
        if (gp::GdipCreateBitmapFromScan0(width, height, 0, gp::PixelFormat32bppARGB, nullptr,
                                          &bmp) != gp::Ok)
            return 0;
        gp::BitmapData data{};
        gp::Rect rect{0, 0, width, height};
        bool ok = false;
        if (gp::GdipBitmapLockBits(bmp, &rect, gp::ImageLockModeWrite, gp::PixelFormat32bppARGB,
                                   &data) == gp::Ok) {
            ok = m->MOVRIN_RenderPage(document, dpi, width, height, rotation, hints,
                                      static_cast<uint8_t*>(data.Scan0), data.Stride) == 1;
            ok = gp::GdipBitmapUnlockBits(bmp, &data) == gp::Ok && ok;
        }
        if (ok)
            gp::GdipBitmapSetResolution(bmp, float(dpi), float(dpi));
        if (!ok) {
            gp::GdipDisposeImage(bmp);
            return 0;
        }
        bitmap = bmp;
        return 1;
    } catch (...) {
        return 0;
    }
}

namespace test {

void SetMovrinTable(const MovrinApi* table) {
    t_override = table;
}
void SetMovrinAbsent(bool absent) {
    t_absent = absent;
}

} // namespace test

} // namespace tavimo
