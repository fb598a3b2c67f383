// Handle table, format codes, the libtiff message filter and the version text.

#include "plugins/kelvra/objects.h"

#include <tiffio.h>

#include <cstdarg>
#include <string>
#include <type_traits>

namespace kelvra {

ObjectTable& ObjectTable::instance() {
    // Never destroyed: handles may still be dropped by static destructors of the host.
    static ObjectTable* table = new ObjectTable;
    return *table;
}

uint32_t ObjectTable::add(Kind kind, std::shared_ptr<Object> object) {
    if (!object)
        return 0;
    std::lock_guard lock(m_mutex);
    // One counter for every kind: a value is never reused for another object while the
    // counter has not wrapped, and a wrapped value still in use is skipped. A table with
    // every value in use answers 0.
    for (uint32_t tries = 0; tries < 0x00FFFFFF; ++tries) {
        m_next = (m_next + 1) & 0x00FFFFFF;
        if (m_next == 0)
            m_next = 1;
        uint32_t value = (static_cast<uint32_t>(kind) << 24) | m_next;
        if (m_objects.count(value) != 0)
            continue;
        m_objects.emplace(value, std::move(object));
        return value;
    }
    return 0;
}

size_t ObjectTable::size() const {
    std::lock_guard lock(m_mutex);
    return m_objects.size();
}

KelvraBitmap registerBitmap(FIBITMAP* dib, bool topDown) {
    if (!dib)
        return 0;
    auto object = std::make_shared<BitmapObject>();
    object->dib = dib;
    object->topDown = topDown;
    return table().add(Kind::Bitmap, std::move(object));
}

FIBITMAP* dibOf(uint32_t handle) {
    auto bitmap = lookup<BitmapObject>(handle);
    return bitmap ? bitmap->dib : nullptr;
}

FREE_IMAGE_FORMAT toFif(int32_t code) {
    if (code >= KELVRA_FIF_BMP && code <= KELVRA_FIF_RAW)
        return static_cast<FREE_IMAGE_FORMAT>(code);
    if (code == KELVRA_FIF_WEBP)
        return FIF_WEBP;
    if (code == KELVRA_FIF_JXR)
        return FIF_JXR;
    return FIF_UNKNOWN;
}

int32_t fromFif(FREE_IMAGE_FORMAT fif) {
    if (fif >= FIF_BMP && fif <= FIF_RAW)
        return static_cast<int32_t>(fif);
    if (fif == FIF_WEBP)
        return KELVRA_FIF_WEBP;
    if (fif == FIF_JXR)
        return KELVRA_FIF_JXR;
    return KELVRA_FIF_UNKNOWN;
}

bool isTopDownFormat(int32_t code) {
    return code == KELVRA_FIF_JPEG || code == KELVRA_FIF_PNG || code == KELVRA_FIF_J2K ||
           code == KELVRA_FIF_JP2;
}

namespace {

thread_local int t_callDepth = 0;

// libtiff reports through process-wide handlers, which FreeImage leaves at libtiff's
// defaults (printing to stderr, e.g. for every EXIF tag a TIFF save meets). The filter drops
// what libtiff says during a plug-in call and passes everything else to the handler that was
// installed before, so other users of libtiff in the process are not silenced.
TIFFErrorHandler g_previousWarning = nullptr;
TIFFErrorHandler g_previousError = nullptr;

void filterWarning(const char* module, const char* format, va_list args) {
    if (t_callDepth > 0 || !g_previousWarning)
        return;
    g_previousWarning(module, format, args);
}

void filterError(const char* module, const char* format, va_list args) {
    if (t_callDepth > 0 || !g_previousError)
        return;
    g_previousError(module, format, args);
}

__attribute__((constructor)) void installTiffFilter() {
    g_previousWarning = TIFFSetWarningHandler(filterWarning);
    g_previousError = TIFFSetErrorHandler(filterError);
}

// When the plug-in is unloaded its filter must not stay behind in libtiff.
__attribute__((destructor)) void removeTiffFilter() {
    TIFFErrorHandler current = TIFFSetWarningHandler(g_previousWarning);
    if (current != filterWarning)
        TIFFSetWarningHandler(current);
    current = TIFFSetErrorHandler(g_previousError);
    if (current != filterError)
        TIFFSetErrorHandler(current);
}

} // namespace

CallScope::CallScope() {
    ++t_callDepth;
}
CallScope::~CallScope() {
    --t_callDepth;
}

} // namespace kelvra

using namespace kelvra;

extern "C" {

KELVRA_API const char* KELVRA_GetVersion(void) {
    // FreeImage reports three parts; the version registry reads four.
    static const std::string version = [] {
        const char* base = FreeImage_GetVersion();
        std::string text = base && *base ? base : "3.18.0";
        return text + ".0";
    }();
    return version.c_str();
}

KELVRA_API int32_t KELVRA_GetFileTypeU(const char* path, int32_t size) {
    return guarded<int32_t>(KELVRA_FIF_UNKNOWN, [&] {
        if (!path || !*path || size < 0)
            return static_cast<int32_t>(KELVRA_FIF_UNKNOWN);
        return fromFif(FreeImage_GetFileType(path, size));
    });
}

KELVRA_API int32_t KELVRA_GetFIFFromFilenameU(const char* path) {
    return guarded<int32_t>(KELVRA_FIF_UNKNOWN, [&] {
        if (!path || !*path)
            return static_cast<int32_t>(KELVRA_FIF_UNKNOWN);
        return fromFif(FreeImage_GetFIFFromFilename(path));
    });
}

} // extern "C"

// Every function of the list loaders use is defined here with exactly that signature.
#define KELVRA_CHECK_SIGNATURE(ret, name, params)                                                  \
    static_assert(std::is_same_v<decltype(&name), ret(*) params>, #name);
KELVRA_FUNCTION_LIST(KELVRA_CHECK_SIGNATURE)
#undef KELVRA_CHECK_SIGNATURE
