#pragma once

/*
 * Public ABI of the codec plug-in libkelvra.so.
 *
 * The plug-in is a thin layer over FreeImage. It is loaded at run time with dlopen and its
 * functions are found with dlsym; KELVRA_FUNCTION_LIST below lists every exported function
 * with its signature so a loader can build its function table without repeating them:
 *
 *     struct KelvraTable {
 *     #define KELVRA_MEMBER(ret, name, params) ret(*name) params = nullptr;
 *         KELVRA_FUNCTION_LIST(KELVRA_MEMBER)
 *     #undef KELVRA_MEMBER
 *     };
 *     // then for each entry: t.name = (decltype(t.name))dlsym(lib, #name);
 *
 * Conventions shared by every function:
 * - Bitmaps, multi-page bitmaps, open files, metadata searches and tags are named by 32-bit
 *   handles (never 0). A handle stays valid until the call that frees it; a stale, forged or
 *   wrong-kind handle is refused: the call does nothing and returns its failure value (0, -1
 *   or a null pointer, as documented per function).
 * - Paths are UTF-8 byte strings, used as they are.
 * - Format codes are those of the KELVRA_FIF_... list; -1 is unknown. Code 35 is reserved for
 *   JBIG, which this plug-in cannot read, and is never returned; WebP and JPEG-XR have codes 36
 *   and 37.
 * - Pixel rows: a bitmap's rows are stored bottom-up (row 0 of KELVRA_GetBits is the bottom
 *   row), except bitmaps loaded from JPEG, PNG, J2K and JP2 files, which are stored top-down.
 *   The plug-in keeps a per-bitmap mark of the row order; KELVRA_FlipVertical toggles it, and
 *   KELVRA_SaveU writes a top-down bitmap the right way up. KELVRA_GetInfo always describes
 *   the rows as bottom-up (positive height), whatever the mark says.
 * - Success of a Boolean call is 1, failure 0.
 * - No C++ exception leaves any function; an internal failure is the call's failure value.
 * - Handles may be used from any thread, but each object by one thread at a time.
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(KELVRA_BUILDING)
#define KELVRA_API __attribute__((visibility("default")))
#else
#define KELVRA_API
#endif

/* Handles. */
typedef uint32_t KelvraBitmap;      /* a single bitmap, or a locked page of a multi-page bitmap */
typedef uint32_t KelvraMultiBitmap; /* an open multi-page bitmap */
typedef uint32_t KelvraFileHandle;  /* a file opened for reading */
typedef uint32_t KelvraSearch;      /* a running metadata enumeration */
typedef uint32_t KelvraTag;         /* a metadata tag */

/* The 40-byte bitmap information header KELVRA_GetInfo returns; the palette (clrUsed
 * entries of 32 bits, B, G, R, 0) follows it directly in memory. */
typedef struct KelvraBitmapInfoHeader {
    uint32_t size; /* 40 */
    int32_t width;
    int32_t height; /* positive: rows bottom-up */
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
} KelvraBitmapInfoHeader;

/* A byte array passed to or filled by KELVRA_VB_CompressCCITT4. An array the plug-in filled
 * is owned by the caller, who gives it back with KELVRA_FreeByteArray. */
typedef struct KelvraByteArray {
    uint8_t* data;
    int32_t size;
} KelvraByteArray;

