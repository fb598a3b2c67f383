#include "core/filter_access.h"
#include "core/image_convert.h"
#include "core/image_info.h"
#include "core/image_load.h"
#include "core/quennet_status.h"
#include "platform/win/vb_number.h"

#include <cstring>
#include <vector>

namespace tavimo {

namespace {

constexpr uint32_t kOpaqueWhite = 0xFFFFFFFFu;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kMaskBytes = 12;

// Holds one lock on a global memory block for a scope.
class BlockLock {
public:
    explicit BlockLock(win::HGLOBAL memory) : m_memory(memory) {
        m_address = static_cast<uint8_t*>(win::GlobalLock(memory));
    }
    ~BlockLock() {
        if (m_address)
            win::GlobalUnlock(m_memory);
    }
    BlockLock(const BlockLock&) = delete;
    BlockLock& operator=(const BlockLock&) = delete;
    uint8_t* address() const { return m_address; }

private:
    win::HGLOBAL m_memory;
    uint8_t* m_address = nullptr;
};

// Where the parts of a packed DIB lie. The bits follow the real header (40 bytes or one
// of the longer versions), the three masks of a 40-byte BI_BITFIELDS header, and a colour
// table of biClrUsed entries (2^bpp when 0, none above 8 bpp).
struct DibLayout {
    uint32_t masks = 0;   // bytes of masks behind a 40-byte header
    uint32_t colours = 0; // colour table entries
    size_t bitsOffset = 0;
    size_t bitsBytes = 0; // for uncompressed layouts
};

bool layoutOf(const win::BITMAPINFOHEADER& h, size_t blockSize, DibLayout& out) {
    if (h.biSize < kInfoHeaderSize || h.biSize > blockSize)
        return false;
    if (h.biCompression == win::BI_BITFIELDS && h.biSize == kInfoHeaderSize)
        out.masks = kMaskBytes;
    if (h.biClrUsed != 0)
        out.colours = h.biClrUsed;
    else if (h.biBitCount >= 1 && h.biBitCount <= 8)
        out.colours = 1u << h.biBitCount;
    if (out.colours > 65536)
        return false;
    out.bitsOffset = size_t{h.biSize} + out.masks + size_t{4} * out.colours;
    if (out.bitsOffset > blockSize)
        return false;
    if (h.biCompression == win::BI_RGB || h.biCompression == win::BI_BITFIELDS) {
        if (h.biWidth < 1 || h.biHeight == 0 || h.biBitCount == 0)
            return true; // GDI+ refuses these with its own status
        uint64_t rowBytes = (uint64_t(uint32_t(h.biWidth)) * h.biBitCount + 31) / 32 * 4;
        uint64_t rows = h.biHeight < 0 ? uint64_t(-int64_t(h.biHeight)) : uint64_t(h.biHeight);
        uint64_t bits = rowBytes * rows;
        if (bits > blockSize - out.bitsOffset)
            return false;
        out.bitsBytes = static_cast<size_t>(bits);
    }
    return true;
}

// dpi from pixels per metre, whole or to three decimals, halves to even.
float dpiFromPelsPerMetre(int32_t ppm, bool wholeDpi) {
    double dpi = static_cast<double>(ppm) / 100.0 * 2.54;
    return static_cast<float>(wholeDpi ? win::roundHalfEven(dpi) : win::roundHalfEven(dpi, 3));
}

// A white-first 1 bpp bitmap becomes black-first: the palette is swapped and every bit
// inverted through the filter engine, so the picture looks the same. Only the exact
// [opaque white, opaque black] palette is rewritten; any other is left alone.
void makeBlackFirst(ImageId id) {
    gp::Palette palette;
    if (ReadImagePalette(id, palette) != OK || palette.entries.size() != 2 ||
        palette.entries[0] != kOpaqueWhite || palette.entries[1] != kOpaqueBlack)
        return;
    gp::Palette blackFirst = palette;
    blackFirst.entries = {kOpaqueBlack, kOpaqueWhite};
    if (WriteImagePalette(id, blackFirst) != OK)
        return;
    int32_t width = 0, height = 0;
    GetImageWidth(id, width);
    GetImageHeight(id, height);
    FilterRect whole{0, 0, width, height};
    double result = 0;
    gp::Status status =
        ApplyFilter(CoreFilterImageAccess(), 2, id, 0, whole, 0, 0.5f, 1.0f, 0, 0, 0, result);
    if (status != gp::Ok)
        WriteImagePalette(id, palette); // the bits are unchanged: keep them readable
    // The picture looks as loaded: the rewrite is no edit of the image.
    ClearImageModified(id);
}

} // namespace

int32_t LoadFromDib(ImageId& id, win::HGLOBAL memory, bool handOver, bool wholeDpi) {
    id = 0;
    if (memory == 0)
        return InvalidParameter;
    try {
        // Only live blocks are read: a stale or forged value is never taken for an address.
        if (!win::GlobalIsHandle(memory))
            return GenericError;
        const size_t blockSize = win::GlobalSize(memory);
        BlockLock lock(memory);
        const uint8_t* base = lock.address();
        if (!base || blockSize < kInfoHeaderSize)
            return GenericError;

        win::BITMAPINFOHEADER header;
        std::memcpy(&header, base, sizeof header);
        DibLayout layout;
        if (!layoutOf(header, blockSize, layout))
            return GenericError;

        // A BITMAPINFO as GDI+ reads it: the 40-byte header, the masks, the colour table.
        const bool bitfields = header.biCompression == win::BI_BITFIELDS;
        const uint32_t tableEntries = header.biBitCount <= 8 ? layout.colours : 0;
        std::vector<uint8_t> info(kInfoHeaderSize + (bitfields ? kMaskBytes : 0) +
                                  size_t{4} * std::max<uint32_t>(tableEntries, 1));
        win::BITMAPINFOHEADER& h = *reinterpret_cast<win::BITMAPINFOHEADER*>(info.data());
        h = header;
        h.biSize = kInfoHeaderSize;
        h.biClrUsed = tableEntries;
        size_t at = kInfoHeaderSize;
        if (bitfields) {
            // The masks sit right behind the first 40 bytes in every header version.
            if (kInfoHeaderSize + kMaskBytes > blockSize)
                return GenericError;
            std::memcpy(info.data() + at, base + kInfoHeaderSize, kMaskBytes);
            at += kMaskBytes;
        }
        std::memcpy(info.data() + at, base + header.biSize + layout.masks,
                    size_t{4} * tableEntries);

        void* bits = const_cast<uint8_t*>(base) + layout.bitsOffset;
        int32_t status =
            CreateBitmapFromGdiDib(reinterpret_cast<const win::BITMAPINFO*>(info.data()), bits, id);
        if (status != OK) {
            id = 0;
            return status;
        }
        if (header.biBitCount == 1)
            makeBlackFirst(id);

        if (handOver)
            SetMemorySource(id, memory);
        float dpiX = dpiFromPelsPerMetre(header.biXPelsPerMeter, wholeDpi);
        float dpiY = dpiFromPelsPerMetre(header.biYPelsPerMeter, wholeDpi);
        if (dpiX > 0 && dpiY > 0)
            SetResolution(id, dpiX, dpiY, true);
        return OK;
    } catch (...) {
        if (id != 0)
            ReleaseImage(id);
        id = 0;
        return GenericError;
    }
}

} // namespace tavimo
