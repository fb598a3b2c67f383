// zlib compression and CCITT group 4 (ITU-T T.6) encoding of 1-bit images. The group 4
// encoder is only reachable through a TIFF, so the image is written as a one-strip TIFF in
// memory and the strip's bytes are taken out again.

#include "plugins/kelvra/memory_tiff.h"
#include "plugins/kelvra/objects.h"

#include <tiffio.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace kelvra;

namespace {

int32_t encodeG4(KelvraByteArray& out, const uint8_t* input, int32_t width, int32_t height,
                 int32_t rowBytes) {
    MemoryFile file;
    {
        TiffPtr tif(openMemory(file, "w"));
        if (!tif)
            return KELVRA_CCITT_ENCODER_FAILED;
        TIFF* t = tif.get();
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
        // The encoder codes 0 bits as white runs and 1 bits as black runs; min-is-white
        // only labels the TIFF accordingly.
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(height));
        size_t lineBytes = (static_cast<size_t>(width) + 7) / 8;
        std::vector<uint8_t> line(lineBytes);
        for (int32_t y = 0; y < height; ++y) {
            std::memcpy(line.data(), input + static_cast<size_t>(y) * rowBytes, lineBytes);
            if (TIFFWriteScanline(t, line.data(), static_cast<uint32_t>(y), 0) < 0)
                return KELVRA_CCITT_ENCODER_FAILED;
        }
        if (!TIFFWriteDirectory(t))
            return KELVRA_CCITT_ENCODER_FAILED;
    }
    TiffPtr tif(openMemory(file, "r"));
    if (!tif || TIFFNumberOfStrips(tif.get()) != 1)
        return KELVRA_CCITT_ENCODER_FAILED;
    uint64_t* counts = nullptr;
    if (!TIFFGetField(tif.get(), TIFFTAG_STRIPBYTECOUNTS, &counts) || !counts || counts[0] == 0 ||
        counts[0] > 0x7FFFFFFF)
        return KELVRA_CCITT_ENCODER_FAILED;
    auto* data = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(counts[0])));
    if (!data)
        return KELVRA_CCITT_OUT_OF_MEMORY;
    tmsize_t got = TIFFReadRawStrip(tif.get(), 0, data, static_cast<tmsize_t>(counts[0]));
    if (got <= 0) {
        std::free(data);
        return KELVRA_CCITT_ENCODER_FAILED;
    }
    out.data = data;
    out.size = static_cast<int32_t>(got);
    return KELVRA_CCITT_OK;
}

} // namespace

extern "C" {

KELVRA_API uint32_t KELVRA_ZLibCompress2(uint8_t* destination, uint32_t destinationSize,
                                         const uint8_t* source, uint32_t sourceSize) {
    return guarded<uint32_t>(0, [&]() -> uint32_t {
        if (!destination || destinationSize == 0 || (!source && sourceSize != 0))
            return 0;
        static const uint8_t empty = 0;
        uLongf length = destinationSize;
        int rc = compress2(destination, &length, source ? source : &empty, sourceSize,
                           Z_DEFAULT_COMPRESSION);
        return rc == Z_OK ? static_cast<uint32_t>(length) : 0;
    });
}

KELVRA_API int32_t KELVRA_VB_CompressCCITT4(KelvraByteArray* out, const KelvraByteArray* input,
                                            int32_t width, int32_t height, int32_t rowBytes,
                                            int32_t /*flags*/) {
    if (!out)
        return KELVRA_CCITT_INVALID_PARAMETER;
    out->data = nullptr;
    out->size = 0;
    return guarded<int32_t>(KELVRA_CCITT_ENCODER_FAILED, [&]() -> int32_t {
        if (!input || !input->data || width < 1 || height < 1 ||
            rowBytes < (static_cast<int64_t>(width) + 7) / 8)
            return KELVRA_CCITT_INVALID_PARAMETER;
        if (input->size < 0 || static_cast<int64_t>(input->size) <
                                   static_cast<int64_t>(rowBytes) * static_cast<int64_t>(height))
            return KELVRA_CCITT_INVALID_PARAMETER;
        try {
            return encodeG4(*out, input->data, width, height, rowBytes);
        } catch (const std::bad_alloc&) {
            return static_cast<int32_t>(KELVRA_CCITT_OUT_OF_MEMORY);
        }
    });
}

KELVRA_API void KELVRA_FreeByteArray(KelvraByteArray* array) {
    if (!array)
        return;
    std::free(array->data);
    array->data = nullptr;
    array->size = 0;
}

} // extern "C"