/* Format codes. */
enum {
    KELVRA_FIF_UNKNOWN = -1,
    KELVRA_FIF_BMP = 0,
    KELVRA_FIF_ICO = 1,
    KELVRA_FIF_JPEG = 2,
    KELVRA_FIF_JNG = 3,
    KELVRA_FIF_KOALA = 4,
    KELVRA_FIF_LBM = 5,
    KELVRA_FIF_MNG = 6,
    KELVRA_FIF_PBM = 7,
    KELVRA_FIF_PBMRAW = 8,
    KELVRA_FIF_PCD = 9,
    KELVRA_FIF_PCX = 10,
    KELVRA_FIF_PGM = 11,
    KELVRA_FIF_PGMRAW = 12,
    KELVRA_FIF_PNG = 13,
    KELVRA_FIF_PPM = 14,
    KELVRA_FIF_PPMRAW = 15,
    KELVRA_FIF_RAS = 16,
    KELVRA_FIF_TARGA = 17,
    KELVRA_FIF_TIFF = 18,
    KELVRA_FIF_WBMP = 19,
    KELVRA_FIF_PSD = 20,
    KELVRA_FIF_CUT = 21,
    KELVRA_FIF_XBM = 22,
    KELVRA_FIF_XPM = 23,
    KELVRA_FIF_DDS = 24,
    KELVRA_FIF_GIF = 25,
    KELVRA_FIF_HDR = 26,
    KELVRA_FIF_FAXG3 = 27,
    KELVRA_FIF_SGI = 28,
    KELVRA_FIF_EXR = 29,
    KELVRA_FIF_J2K = 30,
    KELVRA_FIF_JP2 = 31,
    KELVRA_FIF_PFM = 32,
    KELVRA_FIF_PICT = 33,
    KELVRA_FIF_RAW = 34,
    KELVRA_FIF_JBIG = 35, /* reserved: never returned, refused by load and save */
    KELVRA_FIF_WEBP = 36,
    KELVRA_FIF_JXR = 37,
    KELVRA_FIF_LAST = 37
};

/* Load flags. */
enum {
    KELVRA_LOAD_DEFAULT = 0,
    KELVRA_LOAD_TIFF_CMYK = 1,    /* accepted and ignored: pages load as RGB */
    KELVRA_LOAD_GIF_PLAYBACK = 2, /* frames composed as 32-bit images, as they are shown */
    KELVRA_LOAD_ICO_MAKEALPHA = 1 /* 32-bit with an alpha channel from the mask */
};

/* Save flags. For JPEG the flags are the quality, clamped to 1..100. */
enum {
    KELVRA_SAVE_DEFAULT = 0,
    KELVRA_SAVE_PNG_DEFAULT = 0,
    KELVRA_SAVE_TIFF_PACKBITS = 0x0100,
    KELVRA_SAVE_TIFF_DEFLATE = 0x0200,
    KELVRA_SAVE_TIFF_NONE = 0x0800,
    KELVRA_SAVE_TIFF_CCITTFAX3 = 0x1000,
    KELVRA_SAVE_TIFF_CCITTFAX4 = 0x2000,
    KELVRA_SAVE_TIFF_LZW = 0x4000 /* 16384 */
};

/* Metadata models. */
enum {
    KELVRA_MD_COMMENTS = 0,
    KELVRA_MD_EXIF_MAIN = 1,
    KELVRA_MD_EXIF_EXIF = 2,
    KELVRA_MD_EXIF_GPS = 3,
    KELVRA_MD_EXIF_MAKERNOTE = 4,
    KELVRA_MD_EXIF_INTEROP = 5,
    KELVRA_MD_IPTC = 6,
    KELVRA_MD_XMP = 7,
    KELVRA_MD_GEOTIFF = 8,
    KELVRA_MD_ANIMATION = 9,
    KELVRA_MD_CUSTOM = 10,
    KELVRA_MD_EXIF_RAW = 11
};

/* The tag id of the XMP packet, whatever format it came from. */
enum { KELVRA_XMP_TAG_ID = 0x02BC };

/* Tag types (the TIFF/EXIF field types). */
enum {
    KELVRA_TAG_NOTYPE = 0,
    KELVRA_TAG_BYTE = 1,
    KELVRA_TAG_ASCII = 2,
    KELVRA_TAG_SHORT = 3,
    KELVRA_TAG_LONG = 4,
    KELVRA_TAG_RATIONAL = 5,
    KELVRA_TAG_SBYTE = 6,
    KELVRA_TAG_UNDEFINED = 7,
    KELVRA_TAG_SSHORT = 8,
    KELVRA_TAG_SLONG = 9,
    KELVRA_TAG_SRATIONAL = 10,
    KELVRA_TAG_FLOAT = 11,
    KELVRA_TAG_DOUBLE = 12,
    KELVRA_TAG_IFD = 13,
    KELVRA_TAG_PALETTE = 14,
    KELVRA_TAG_LONG8 = 16,
    KELVRA_TAG_SLONG8 = 17,
    KELVRA_TAG_IFD8 = 18
};

