// Loading, saving, querying, converting and editing single bitmaps.

#include "plugins/kelvra/exif_writer.h"
#include "plugins/kelvra/memory_tiff.h"
#include "plugins/kelvra/objects.h"

#include <algorithm>
#include <cstring>

using namespace kelvra;

namespace {

static_assert(sizeof(KelvraBitmapInfoHeader) == sizeof(BITMAPINFOHEADER));
static_assert(sizeof(RGBQUAD) == sizeof(uint32_t));

// A converted bitmap is a new object: it keeps the source's row order, and FreeImage's
// conversions do not all carry the metadata and resolution over, so they are copied here.
KelvraBitmap registerConverted(const BitmapObject& source, FIBITMAP* converted) {
    if (!converted)
        return 0;
    if (converted == source.dib) {
        // Never share one FreeImage bitmap between two handles.
        converted = FreeImage_Clone(source.dib);
        if (!converted)
            return 0;
    }
    FreeImage_CloneMetadata(converted, source.dib);
    FreeImage_SetDotsPerMeterX(converted, FreeImage_GetDotsPerMeterX(source.dib));
    FreeImage_SetDotsPerMeterY(converted, FreeImage_GetDotsPerMeterY(source.dib));
    return registerBitmap(converted, source.topDown);
}

template <class F> KelvraBitmap convert(KelvraBitmap handle, F&& conversion) {
    return guarded<KelvraBitmap>(0, [&]() -> KelvraBitmap {
        auto bitmap = lookup<BitmapObject>(handle);
        if (!bitmap || !bitmap->dib)
            return 0;
        return registerConverted(*bitmap, conversion(bitmap->dib));
    });
}

template <class R, class F> R query(KelvraBitmap handle, R failValue, F&& read) {
    return guarded<R>(failValue, [&]() -> R {
        FIBITMAP* dib = dibOf(handle);
        return dib ? static_cast<R>(read(dib)) : failValue;
    });
}

int32_t clampJpegQuality(int32_t flags) {
    return std::clamp(flags, 1, 100);
}

constexpr const char* kExifRawKey = "ExifRaw"; // the key FreeImage's JPEG writer looks for

// Gives a bitmap without a raw EXIF block one made from its tags, for one JPEG save; the
// destructor takes it away again so the bitmap is left as it was.
class TemporaryExifBlock {
public:
    explicit TemporaryExifBlock(FIBITMAP* dib) : m_dib(dib) {
        FITAG* existing = nullptr;
        if (FreeImage_GetMetadata(FIMD_EXIF_RAW, dib, kExifRawKey, &existing) && existing)
            return;
        std::vector<uint8_t> block = kelvra::buildExifBlock(dib);
        if (block.empty())
            return;
        FITAG* tag = FreeImage_CreateTag();
        if (!tag)
            return;
        auto size = static_cast<DWORD>(block.size());
        if (FreeImage_SetTagKey(tag, kExifRawKey) && FreeImage_SetTagType(tag, FIDT_BYTE) &&
            FreeImage_SetTagCount(tag, size) && FreeImage_SetTagLength(tag, size) &&
            FreeImage_SetTagValue(tag, block.data()))
            m_added = FreeImage_SetMetadata(FIMD_EXIF_RAW, dib, kExifRawKey, tag) != FALSE;
        FreeImage_DeleteTag(tag);
    }
    ~TemporaryExifBlock() {
        if (m_added)
            FreeImage_SetMetadata(FIMD_EXIF_RAW, m_dib, kExifRawKey, nullptr);
    }
    TemporaryExifBlock(const TemporaryExifBlock&) = delete;
    TemporaryExifBlock& operator=(const TemporaryExifBlock&) = delete;

private:
    FIBITMAP* m_dib;
    bool m_added = false;
};

// FreeImage's TIFF writer crashes on some main-directory tags that libtiff does not know
// (it asks libtiff for the tag's field and uses the null answer). Such tags cannot be written
// into a TIFF anyway, so they are taken off the bitmap for the save and put back afterwards.
class TemporaryTiffTagFilter {
public:
    explicit TemporaryTiffTagFilter(FIBITMAP* dib) : m_dib(dib) {
        FITAG* tag = nullptr;
        FIMETADATA* md = FreeImage_FindFirstMetadata(FIMD_EXIF_MAIN, dib, &tag);
        if (!md)
            return;
        do {
            if (tag && FreeImage_GetTagKey(tag) &&
                !kelvra::libtiffKnowsTag(FreeImage_GetTagID(tag)))
                if (FITAG* copy = FreeImage_CloneTag(tag))
                    m_removed.push_back(copy);
        } while (FreeImage_FindNextMetadata(md, &tag));
        FreeImage_FindCloseMetadata(md);
        for (FITAG* copy : m_removed)
            FreeImage_SetMetadata(FIMD_EXIF_MAIN, dib, FreeImage_GetTagKey(copy), nullptr);
    }
    ~TemporaryTiffTagFilter() {
        for (FITAG* copy : m_removed) {
            FreeImage_SetMetadata(FIMD_EXIF_MAIN, m_dib, FreeImage_GetTagKey(copy), copy);
            FreeImage_DeleteTag(copy);
        }
    }
    TemporaryTiffTagFilter(const TemporaryTiffTagFilter&) = delete;
    TemporaryTiffTagFilter& operator=(const TemporaryTiffTagFilter&) = delete;

private:
    FIBITMAP* m_dib;
    std::vector<FITAG*> m_removed;
};

} // namespace

