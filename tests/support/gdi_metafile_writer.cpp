#include "tests/support/gdi_metafile_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

namespace testsupport {

namespace {

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, uint16_t(v));
    put16(out, uint16_t(v >> 16));
}

} // namespace

void WmfWriter::record(uint16_t function, const std::vector<int16_t>& params) {
    uint32_t words = uint32_t(3 + params.size());
    put32(m_records, words);
    put16(m_records, function);
    for (int16_t p : params)
        put16(m_records, uint16_t(p));
    if (words > m_maxRecord)
        m_maxRecord = words;
}

void WmfWriter::createBrush(uint32_t colorref, uint16_t style) {
    record(0x02FC, {int16_t(style), int16_t(colorref & 0xFFFF), int16_t(colorref >> 16), 0});
    ++m_objects;
}

void WmfWriter::createPen(uint16_t style, int16_t width, uint32_t colorref) {
    record(0x02FA, {int16_t(style), width, 0, int16_t(colorref & 0xFFFF), int16_t(colorref >> 16)});
    ++m_objects;
}

void WmfWriter::createFont(int16_t height, int16_t weight) {
    std::vector<int16_t> p = {height, 0, 0, 0, weight, 0, 0, 0, 0};
    const char face[] = "Arial";
    std::vector<uint8_t> name(32, 0);
    std::memcpy(name.data(), face, sizeof face);
    for (size_t i = 0; i < name.size(); i += 2)
        p.push_back(int16_t(name[i] | (name[i + 1] << 8)));
    record(0x02FB, p);
    ++m_objects;
}

void WmfWriter::setTextColor(uint32_t colorref) {
    record(0x0209, {int16_t(colorref & 0xFFFF), int16_t(colorref >> 16)});
}

void WmfWriter::textOut(int16_t x, int16_t y, const std::string& text) {
    std::vector<int16_t> p = {int16_t(text.size())};
    std::string padded = text;
    if (padded.size() % 2)
        padded += '\0';
    for (size_t i = 0; i < padded.size(); i += 2)
        p.push_back(int16_t(uint8_t(padded[i]) | (uint8_t(padded[i + 1]) << 8)));
    p.push_back(y);
    p.push_back(x);
    record(0x0521, p);
}

std::vector<uint8_t> WmfWriter::bytes(int16_t left, int16_t top, int16_t right, int16_t bottom,
                                      uint16_t inch) const {
    std::vector<uint8_t> out;
    if (inch) {
        std::vector<uint8_t> h;
        put32(h, 0x9AC6CDD7u);
        put16(h, 0);
        put16(h, uint16_t(left));
        put16(h, uint16_t(top));
        put16(h, uint16_t(right));
        put16(h, uint16_t(bottom));
        put16(h, inch);
        put32(h, 0);
        uint16_t sum = 0;
        for (size_t i = 0; i < 20; i += 2)
            sum ^= uint16_t(h[i] | (h[i + 1] << 8));
        put16(h, sum);
        out = h;
    }
    std::vector<uint8_t> records = m_records;
    put32(records, 3); // META_EOF
    put16(records, 0);
    put16(out, 1); // memory metafile
    put16(out, 9);
    put16(out, 0x0300);
    put32(out, uint32_t(9 + records.size() / 2));
    put16(out, m_objects);
    put32(out, m_maxRecord);
    put16(out, 0);
    out.insert(out.end(), records.begin(), records.end());
    return out;
}

EmfWriter::EmfWriter(int32_t frameRight, int32_t frameBottom, int32_t devicePxX, int32_t devicePxY,
                     int32_t deviceMmX, int32_t deviceMmY)
    : m_frame{frameRight, frameBottom}, m_devicePx{devicePxX, devicePxY}, m_deviceMm{deviceMmX,
                                                                                     deviceMmY} {}

void EmfWriter::record(uint32_t type, const std::vector<int32_t>& fields) {
    put32(m_records, type);
    put32(m_records, uint32_t(8 + 4 * fields.size()));
    for (int32_t f : fields)
        put32(m_records, uint32_t(f));
    ++m_count;
}

void EmfWriter::rawRecord(uint32_t type, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> p = payload;
    while (p.size() % 4)
        p.push_back(0);
    put32(m_records, type);
    put32(m_records, uint32_t(8 + p.size()));
    m_records.insert(m_records.end(), p.begin(), p.end());
    ++m_count;
}