/* Image types (KELVRA_GetImageType). */
enum {
    KELVRA_IT_UNKNOWN = 0,
    KELVRA_IT_BITMAP = 1, /* 1, 4, 8, 16, 24 or 32 bits per pixel */
    KELVRA_IT_UINT16 = 2, /* 16-bit unsigned grey */
    KELVRA_IT_INT16 = 3,
    KELVRA_IT_UINT32 = 4,
    KELVRA_IT_INT32 = 5,
    KELVRA_IT_FLOAT = 6,
    KELVRA_IT_DOUBLE = 7,
    KELVRA_IT_COMPLEX = 8,
    KELVRA_IT_RGB16 = 9,   /* 3 x 16 bits */
    KELVRA_IT_RGBA16 = 10, /* 4 x 16 bits */
    KELVRA_IT_RGBF = 11,   /* 3 x 32-bit float */
    KELVRA_IT_RGBAF = 12   /* 4 x 32-bit float */
};

/* Colour types (KELVRA_GetColorType). */
enum {
    KELVRA_CT_MINISWHITE = 0,
    KELVRA_CT_MINISBLACK = 1,
    KELVRA_CT_RGB = 2,
    KELVRA_CT_PALETTE = 3,
    KELVRA_CT_RGBALPHA = 4,
    KELVRA_CT_CMYK = 5
};

/* Photometric interpretations (KELVRA_GetPhotoMetric), the TIFF values. */
enum {
    KELVRA_PM_MINISWHITE = 0,
    KELVRA_PM_MINISBLACK = 1,
    KELVRA_PM_RGB = 2,
    KELVRA_PM_PALETTE = 3,
    KELVRA_PM_SEPARATED = 5
};

/* Results of KELVRA_VB_CompressCCITT4. */
enum {
    KELVRA_CCITT_OK = 0,
    KELVRA_CCITT_ENCODER_FAILED = 1,
    KELVRA_CCITT_INVALID_PARAMETER = 2,
    KELVRA_CCITT_OUT_OF_MEMORY = 3
};

/* ---- Version ------------------------------------------------------------------------------ */

/* The plug-in's version text, "major.minor.patch.build" (the FreeImage version it runs on,
 * e.g. "3.18.0.0"). The text is static and never freed. Never null. */
KELVRA_API const char* KELVRA_GetVersion(void);

/* ---- Detection ---------------------------------------------------------------------------- */

/* The format of the file's content, or -1 when unknown, unreadable or the path is null.
 * size: how many leading bytes may be examined, 0 for no limit. Every PNM variant (PBM, PGM,
 * PPM, raw or not) is reported as KELVRA_FIF_PBM; each loads through any PNM code. */
KELVRA_API int32_t KELVRA_GetFileTypeU(const char* path, int32_t size);

/* The format that the file name's extension names, or -1. The file is not opened. */
KELVRA_API int32_t KELVRA_GetFIFFromFilenameU(const char* path);

/* ---- Load, save, free --------------------------------------------------------------------- */

/* Loads the file as the given format. Returns a new bitmap (freed with KELVRA_Unload) or 0
 * when the format is unknown or reserved, the file cannot be read or decoded. JPEG, PNG, J2K
 * and JP2 bitmaps come back top-down (see the row-order convention above). For TIFF the flag
 * KELVRA_LOAD_TIFF_CMYK is ignored. An XMP packet is always under tag id 0x02BC. */
KELVRA_API KelvraBitmap KELVRA_LoadU(int32_t format, const char* path, int32_t flags);

/* Saves the bitmap to the file in the given format. Returns 1 when saved, 0 when the handle,
 * format or path is bad, the format has no writer, or the writer does not take this image
 * type or bit depth (WebP: 24 and 32 bits; JPEG: 8-bit grey and 24 bits; ...). A top-down
 * bitmap is written the right way up and is unchanged afterwards. For JPEG the flags are the
 * quality, clamped to 1..100 (0 and negative values give 1), and the bitmap's EXIF-main,
 * EXIF and GPS tags are written as the file's EXIF block unless the bitmap carries a raw EXIF
 * block (KELVRA_MD_EXIF_RAW) of its own, which is written instead. */
KELVRA_API int32_t KELVRA_SaveU(int32_t format, KelvraBitmap bitmap, const char* path,
                                int32_t flags);

/* Frees a bitmap made by a load or a conversion; the handle becomes stale. Returns 1, or 0
 * when the handle is bad. A locked page is refused (0): give it back with KELVRA_UnlockPage. */
KELVRA_API int32_t KELVRA_Unload(KelvraBitmap bitmap);