extern "C" {

KELVRA_API KelvraBitmap KELVRA_LoadU(int32_t format, const char* path, int32_t flags) {
    return guarded<KelvraBitmap>(0, [&]() -> KelvraBitmap {
        FREE_IMAGE_FORMAT fif = toFif(format);
        if (fif == FIF_UNKNOWN || !path || !*path || !FreeImage_FIFSupportsReading(fif))
            return 0;
        // CMYK pixels would reach the caller as if they were RGB; RGB is always wanted.
        if (fif == FIF_TIFF)
            flags &= ~TIFF_CMYK;
        FIBITMAP* dib = FreeImage_Load(fif, path, flags);
        if (!dib)
            return 0;
        bool topDown = false;
        if (isTopDownFormat(format))
            topDown = FreeImage_FlipVertical(dib) != FALSE;
        return registerBitmap(dib, topDown);
    });
}

KELVRA_API int32_t KELVRA_SaveU(int32_t format, KelvraBitmap bitmap, const char* path,
                                int32_t flags) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        auto object = lookup<BitmapObject>(bitmap);
        FREE_IMAGE_FORMAT fif = toFif(format);
        if (!object || !object->dib || fif == FIF_UNKNOWN || !path || !*path)
            return 0;
        if (!FreeImage_FIFSupportsWriting(fif))
            return 0;
        // Some of FreeImage's writers crash on a bitmap they cannot write (the WebP writer
        // frees memory it never allocated), so what the writer declares it takes is checked
        // first.
        FREE_IMAGE_TYPE type = FreeImage_GetImageType(object->dib);
        if (!FreeImage_FIFSupportsExportType(fif, type))
            return 0;
        if (type == FIT_BITMAP &&
            !FreeImage_FIFSupportsExportBPP(fif, FreeImage_GetBPP(object->dib)))
            return 0;
        if (fif == FIF_JPEG)
            flags = clampJpegQuality(flags);
        // FreeImage writes bottom-up rows; a top-down bitmap is turned over for the save and
        // back again afterwards, so the caller's pixels look the same before and after.
        bool flipped = object->topDown && FreeImage_FlipVertical(object->dib);
        if (object->topDown && !flipped)
            return 0;
        BOOL saved = FALSE;
        if (fif == FIF_JPEG) {
            TemporaryExifBlock exif(object->dib);
            saved = FreeImage_Save(fif, object->dib, path, flags);
        } else if (fif == FIF_TIFF) {
            TemporaryTiffTagFilter filter(object->dib);
            saved = FreeImage_Save(fif, object->dib, path, flags);
        } else {
            saved = FreeImage_Save(fif, object->dib, path, flags);
        }
        if (flipped)
            FreeImage_FlipVertical(object->dib);
        return saved ? 1 : 0;
    });
}

KELVRA_API int32_t KELVRA_Unload(KelvraBitmap bitmap) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        auto object = lookup<BitmapObject>(bitmap);
        if (!object || object->owner)
            return 0;
        return table().take<BitmapObject>(bitmap) ? 1 : 0;
    });
}

KELVRA_API uint32_t KELVRA_GetWidth(KelvraBitmap bitmap) {
    return query<uint32_t>(bitmap, 0, FreeImage_GetWidth);
}

KELVRA_API uint32_t KELVRA_GetHeight(KelvraBitmap bitmap) {
    return query<uint32_t>(bitmap, 0, FreeImage_GetHeight);
}