void EmfWriter::polygon16(const std::vector<int16_t>& xy) {
    std::vector<uint8_t> p;
    for (int i = 0; i < 4; ++i)
        put32(p, 0); // bounds
    put32(p, uint32_t(xy.size() / 2));
    for (int16_t v : xy)
        put16(p, uint16_t(v));
    rawRecord(86, p);
}

void EmfWriter::font(uint32_t index, int32_t height) {
    std::vector<uint8_t> p;
    put32(p, index);
    put32(p, uint32_t(height));
    for (int i = 0; i < 3; ++i)
        put32(p, 0);
    put32(p, 400); // weight
    for (int i = 0; i < 8; ++i)
        p.push_back(0);
    const char16_t face[] = u"Arial";
    for (int i = 0; i < 32; ++i)
        put16(p, i < 5 ? uint16_t(face[i]) : 0);
    rawRecord(82, p);
}

void EmfWriter::textOutW(int32_t x, int32_t y, const std::u16string& text) {
    std::vector<uint8_t> p;
    for (int i = 0; i < 4; ++i)
        put32(p, 0); // bounds
    put32(p, 1);     // GM_COMPATIBLE
    put32(p, 0);
    put32(p, 0); // scales
    put32(p, uint32_t(x));
    put32(p, uint32_t(y));
    put32(p, uint32_t(text.size()));
    put32(p, 76); // string offset from the record start
    put32(p, 0);  // options
    for (int i = 0; i < 4; ++i)
        put32(p, 0);
    put32(p, 0); // no spacing array
    for (char16_t ch : text)
        put16(p, uint16_t(ch));
    rawRecord(84, p);
}

void EmfWriter::stretchDib(int32_t x, int32_t y, int32_t w, int32_t h, int32_t dibW, int32_t dibH,
                           const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> p;
    for (int i = 0; i < 4; ++i)
        put32(p, 0); // bounds
    for (int32_t v : {x, y, 0, 0, dibW, dibH})
        put32(p, uint32_t(v));
    const uint32_t offBmi = 80, cbBmi = 40, offBits = offBmi + cbBmi;
    const uint32_t cbBits = uint32_t(dibW * dibH * 4);
    for (uint32_t v : {offBmi, cbBmi, offBits, cbBits, 0u, 0x00CC0020u})
        put32(p, v);
    put32(p, uint32_t(w));
    put32(p, uint32_t(h));
    // BITMAPINFOHEADER, top-down.
    put32(p, 40);
    put32(p, uint32_t(dibW));
    put32(p, uint32_t(-dibH));
    put16(p, 1);
    put16(p, 32);
    for (int i = 0; i < 6; ++i)
        put32(p, 0);
    for (uint32_t px : pixels)
        put32(p, px);
    rawRecord(81, p);
}

std::vector<uint8_t> EmfWriter::bytes() const {
    std::vector<uint8_t> eof;
    put32(eof, 14);
    put32(eof, 20);
    put32(eof, 0);
    put32(eof, 16);
    put32(eof, 20);
    std::vector<uint8_t> out;
    put32(out, 1);
    put32(out, 88);
    // Bounds in reference pixels, frame in 0.01 mm.
    int32_t bx = int32_t(int64_t(m_frame[0]) * m_devicePx[0] / (m_deviceMm[0] * 100));
    int32_t by = int32_t(int64_t(m_frame[1]) * m_devicePx[1] / (m_deviceMm[1] * 100));
    for (int32_t v : {0, 0, bx, by, 0, 0, m_frame[0], m_frame[1]})
        put32(out, uint32_t(v));
    put32(out, 0x464D4520u);
    put32(out, 0x10000);
    put32(out, uint32_t(88 + m_records.size() + eof.size()));
    put32(out, m_count + 2);
    put16(out, 16);
    put16(out, 0);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);
    for (int32_t v : {m_devicePx[0], m_devicePx[1], m_deviceMm[0], m_deviceMm[1]})
        put32(out, uint32_t(v));
    out.insert(out.end(), m_records.begin(), m_records.end());
    out.insert(out.end(), eof.begin(), eof.end());
    return out;
}

std::string writeTempFile(const std::vector<uint8_t>& bytes, const std::string& suffix) {
    const char* dir = std::getenv("TMPDIR");
    std::string templ = std::string(dir && *dir ? dir : "/tmp") + "/tavimo-test-XXXXXX" + suffix;
    std::vector<char> name(templ.begin(), templ.end());
    name.push_back('\0');
    int fd = mkstemps(name.data(), int(suffix.size()));
    if (fd < 0)
        throw std::runtime_error("cannot create a temporary file");
    close(fd);
    std::ofstream out(name.data(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return name.data();
}

} // namespace testsupport