/* ---- Multi-page files --------------------------------------------------------------------- */

/* Opens the file for reading. Returns a file handle (closed with KELVRA_CloseFileHandle) or 0
 * when it cannot be opened. */
KELVRA_API KelvraFileHandle KELVRA_OpenFileU(const char* path);

/* Closes a file handle. Returns 1, 0 for a bad handle. A multi-page bitmap still open on the
 * file keeps reading it; the file itself is closed with the last of them. */
KELVRA_API int32_t KELVRA_CloseFileHandle(KelvraFileHandle file);

/* Opens the file as a read-only multi-page bitmap of the given format (TIFF, GIF, ICO).
 * flags: KELVRA_LOAD_GIF_PLAYBACK for GIF, otherwise 0. Returns the multi-page bitmap (closed
 * with KELVRA_CloseMultiBitmap) or 0 when the format has no pages or the file is not of it. */
KELVRA_API KelvraMultiBitmap KELVRA_OpenMultiBitmapU(int32_t format, int32_t flags,
                                                     KelvraFileHandle file);

/* The number of pages, 0 for a bad handle. */
KELVRA_API int32_t KELVRA_GetPageCount(KelvraMultiBitmap multi);

/* Locks page index (from 0) and returns it as a bitmap, or 0 when the index is out of range,
 * the page is already locked or cannot be decoded. The page is stored bottom-up and belongs to
 * the multi-page bitmap: give it back with KELVRA_UnlockPage (KELVRA_Unload refuses it). */
KELVRA_API KelvraBitmap KELVRA_LockPage(KelvraMultiBitmap multi, int32_t index);

/* Gives a locked page back; its handle becomes stale. changed must be 0 (the multi-page
 * bitmap is read-only; a non-zero value is treated as 0). Returns 1, or 0 when either handle
 * is bad or the page is not one of this multi-page bitmap's. */
KELVRA_API int32_t KELVRA_UnlockPage(KelvraMultiBitmap multi, KelvraBitmap page, int32_t changed);

/* Closes a multi-page bitmap. Pages still locked are given back and their handles become
 * stale. flags: 0. Returns 1, 0 for a bad handle. */
KELVRA_API int32_t KELVRA_CloseMultiBitmap(KelvraMultiBitmap multi, int32_t flags);

/* ---- Queries ------------------------------------------------------------------------------ */

/* Width and height in pixels; 0 for a bad handle. */
KELVRA_API uint32_t KELVRA_GetWidth(KelvraBitmap bitmap);
KELVRA_API uint32_t KELVRA_GetHeight(KelvraBitmap bitmap);

/* Bits per pixel (1, 4, 8, 16, 24, 32, 48, 64, 96, 128, ...); 0 for a bad handle. */
KELVRA_API uint32_t KELVRA_GetBPP(KelvraBitmap bitmap);

/* Bytes per pixel row, a multiple of 4; 0 for a bad handle. */
KELVRA_API uint32_t KELVRA_GetPitch(KelvraBitmap bitmap);

/* The pixel rows, height x pitch bytes, owned by the bitmap (valid until it is freed or
 * converted in place); null for a bad handle. Row order: see the convention above. */
KELVRA_API uint8_t* KELVRA_GetBits(KelvraBitmap bitmap);

/* The bitmap's information header followed by its palette, owned by the bitmap; null for a
 * bad handle. */
KELVRA_API KelvraBitmapInfoHeader* KELVRA_GetInfo(KelvraBitmap bitmap);

/* The palette, KELVRA_GetColorsUsed entries of 32 bits (B, G, R, 0), writable, owned by the
 * bitmap; null when the bitmap has no palette or the handle is bad. */
KELVRA_API uint32_t* KELVRA_GetPalette(KelvraBitmap bitmap);

/* Palette entries in use (0 for bitmaps above 8 bits per pixel and for a bad handle). */
KELVRA_API uint32_t KELVRA_GetColorsUsed(KelvraBitmap bitmap);

/* Colour type, a KELVRA_CT_... value; -1 for a bad handle. */
KELVRA_API int32_t KELVRA_GetColorType(KelvraBitmap bitmap);

/* Image type, a KELVRA_IT_... value; KELVRA_IT_UNKNOWN (0) for a bad handle. */
KELVRA_API int32_t KELVRA_GetImageType(KelvraBitmap bitmap);