KELVRA_API uint32_t KELVRA_GetBPP(KelvraBitmap bitmap) {
    return query<uint32_t>(bitmap, 0, FreeImage_GetBPP);
}

KELVRA_API uint32_t KELVRA_GetPitch(KelvraBitmap bitmap) {
    return query<uint32_t>(bitmap, 0, FreeImage_GetPitch);
}

KELVRA_API uint8_t* KELVRA_GetBits(KelvraBitmap bitmap) {
    return query<uint8_t*>(bitmap, nullptr, [](FIBITMAP* dib) {
        return reinterpret_cast<uint8_t*>(FreeImage_GetBits(dib));
    });
}

KELVRA_API KelvraBitmapInfoHeader* KELVRA_GetInfo(KelvraBitmap bitmap) {
    return query<KelvraBitmapInfoHeader*>(bitmap, nullptr, [](FIBITMAP* dib) {
        return reinterpret_cast<KelvraBitmapInfoHeader*>(FreeImage_GetInfoHeader(dib));
    });
}

KELVRA_API uint32_t* KELVRA_GetPalette(KelvraBitmap bitmap) {
    return query<uint32_t*>(bitmap, nullptr, [](FIBITMAP* dib) {
        return reinterpret_cast<uint32_t*>(FreeImage_GetPalette(dib));
    });
}

KELVRA_API uint32_t KELVRA_GetColorsUsed(KelvraBitmap bitmap) {
    return query<uint32_t>(bitmap, 0, FreeImage_GetColorsUsed);
}

KELVRA_API int32_t KELVRA_GetColorType(KelvraBitmap bitmap) {
    return query<int32_t>(bitmap, -1, FreeImage_GetColorType);
}

KELVRA_API int32_t KELVRA_GetImageType(KelvraBitmap bitmap) {
    return query<int32_t>(bitmap, KELVRA_IT_UNKNOWN, FreeImage_GetImageType);
}

KELVRA_API int32_t KELVRA_GetPhotoMetric(KelvraBitmap bitmap) {
    // FreeImage keeps no photometric tag; the colour type carries the same information.
    return query<int32_t>(bitmap, -1, [](FIBITMAP* dib) -> int32_t {
        switch (FreeImage_GetColorType(dib)) {
        case FIC_MINISWHITE:
            return KELVRA_PM_MINISWHITE;
        case FIC_MINISBLACK:
            return KELVRA_PM_MINISBLACK;
        case FIC_PALETTE:
            return KELVRA_PM_PALETTE;
        case FIC_CMYK:
            return KELVRA_PM_SEPARATED;
        default:
            return KELVRA_PM_RGB;
        }
    });
}

KELVRA_API uint32_t KELVRA_GetTransparencyCount(KelvraBitmap bitmap) {
    return query<uint32_t>(bitmap, 0, FreeImage_GetTransparencyCount);
}

KELVRA_API int32_t KELVRA_IsTransparent(KelvraBitmap bitmap) {
    return query<int32_t>(bitmap, 0,
                          [](FIBITMAP* dib) { return FreeImage_IsTransparent(dib) ? 1 : 0; });
}

KELVRA_API uint32_t KELVRA_GetDotsPerMeterX(KelvraBitmap bitmap) {
    return query<uint32_t>(bitmap, 0, FreeImage_GetDotsPerMeterX);
}

KELVRA_API uint32_t KELVRA_GetDotsPerMeterY(KelvraBitmap bitmap) {
    return query<uint32_t>(bitmap, 0, FreeImage_GetDotsPerMeterY);
}

KELVRA_API KelvraBitmap KELVRA_ConvertToGreyscale(KelvraBitmap bitmap) {
    return convert(bitmap, FreeImage_ConvertToGreyscale);
}

KELVRA_API KelvraBitmap KELVRA_ConvertTo24Bits(KelvraBitmap bitmap) {
    return convert(bitmap, FreeImage_ConvertTo24Bits);
}

KELVRA_API KelvraBitmap KELVRA_ConvertTo32Bits(KelvraBitmap bitmap) {
    return convert(bitmap, FreeImage_ConvertTo32Bits);
}

KELVRA_API KelvraBitmap KELVRA_ConvertToType(KelvraBitmap bitmap, int32_t imageType,
                                             int32_t scaleLinear) {
    if (imageType <= FIT_UNKNOWN || imageType > FIT_RGBAF)
        return 0;
    return convert(bitmap, [&](FIBITMAP* dib) {
        return FreeImage_ConvertToType(dib, static_cast<FREE_IMAGE_TYPE>(imageType),
                                       scaleLinear ? TRUE : FALSE);
    });
}

