// zlib compression and CCITT group 4 (ITU-T T.6) encoding of 1-bit images.

#include "plugins/kelvra/objects.h"

#include <tiffio.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace kelvra;

namespace {

// An in-memory file for libtiff: the group 4 encoder is only reachable through a TIFF, so
// the image is written as a one-strip TIFF and the strip's bytes are taken out again.
struct MemoryFile {
    std::vector<uint8_t> data;
    uint64_t pos = 0;
};

tmsize_t memRead(thandle_t h, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(h);
    if (size <= 0 || file->pos >= file->data.size())
        return 0;
    uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(size), file->data.size() - file->pos);
    std::memcpy(buffer, file->data.data() + file->pos, n);
    file->pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t memWrite(thandle_t h, void* buffer, tmsize_t size) {
    auto* file = static_cast<MemoryFile*>(h);
    if (size <= 0)
        return 0;
    uint64_t end = file->pos + static_cast<uint64_t>(size);
    if (end > file->data.size())
        file->data.resize(end);
    std::memcpy(file->data.data() + file->pos, buffer, static_cast<size_t>(size));
    file->pos = end;
    return size;
}

toff_t memSeek(thandle_t h, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(h);
    int64_t base = whence == SEEK_CUR   ? static_cast<int64_t>(file->pos)
                   : whence == SEEK_END ? static_cast<int64_t>(file->data.size())
                                        : 0;
    int64_t target = base + static_cast<int64_t>(offset);
    if (target < 0)
        return static_cast<toff_t>(-1);
    file->pos = static_cast<uint64_t>(target);
    return file->pos;
}

int memClose(thandle_t) {
    return 0;
}

toff_t memSize(thandle_t h) {
    return static_cast<MemoryFile*>(h)->data.size();
}

int memMap(thandle_t, void**, toff_t*) {
    return 0;
}

void memUnmap(thandle_t, void*, toff_t) {}

TIFF* openMemory(MemoryFile& file, const char* mode) {
    file.pos = 0;
    return TIFFClientOpen("ccitt", mode, &file, memRead, memWrite, memSeek, memClose, memSize,
                          memMap, memUnmap);
}

struct TiffCloser {
    void operator()(TIFF* tif) const {
        if (tif)
            TIFFClose(tif);
    }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

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