/* Photometric interpretation derived from the colour type, a KELVRA_PM_... value: 0 for
 * min-is-white, 1 min-is-black, 2 RGB (also with alpha), 3 palette, 5 CMYK; -1 for a bad
 * handle. */
KELVRA_API int32_t KELVRA_GetPhotoMetric(KelvraBitmap bitmap);

/* Entries of the transparency table (0 when there is none or the handle is bad). */
KELVRA_API uint32_t KELVRA_GetTransparencyCount(KelvraBitmap bitmap);

/* 1 when the bitmap has transparency (a transparency table in use, or an alpha channel that
 * is in use), else 0. */
KELVRA_API int32_t KELVRA_IsTransparent(KelvraBitmap bitmap);

/* Resolution in dots per metre; a bitmap without a resolution reports 2835 (72 dpi); 0 for a
 * bad handle. */
KELVRA_API uint32_t KELVRA_GetDotsPerMeterX(KelvraBitmap bitmap);
KELVRA_API uint32_t KELVRA_GetDotsPerMeterY(KelvraBitmap bitmap);

/* ---- Conversions: each returns a new bitmap (freed with KELVRA_Unload) or 0; the source is
 * kept unchanged. A new bitmap keeps the source's row order, resolution and metadata. ------ */

/* 8-bit grey (from any standard bitmap, and from 16-bit grey images). */
KELVRA_API KelvraBitmap KELVRA_ConvertToGreyscale(KelvraBitmap bitmap);

/* 24-bit RGB; 32-bit RGBA. */
KELVRA_API KelvraBitmap KELVRA_ConvertTo24Bits(KelvraBitmap bitmap);
KELVRA_API KelvraBitmap KELVRA_ConvertTo32Bits(KelvraBitmap bitmap);

/* Converts to the image type (KELVRA_IT_...); scaleLinear: 1 to scale the values linearly
 * into the target range, 0 to clamp them. */
KELVRA_API KelvraBitmap KELVRA_ConvertToType(KelvraBitmap bitmap, int32_t imageType,
                                             int32_t scaleLinear);

/* Tone-maps a high-range image (RGB16, RGBF, RGBAF, float grey...) to 24 bits with the
 * Reinhard 2005 operator. intensity in [-8, 8], contrast in [0.3, 1]; 0 gives the defaults. */
KELVRA_API KelvraBitmap KELVRA_TmoReinhard05(KelvraBitmap bitmap, double intensity,
                                             double contrast);

/* A new bitmap holding a copy of width x height pixels of bpp bits (1, 4, 8, 16, 24, 32)
 * read from bits, pitch bytes a row. The masks describe 16, 24 and 32-bit pixels; all-zero
 * masks on 16 bits mean 5-5-5 RGB. topDown: 1 when the first row in memory is the top row.
 * The bitmap is stored bottom-up and has a grey palette when indexed. 0 for bad arguments. */
KELVRA_API KelvraBitmap KELVRA_ConvertFromRawBits(const uint8_t* bits, int32_t width,
                                                  int32_t height, int32_t pitch, uint32_t bpp,
                                                  uint32_t redMask, uint32_t greenMask,
                                                  uint32_t blueMask, int32_t topDown);

/* ---- Editing ------------------------------------------------------------------------------ */

/* Flips the rows in place and toggles the bitmap's row-order mark. 1 done, 0 failed. */
KELVRA_API int32_t KELVRA_FlipVertical(KelvraBitmap bitmap);

/* Inverts every pixel value in place (the palette is left as it is). 1 done, 0 failed. */
KELVRA_API int32_t KELVRA_Invert(KelvraBitmap bitmap);

/* Sets the resolution in dots per metre. 1 done, 0 for a bad handle. */
KELVRA_API int32_t KELVRA_SetDotsPerMeterX(KelvraBitmap bitmap, uint32_t value);
KELVRA_API int32_t KELVRA_SetDotsPerMeterY(KelvraBitmap bitmap, uint32_t value);

/* Makes palette entry index fully transparent. Indices add up: every index set stays
 * transparent, and entries never named stay opaque. 1 done, 0 when the bitmap has no
 * palette, the index is outside it or the handle is bad. */
KELVRA_API int32_t KELVRA_SetTransparentIndex(KelvraBitmap bitmap, int32_t index);

