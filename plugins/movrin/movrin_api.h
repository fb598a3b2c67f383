#pragma once

/*
 * Public ABI of the PDF page rasteriser plug-in libmovrin.so.
 *
 * The plug-in renders the pages of PDF documents over poppler. It is loaded at run time
 * with dlopen and its functions are found with dlsym; MOVRIN_FUNCTION_LIST lists every
 * exported function with its signature, so a loader builds its function table from it:
 *
 *     struct MovrinTable {
 *     #define MOVRIN_MEMBER(ret, name, params) ret(*name) params = nullptr;
 *         MOVRIN_FUNCTION_LIST(MOVRIN_MEMBER)
 *     #undef MOVRIN_MEMBER
 *     };
 *
 * Conventions:
 * - An open document is named by a 32-bit handle (never 0), valid until MOVRIN_Close. A
 *   stale or forged handle is refused: the call returns its failure value.
 * - Each document has a selected page (1-based; page 1 after opening); the page queries
 *   and the renderer act on it.
 * - Page sizes are in points (1/72 inch), the page's crop box before its rotation.
 * - Success of a Boolean call is 1, failure 0. No C++ exception leaves any function.
 * - Each document is used by one thread at a time.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(MOVRIN_BUILDING)
#define MOVRIN_API __attribute__((visibility("default")))
#else
#define MOVRIN_API
#endif

typedef uint32_t MovrinDocument;

/* Render hints for MOVRIN_RenderPage; -1 turns all of them on. */
enum { MOVRIN_HINT_ANTIALIAS = 1, MOVRIN_HINT_TEXT_ANTIALIAS = 2, MOVRIN_HINT_TEXT_HINTING = 4 };

#define MOVRIN_FUNCTION_LIST(X)                                                                    \
    /* The plug-in's version, "a.b.c.d". */                                                        \
    X(const char*, MOVRIN_GetVersion, (void))                                                      \
    /* Opens a PDF file (UTF-8 path) or a PDF held in memory (the bytes are copied); the           \
       password opens an encrypted document (null or "" for none). 0 when the data is not a        \
       readable PDF or the password does not open it. */                                           \
    X(MovrinDocument, MOVRIN_OpenFile, (const char* path, const char* password))                   \
    X(MovrinDocument, MOVRIN_OpenMemory, (const void* data, int32_t size, const char* password))   \
    /* Closes the document: 1, or 0 for an unknown handle. */                                      \
    X(int32_t, MOVRIN_Close, (MovrinDocument document))                                            \
    /* The number of pages; 0 for an unknown handle. */                                            \
    X(int32_t, MOVRIN_PageCount, (MovrinDocument document))                                        \
    /* Selects page 1..PageCount: 1; 0 for another number (the selection stays). */                \
    X(int32_t, MOVRIN_SelectPage, (MovrinDocument document, int32_t page))                         \
    X(int32_t, MOVRIN_CurrentPage, (MovrinDocument document))                                      \
    /* The selected page's width and height in points; 0 for an unknown handle. */                 \
    X(double, MOVRIN_PageWidth, (MovrinDocument document))                                         \
    X(double, MOVRIN_PageHeight, (MovrinDocument document))                                        \
    /* The selected page's rotation: 0, 90, 180 or 270 degrees clockwise; 0 when unknown. */       \
    X(int32_t, MOVRIN_PageRotation, (MovrinDocument document))                                     \
    /* Renders the selected page, turned by its own rotation and then by `rotation` (a             \
       multiple of 90), at `dpi` onto white paper, into `pixels`: width x height pixels,           \
       rows top-down `stride` bytes apart, each B, G, R, A (alpha 255). The page starts at         \
       the top-left pixel; what lies beyond it is white. 1 on success; 0 for an unknown            \
       handle, a resolution not above 0 or above 4800, a size below 1, a null buffer, a            \
       stride below width x 4, or a rendering failure. */                                          \
    X(int32_t, MOVRIN_RenderPage,                                                                  \
      (MovrinDocument document, double dpi, int32_t width, int32_t height, int32_t rotation,       \
       int32_t hints, uint8_t* pixels, int32_t stride))

#define MOVRIN_DECLARE(ret, name, params) MOVRIN_API ret name params;
MOVRIN_FUNCTION_LIST(MOVRIN_DECLARE)
#undef MOVRIN_DECLARE

#ifdef __cplusplus
}
#endif
