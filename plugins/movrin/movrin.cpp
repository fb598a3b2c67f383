// The PDF page rasteriser: documents in a handle table, pages rendered by poppler's
// splash renderer through poppler-cpp.

#include "plugins/movrin/movrin_api.h"

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page-renderer.h>
#include <poppler-page.h>
#include <poppler-version.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

struct Document {
    std::unique_ptr<poppler::document> doc;
    std::unique_ptr<poppler::page> page; // the selected page
    int32_t pageNumber = 0;
};

struct Table {
    std::mutex mutex;
    std::map<uint32_t, std::shared_ptr<Document>> documents;
    uint32_t next = 0;
};

Table& table() {
    static Table t;
    return t;
}

// Documents are handed out as shared pointers so that a close on another thread cannot
// free one that a call is still using.
std::shared_ptr<Document> find(MovrinDocument handle) {
    Table& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.documents.find(handle);
    return it == t.documents.end() ? nullptr : it->second;
}

void quietPoppler() {
    static std::once_flag once;
    std::call_once(
        once, [] { poppler::set_debug_error_function([](const std::string&, void*) {}, nullptr); });
}

MovrinDocument adopt(poppler::document* raw) {
    std::unique_ptr<poppler::document> doc(raw);
    if (!doc || doc->is_locked() || doc->pages() < 1)
        return 0;
    auto d = std::make_shared<Document>();
    d->page.reset(doc->create_page(0));
    if (!d->page)
        return 0;
    d->pageNumber = 1;
    d->doc = std::move(doc);
    Table& t = table();
    std::lock_guard lock(t.mutex);
    uint32_t value;
    do {
        t.next = (t.next + 1) & 0x00FFFFFF;
        if (t.next == 0)
            t.next = 1;
        value = 0x4D000000u | t.next; // 'M' in the top byte
    } while (t.documents.count(value));
    t.documents.emplace(value, std::move(d));
    return value;
}

template <class T, class F> T guarded(T failure, F&& body) {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

poppler::rectf pageBox(const Document& d) {
    return d.page->page_rect(poppler::crop_box);
}

} // namespace

extern "C" {

MOVRIN_API const char* MOVRIN_GetVersion(void) {
    return "1.0.0.0";
}

MOVRIN_API MovrinDocument MOVRIN_OpenFile(const char* path, const char* password) {
    return guarded<MovrinDocument>(0, [&] {
        if (!path || !*path)
            return MovrinDocument(0);
        quietPoppler();
        std::string pw = password ? password : "";
        return adopt(poppler::document::load_from_file(path, pw, pw));
    });
}

MOVRIN_API MovrinDocument MOVRIN_OpenMemory(const void* data, int32_t size, const char* password) {
    return guarded<MovrinDocument>(0, [&] {
        if (!data || size < 1)
            return MovrinDocument(0);
        quietPoppler();
        std::string pw = password ? password : "";
        // poppler takes the bytes over from the array (it swaps them out), so it gets a copy.
        const char* bytes = static_cast<const char*>(data);
        poppler::byte_array copy(bytes, bytes + size);
        return adopt(poppler::document::load_from_data(&copy, pw, pw));
    });
}

MOVRIN_API int32_t MOVRIN_Close(MovrinDocument document) {
    return guarded<int32_t>(0, [&] {
        std::shared_ptr<Document> gone;
        Table& t = table();
        std::lock_guard lock(t.mutex);
        auto it = t.documents.find(document);
        if (it == t.documents.end())
            return 0;
        gone = std::move(it->second);
        t.documents.erase(it);
        return 1;
    });
}

MOVRIN_API int32_t MOVRIN_PageCount(MovrinDocument document) {
    return guarded<int32_t>(0, [&] {
        auto d = find(document);
        return d ? int32_t(d->doc->pages()) : 0;
    });
}

MOVRIN_API int32_t MOVRIN_SelectPage(MovrinDocument document, int32_t page) {
    return guarded<int32_t>(0, [&] {
        auto d = find(document);
        if (!d || page < 1 || page > d->doc->pages())
            return 0;
        std::unique_ptr<poppler::page> p(d->doc->create_page(page - 1));
        if (!p)
            return 0;
        d->page = std::move(p);
        d->pageNumber = page;
        return 1;
    });
}

MOVRIN_API int32_t MOVRIN_CurrentPage(MovrinDocument document) {
    return guarded<int32_t>(0, [&] {
        auto d = find(document);
        return d ? d->pageNumber : 0;
    });
}

MOVRIN_API double MOVRIN_PageWidth(MovrinDocument document) {
    return guarded<double>(0, [&] {
        auto d = find(document);
        return d ? pageBox(*d).width() : 0.0;
    });
}

MOVRIN_API double MOVRIN_PageHeight(MovrinDocument document) {
    return guarded<double>(0, [&] {
        auto d = find(document);
        return d ? pageBox(*d).height() : 0.0;
    });
}

MOVRIN_API int32_t MOVRIN_PageRotation(MovrinDocument document) {
    return guarded<int32_t>(0, [&] {
        auto d = find(document);
        if (!d)
            return 0;
        switch (d->page->orientation()) {
        case poppler::page::landscape:
            return 90;
        case poppler::page::upside_down:
            return 180;
        case poppler::page::seascape:
            return 270;
        default:
            return 0;
        }
    });
}

MOVRIN_API int32_t MOVRIN_RenderPage(MovrinDocument document, double dpi, int32_t width,
                                     int32_t height, int32_t rotation, int32_t hints,
                                     uint8_t* pixels, int32_t stride) {
    return guarded<int32_t>(0, [&] {
        auto d = find(document);
        if (!d || !(dpi > 0) || dpi > 4800 || width < 1 || height < 1 || !pixels ||
            int64_t(stride) < int64_t(width) * 4)
            return 0;
        poppler::page_renderer renderer;
        renderer.set_image_format(poppler::image::format_argb32);
        renderer.set_paper_color(0xFFFFFFFF);
        renderer.set_render_hint(poppler::page_renderer::antialiasing,
                                 (hints & MOVRIN_HINT_ANTIALIAS) != 0);
        renderer.set_render_hint(poppler::page_renderer::text_antialiasing,
                                 (hints & MOVRIN_HINT_TEXT_ANTIALIAS) != 0);
        renderer.set_render_hint(poppler::page_renderer::text_hinting,
                                 (hints & MOVRIN_HINT_TEXT_HINTING) != 0);
        int quarter = ((rotation / 90) % 4 + 4) % 4;
        poppler::image image = renderer.render_page(d->page.get(), dpi, dpi, 0, 0, width, height,
                                                    poppler::rotation_enum(quarter));
        if (!image.is_valid() || image.format() != poppler::image::format_argb32)
            return 0;
        const int32_t copyW = std::min<int32_t>(width, image.width());
        const int32_t copyH = std::min<int32_t>(height, image.height());
        const char* src = image.const_data();
        for (int32_t y = 0; y < height; ++y) {
            uint8_t* dst = pixels + size_t(y) * size_t(stride);
            std::memset(dst, 0xFF, size_t(width) * 4);
            if (y < copyH) {
                // Premultiplied over opaque white paper, so the colours are the plain ones.
                std::memcpy(dst, src + size_t(y) * size_t(image.bytes_per_row()),
                            size_t(copyW) * 4);
                for (int32_t x = 0; x < copyW; ++x)
                    dst[x * 4 + 3] = 0xFF;
            }
        }
        return 1;
    });
}

} // extern "C"