/* ---- Metadata ----------------------------------------------------------------------------- */

/* Number of tags of the model (KELVRA_MD_...) on the bitmap; 0 for a bad handle. */
KELVRA_API uint32_t KELVRA_GetMetadataCount(int32_t model, KelvraBitmap bitmap);

/* Starts an enumeration of the model's tags. On success *tag receives the first tag and the
 * search handle is returned; 0 (and *tag = 0) when the model has no tags or a handle is bad.
 * The enumeration works on a copy taken now: later changes of the bitmap, and freeing it, do
 * not affect it. A tag handed out by a search is read-only and stays valid until the next
 * KELVRA_FindNextMetadata or KELVRA_FindCloseMetadata on that search. */
KELVRA_API KelvraSearch KELVRA_FindFirstMetadata(int32_t model, KelvraBitmap bitmap,
                                                 KelvraTag* tag);

/* The next tag of the search in *tag: 1, or 0 (and *tag = 0) when there are no more or the
 * handle is bad. */
KELVRA_API int32_t KELVRA_FindNextMetadata(KelvraSearch search, KelvraTag* tag);

/* Ends the search; its handle and the tag it last handed out become stale. 1, 0 for a bad
 * handle. */
KELVRA_API int32_t KELVRA_FindCloseMetadata(KelvraSearch search);

/* A new empty tag (freed with KELVRA_DeleteTag), 0 on failure. */
KELVRA_API KelvraTag KELVRA_CreateTag(void);

/* Frees a tag made by KELVRA_CreateTag. 1, or 0 for a bad handle or a tag of a search. */
KELVRA_API int32_t KELVRA_DeleteTag(KelvraTag tag);

/* Tag setters, for tags made by KELVRA_CreateTag (tags of a search are refused). 1 done, 0
 * refused. KELVRA_SetTagValue copies KELVRA_GetTagLength bytes from value and refuses (0)
 * a tag whose count times the width of its type is not its length, except for ASCII tags,
 * whose count is set to their length; set key, length, count, type and id first. */
KELVRA_API int32_t KELVRA_SetTagKey(KelvraTag tag, const char* key);
KELVRA_API int32_t KELVRA_SetTagDescription(KelvraTag tag, const char* description);
KELVRA_API int32_t KELVRA_SetTagID(KelvraTag tag, uint16_t id);
KELVRA_API int32_t KELVRA_SetTagType(KelvraTag tag, int32_t type);
KELVRA_API int32_t KELVRA_SetTagCount(KelvraTag tag, uint32_t count);
KELVRA_API int32_t KELVRA_SetTagLength(KelvraTag tag, uint32_t length);
KELVRA_API int32_t KELVRA_SetTagValue(KelvraTag tag, const void* value);

/* Tag getters. Texts and the value are owned by the tag; key and description are null when
 * not set (and for a bad handle), numbers 0 for a bad handle. */
KELVRA_API const char* KELVRA_GetTagKey(KelvraTag tag);
KELVRA_API const char* KELVRA_GetTagDescription(KelvraTag tag);
KELVRA_API uint16_t KELVRA_GetTagID(KelvraTag tag);
KELVRA_API int32_t KELVRA_GetTagType(KelvraTag tag);
KELVRA_API uint32_t KELVRA_GetTagCount(KelvraTag tag);
KELVRA_API uint32_t KELVRA_GetTagLength(KelvraTag tag);
KELVRA_API const void* KELVRA_GetTagValue(KelvraTag tag);

/* Attaches a copy of the tag to the bitmap under the model and key (the tag's own key when
 * key is null or empty), replacing a tag of that key. Tag 0 removes the key's tag instead.
 * XMP packets are stored under tag id 0x02BC. 1 done, 0 refused (bad handles, no key). */
KELVRA_API int32_t KELVRA_SetMetadata(int32_t model, KelvraBitmap bitmap, const char* key,
                                      KelvraTag tag);

/* ---- Compression -------------------------------------------------------------------------- */

/* zlib-compresses sourceSize bytes into destination (destinationSize bytes available) at
 * the default level. Returns the compressed size, 0 when it does not fit or on bad
 * arguments. */
KELVRA_API uint32_t KELVRA_ZLibCompress2(uint8_t* destination, uint32_t destinationSize,
                                         const uint8_t* source, uint32_t sourceSize);

