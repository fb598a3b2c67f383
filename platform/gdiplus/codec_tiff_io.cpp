#include "platform/gdiplus/codec_tiff_io.h"

#include <algorithm>
#include <cstring>

namespace gp::codec {

namespace {

tmsize_t readProc(thandle_t h, void* buf, tmsize_t size) {
    auto* m = static_cast<TiffMemory*>(h);
    uint64_t available = m->output ? m->output->size() : m->input.size();
    if (m->pos >= available || size <= 0)
        return 0;
    uint64_t n = std::min<uint64_t>(uint64_t(size), available - m->pos);
    const uint8_t* base = m->output ? m->output->data() : m->input.data();
    std::memcpy(buf, base + m->pos, size_t(n));
    m->pos += n;
    return tmsize_t(n);
}

tmsize_t writeProc(thandle_t h, void* buf, tmsize_t size) {
    auto* m = static_cast<TiffMemory*>(h);
    if (!m->output || size < 0)
        return -1;
    uint64_t end = m->pos + uint64_t(size);
    // Called from inside libtiff: no exception may leave it.
    try {
        if (end > m->output->size())
            m->output->resize(size_t(end));
    } catch (...) {
        return -1;
    }
    std::memcpy(m->output->data() + m->pos, buf, size_t(size));
    m->pos = end;
    return size;
}

toff_t seekProc(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<TiffMemory*>(h);
    uint64_t size = m->output ? m->output->size() : m->input.size();
    int64_t base = whence == SEEK_CUR ? int64_t(m->pos) : whence == SEEK_END ? int64_t(size) : 0;
    int64_t target = base + int64_t(off);
    if (target < 0)
        return toff_t(-1);
    m->pos = uint64_t(target);
    return m->pos;
}

int closeProc(thandle_t) {
    return 0;
}

toff_t sizeProc(thandle_t h) {
    auto* m = static_cast<TiffMemory*>(h);
    return m->output ? m->output->size() : m->input.size();
}

int mapProc(thandle_t h, void** base, toff_t* size) {
    auto* m = static_cast<TiffMemory*>(h);
    if (m->output)
        return 0;
    *base = const_cast<uint8_t*>(m->input.data());
    *size = m->input.size();
    return 1;
}

void unmapProc(thandle_t, void*, toff_t) {}

int quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

} // namespace

TIFF* openTiff(TiffMemory& memory, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quiet, nullptr);
    // A single allocation above 1.5 GiB only comes from a hostile header.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(3) << 29);
    TIFF* tif = TIFFClientOpenExt("memory", mode, &memory, readProc, writeProc, seekProc, closeProc,
                                  sizeProc, mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

} // namespace gp::codec
