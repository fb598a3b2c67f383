#include "platform/win/gdi_metafile.h"

#include "platform/win/handles.h"

#include <cstring>
#include <memory>

namespace win {

namespace {

struct MetafileObject {
    std::vector<uint8_t> bytes;
};

HandleTable<MetafileObject>& wmfTable() {
    static HandleTable<MetafileObject> t(HandleKind::GdiMetafile);
    return t;
}

HandleTable<MetafileObject>& emfTable() {
    static HandleTable<MetafileObject> t(HandleKind::GdiEnhMetafile);
    return t;
}

uint32_t read32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint16_t read16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

uint32_t add(HandleTable<MetafileObject>& table, const uint8_t* data, size_t size) {
    try {
        auto o = std::make_unique<MetafileObject>();
        o->bytes.assign(data, data + size);
        return table.add(std::move(o));
    } catch (...) {
        return 0;
    }
}

uint32_t copyOut(HandleTable<MetafileObject>& table, uint32_t h, uint32_t size, void* buffer) {
    MetafileObject* o = table.get(h);
    if (!o)
        return 0;
    if (!buffer)
        return uint32_t(o->bytes.size());
    if (size < o->bytes.size())
        return 0;
    std::memcpy(buffer, o->bytes.data(), o->bytes.size());
    return uint32_t(o->bytes.size());
}

} // namespace

HMETAFILE SetMetaFileBitsEx(uint32_t size, const uint8_t* data) {
    if (!data)
        return 0;
    if (size >= 22 && read32(data) == 0x9AC6CDD7u) {
        data += 22;
        size -= 22;
    }
    if (size < 18)
        return 0;
    uint16_t type = read16(data), headerWords = read16(data + 2);
    if ((type != 1 && type != 2) || headerWords != 9)
        return 0;
    return add(wmfTable(), data, size);
}

HENHMETAFILE SetEnhMetaFileBits(uint32_t size, const uint8_t* data) {
    if (!data || size < 88 || read32(data) != 1 || read32(data + 40) != 0x464D4520u)
        return 0;
    return add(emfTable(), data, size);
}

uint32_t GetMetaFileBitsEx(HMETAFILE metafile, uint32_t size, void* buffer) {
    return copyOut(wmfTable(), metafile, size, buffer);
}

uint32_t GetEnhMetaFileBits(HENHMETAFILE metafile, uint32_t size, uint8_t* buffer) {
    return copyOut(emfTable(), metafile, size, buffer);
}

HMETAFILE CopyMetaFile(HMETAFILE metafile) {
    MetafileObject* o = wmfTable().get(metafile);
    return o ? add(wmfTable(), o->bytes.data(), o->bytes.size()) : 0;
}

HENHMETAFILE CopyEnhMetaFile(HENHMETAFILE metafile) {
    MetafileObject* o = emfTable().get(metafile);
    return o ? add(emfTable(), o->bytes.data(), o->bytes.size()) : 0;
}

BOOL DeleteMetaFile(HMETAFILE metafile) {
    return wmfTable().remove(metafile) ? 1 : 0;
}
BOOL DeleteEnhMetaFile(HENHMETAFILE metafile) {
    return emfTable().remove(metafile) ? 1 : 0;
}

bool metafileBytes(HMETAFILE metafile, std::vector<uint8_t>* bytes) {
    MetafileObject* o = wmfTable().get(metafile);
    if (!o)
        return false;
    if (bytes)
        *bytes = o->bytes;
    return true;
}

bool enhMetafileBytes(HENHMETAFILE metafile, std::vector<uint8_t>* bytes) {
    MetafileObject* o = emfTable().get(metafile);
    if (!o)
        return false;
    if (bytes)
        *bytes = o->bytes;
    return true;
}

bool enhMetafileFrame(HENHMETAFILE metafile, int32_t frame[4]) {
    MetafileObject* o = emfTable().get(metafile);
    if (!o)
        return false;
    std::memcpy(frame, o->bytes.data() + 24, 16);
    return true;
}

size_t liveMetafileCount() {
    return wmfTable().size() + emfTable().size();
}

} // namespace win