/* CCITT group 4 (T.6) compresses a 1-bit image: height rows of rowBytes bytes each, top row
 * first, most significant bit leftmost, bit 1 = black, 0 = white. On success (0) out holds
 * the raw group 4 data (no TIFF wrapping, ending with the end-of-block code), which the caller
 * gives back with KELVRA_FreeByteArray. flags: 0. Results: KELVRA_CCITT_... (2 for a null
 * array, width or height below 1, rowBytes below (width + 7) / 8 or input smaller than
 * height x rowBytes). On failure out is empty. */
KELVRA_API int32_t KELVRA_VB_CompressCCITT4(KelvraByteArray* out, const KelvraByteArray* input,
                                            int32_t width, int32_t height, int32_t rowBytes,
                                            int32_t flags);

/* Frees the data of an array the plug-in filled and empties it. Null is ignored. */
KELVRA_API void KELVRA_FreeByteArray(KelvraByteArray* array);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* Every exported function: X(return type, name, (parameters)). */
#define KELVRA_FUNCTION_LIST(X)                                                                    \
    X(const char*, KELVRA_GetVersion, (void))                                                      \
    X(int32_t, KELVRA_GetFileTypeU, (const char* path, int32_t size))                              \
    X(int32_t, KELVRA_GetFIFFromFilenameU, (const char* path))                                     \
    X(KelvraBitmap, KELVRA_LoadU, (int32_t format, const char* path, int32_t flags))               \
    X(int32_t, KELVRA_SaveU,                                                                       \
      (int32_t format, KelvraBitmap bitmap, const char* path, int32_t flags))                      \
    X(int32_t, KELVRA_Unload, (KelvraBitmap bitmap))                                               \
    X(KelvraFileHandle, KELVRA_OpenFileU, (const char* path))                                      \
    X(int32_t, KELVRA_CloseFileHandle, (KelvraFileHandle file))                                    \
    X(KelvraMultiBitmap, KELVRA_OpenMultiBitmapU,                                                  \
      (int32_t format, int32_t flags, KelvraFileHandle file))                                      \
    X(int32_t, KELVRA_GetPageCount, (KelvraMultiBitmap multi))                                     \
    X(KelvraBitmap, KELVRA_LockPage, (KelvraMultiBitmap multi, int32_t index))                     \
    X(int32_t, KELVRA_UnlockPage, (KelvraMultiBitmap multi, KelvraBitmap page, int32_t changed))   \
    X(int32_t, KELVRA_CloseMultiBitmap, (KelvraMultiBitmap multi, int32_t flags))                  \
    X(uint32_t, KELVRA_GetWidth, (KelvraBitmap bitmap))                                            \
    X(uint32_t, KELVRA_GetHeight, (KelvraBitmap bitmap))                                           \
    X(uint32_t, KELVRA_GetBPP, (KelvraBitmap bitmap))                                              \
    X(uint32_t, KELVRA_GetPitch, (KelvraBitmap bitmap))                                            \
    X(uint8_t*, KELVRA_GetBits, (KelvraBitmap bitmap))                                             \
    X(KelvraBitmapInfoHeader*, KELVRA_GetInfo, (KelvraBitmap bitmap))                              \
    X(uint32_t*, KELVRA_GetPalette, (KelvraBitmap bitmap))                                         \
    X(uint32_t, KELVRA_GetColorsUsed, (KelvraBitmap bitmap))                                       \
    X(int32_t, KELVRA_GetColorType, (KelvraBitmap bitmap))                                         \
    X(int32_t, KELVRA_GetImageType, (KelvraBitmap bitmap))                                         \
    X(int32_t, KELVRA_GetPhotoMetric, (KelvraBitmap bitmap))                                       \
    X(uint32_t, KELVRA_GetTransparencyCount, (KelvraBitmap bitmap))                                \
    X(int32_t, KELVRA_IsTransparent, (KelvraBitmap bitmap))                                        \
    X(uint32_t, KELVRA_GetDotsPerMeterX, (KelvraBitmap bitmap))                                    \
    X(uint32_t, KELVRA_GetDotsPerMeterY, (KelvraBitmap bitmap))                                    \
    X(KelvraBitmap, KELVRA_ConvertToGreyscale, (KelvraBitmap bitmap))                              \
    X(KelvraBitmap, KELVRA_ConvertTo24Bits, (KelvraBitmap bitmap))                                 \
    X(KelvraBitmap, KELVRA_ConvertTo32Bits, (KelvraBitmap bitmap))                                 \
    X(KelvraBitmap, KELVRA_ConvertToType,                                                          \
      (KelvraBitmap bitmap, int32_t imageType, int32_t scaleLinear))                               \
    X(KelvraBitmap, KELVRA_TmoReinhard05,                                                          \
      (KelvraBitmap bitmap, double intensity, double contrast))                                    \
    X(KelvraBitmap, KELVRA_ConvertFromRawBits,                                                     \
      (const uint8_t* bits, int32_t width, int32_t height, int32_t pitch, uint32_t bpp,            \
       uint32_t redMask, uint32_t greenMask, uint32_t blueMask, int32_t topDown))                  \
    X(int32_t, KELVRA_FlipVertical, (KelvraBitmap bitmap))                                         \
    X(int32_t, KELVRA_Invert, (KelvraBitmap bitmap))                                               \
    X(int32_t, KELVRA_SetDotsPerMeterX, (KelvraBitmap bitmap, uint32_t value))                     \
    X(int32_t, KELVRA_SetDotsPerMeterY, (KelvraBitmap bitmap, uint32_t value))                     \
    X(int32_t, KELVRA_SetTransparentIndex, (KelvraBitmap bitmap, int32_t index))                   \
    X(uint32_t, KELVRA_GetMetadataCount, (int32_t model, KelvraBitmap bitmap))                     \
    X(KelvraSearch, KELVRA_FindFirstMetadata,                                                      \
      (int32_t model, KelvraBitmap bitmap, KelvraTag * tag))                                       \
    X(int32_t, KELVRA_FindNextMetadata, (KelvraSearch search, KelvraTag * tag))                    \
    X(int32_t, KELVRA_FindCloseMetadata, (KelvraSearch search))                                    \
    X(KelvraTag, KELVRA_CreateTag, (void))                                                         \
    X(int32_t, KELVRA_DeleteTag, (KelvraTag tag))                                                  \
    X(int32_t, KELVRA_SetTagKey, (KelvraTag tag, const char* key))                                 \
    X(int32_t, KELVRA_SetTagDescription, (KelvraTag tag, const char* description))                 \
    X(int32_t, KELVRA_SetTagID, (KelvraTag tag, uint16_t id))                                      \
    X(int32_t, KELVRA_SetTagType, (KelvraTag tag, int32_t type))                                   \
    X(int32_t, KELVRA_SetTagCount, (KelvraTag tag, uint32_t count))                                \
    X(int32_t, KELVRA_SetTagLength, (KelvraTag tag, uint32_t length))                              \
    X(int32_t, KELVRA_SetTagValue, (KelvraTag tag, const void* value))                             \
    X(const char*, KELVRA_GetTagKey, (KelvraTag tag))                                              \
    X(const char*, KELVRA_GetTagDescription, (KelvraTag tag))                                      \
    X(uint16_t, KELVRA_GetTagID, (KelvraTag tag))                                                  \
    X(int32_t, KELVRA_GetTagType, (KelvraTag tag))                                                 \
    X(uint32_t, KELVRA_GetTagCount, (KelvraTag tag))                                               \
    X(uint32_t, KELVRA_GetTagLength, (KelvraTag tag))                                              \
    X(const void*, KELVRA_GetTagValue, (KelvraTag tag))                                            \
    X(int32_t, KELVRA_SetMetadata,                                                                 \
      (int32_t model, KelvraBitmap bitmap, const char* key, KelvraTag tag))                        \
    X(uint32_t, KELVRA_ZLibCompress2,                                                              \
      (uint8_t * destination, uint32_t destinationSize, const uint8_t* source,                     \
       uint32_t sourceSize))                                                                       \
    X(int32_t, KELVRA_VB_CompressCCITT4,                                                           \
      (KelvraByteArray * out, const KelvraByteArray* input, int32_t width, int32_t height,         \
       int32_t rowBytes, int32_t flags))                                                           \
    X(void, KELVRA_FreeByteArray, (KelvraByteArray * array))

/* The file name a loader looks for (beside the host library, in TAVIMO_PLUGIN_PATH, then on
   the loader's search path). */
#define KELVRA_LIBRARY_NAME "libkelvra.so"