KELVRA_API KelvraBitmap KELVRA_TmoReinhard05(KelvraBitmap bitmap, double intensity,
                                             double contrast) {
    return convert(
        bitmap, [&](FIBITMAP* dib) { return FreeImage_TmoReinhard05(dib, intensity, contrast); });
}

KELVRA_API KelvraBitmap KELVRA_ConvertFromRawBits(const uint8_t* bits, int32_t width,
                                                  int32_t height, int32_t pitch, uint32_t bpp,
                                                  uint32_t redMask, uint32_t greenMask,
                                                  uint32_t blueMask, int32_t topDown) {
    return guarded<KelvraBitmap>(0, [&]() -> KelvraBitmap {
        if (!bits || width < 1 || height < 1 || pitch < 1)
            return 0;
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            return 0;
        if (static_cast<uint64_t>(pitch) * 8 < static_cast<uint64_t>(width) * bpp)
            return 0;
        // Without masks FreeImage would build a 16-bit bitmap with no red channel; 5-5-5 is
        // what a 16-bit device-independent bitmap without masks means.
        if (bpp == 16 && redMask == 0 && greenMask == 0 && blueMask == 0) {
            redMask = FI16_555_RED_MASK;
            greenMask = FI16_555_GREEN_MASK;
            blueMask = FI16_555_BLUE_MASK;
        }
        FIBITMAP* dib =
            FreeImage_ConvertFromRawBits(const_cast<BYTE*>(bits), width, height, pitch, bpp,
                                         redMask, greenMask, blueMask, topDown ? TRUE : FALSE);
        // FreeImage leaves the palette of an indexed result black; a grey ramp is the useful
        // default until the caller copies its own palette in.
        if (dib && bpp <= 8) {
            RGBQUAD* palette = FreeImage_GetPalette(dib);
            unsigned colours = FreeImage_GetColorsUsed(dib);
            for (unsigned i = 0; palette && i < colours; ++i) {
                auto level = static_cast<BYTE>(colours > 1 ? i * 255 / (colours - 1) : 0);
                palette[i] = {level, level, level, 0};
            }
        }
        return registerBitmap(dib, false);
    });
}

KELVRA_API int32_t KELVRA_FlipVertical(KelvraBitmap bitmap) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        auto object = lookup<BitmapObject>(bitmap);
        if (!object || !object->dib || !FreeImage_FlipVertical(object->dib))
            return 0;
        object->topDown = !object->topDown;
        return 1;
    });
}

KELVRA_API int32_t KELVRA_Invert(KelvraBitmap bitmap) {
    return query<int32_t>(bitmap, 0, [](FIBITMAP* dib) { return FreeImage_Invert(dib) ? 1 : 0; });
}

KELVRA_API int32_t KELVRA_SetDotsPerMeterX(KelvraBitmap bitmap, uint32_t value) {
    return query<int32_t>(bitmap, 0, [&](FIBITMAP* dib) {
        FreeImage_SetDotsPerMeterX(dib, value);
        return 1;
    });
}

KELVRA_API int32_t KELVRA_SetDotsPerMeterY(KelvraBitmap bitmap, uint32_t value) {
    return query<int32_t>(bitmap, 0, [&](FIBITMAP* dib) {
        FreeImage_SetDotsPerMeterY(dib, value);
        return 1;
    });
}

KELVRA_API int32_t KELVRA_SetTransparentIndex(KelvraBitmap bitmap, int32_t index) {
    // FreeImage's own call replaces the whole table, keeping only the last index; callers
    // name every transparent entry in turn, so the entries are added to the table instead.
    return query<int32_t>(bitmap, 0, [&](FIBITMAP* dib) -> int32_t {
        unsigned colours = FreeImage_GetColorsUsed(dib);
        if (colours == 0 || colours > 256 || index < 0 || static_cast<unsigned>(index) >= colours)
            return 0;
        BYTE entries[256];
        std::memset(entries, 0xFF, sizeof entries);
        unsigned existing = FreeImage_GetTransparencyCount(dib);
        BYTE* current = FreeImage_GetTransparencyTable(dib);
        if (FreeImage_IsTransparent(dib) && current)
            std::memcpy(entries, current, std::min(existing, colours));
        entries[index] = 0;
        FreeImage_SetTransparencyTable(dib, entries, static_cast<int>(colours));
        return 1;
    });
}

} // extern "C"
