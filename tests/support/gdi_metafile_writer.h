#pragma once

// Writers of small WMF and EMF files for tests and fuzz seeds: records are appended one
// by one and the headers are filled in at the end.

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class WmfWriter {
public:
    // A record: function number and parameter words in file order.
    void record(uint16_t function, const std::vector<int16_t>& params);
    void setWindowOrg(int16_t x, int16_t y) { record(0x020B, {y, x}); }
    void setWindowExt(int16_t x, int16_t y) { record(0x020C, {y, x}); }
    void createBrush(uint32_t colorref, uint16_t style = 0);
    void createPen(uint16_t style, int16_t width, uint32_t colorref);
    void createFont(int16_t height, int16_t weight = 400);
    void selectObject(uint16_t index) { record(0x012D, {int16_t(index)}); }
    void deleteObject(uint16_t index) { record(0x01F0, {int16_t(index)}); }
    void rectangle(int16_t l, int16_t t, int16_t r, int16_t b) { record(0x041B, {b, r, t, l}); }
    void ellipse(int16_t l, int16_t t, int16_t r, int16_t b) { record(0x0418, {b, r, t, l}); }
    void setTextColor(uint32_t colorref);
    void setBkMode(int16_t mode) { record(0x0102, {mode}); }
    void textOut(int16_t x, int16_t y, const std::string& text);

    // The file: with a placeable header (bounding box in logical units, units per inch)
    // or, when `inch` is 0, the bare metafile.
    std::vector<uint8_t> bytes(int16_t left, int16_t top, int16_t right, int16_t bottom,
                               uint16_t inch) const;

private:
    std::vector<uint8_t> m_records;
    uint16_t m_objects = 0;
    uint32_t m_maxRecord = 0;
};

class EmfWriter {
public:
    // Frame in 0.01 mm; reference device size in pixels and millimetres.
    EmfWriter(int32_t frameRight, int32_t frameBottom, int32_t devicePxX, int32_t devicePxY,
              int32_t deviceMmX, int32_t deviceMmY);

    // A record of 32-bit fields after type and size.
    void record(uint32_t type, const std::vector<int32_t>& fields);
    void rawRecord(uint32_t type, const std::vector<uint8_t>& payload);
    void createBrush(uint32_t index, uint32_t colorref, uint32_t style = 0) {
        record(39, {int32_t(index), int32_t(style), int32_t(colorref), 0});
    }
    void createPen(uint32_t index, uint32_t style, int32_t width, uint32_t colorref) {
        record(38, {int32_t(index), int32_t(style), width, 0, int32_t(colorref)});
    }
    void selectObject(uint32_t index) { record(37, {int32_t(index)}); }
    void rectangle(int32_t l, int32_t t, int32_t r, int32_t b) { record(43, {l, t, r, b}); }
    void ellipse(int32_t l, int32_t t, int32_t r, int32_t b) { record(42, {l, t, r, b}); }
    void polygon16(const std::vector<int16_t>& xy);
    void setTextColor(uint32_t colorref) { record(24, {int32_t(colorref)}); }
    void setBkMode(int32_t mode) { record(18, {mode}); }
    void font(uint32_t index, int32_t height);
    void textOutW(int32_t x, int32_t y, const std::u16string& text);
    // A 32-bpp DIB (pixels 0x00RRGGBB, rows top-down) stretched into a rectangle.
    void stretchDib(int32_t x, int32_t y, int32_t w, int32_t h, int32_t dibW, int32_t dibH,
                    const std::vector<uint32_t>& pixels);

    std::vector<uint8_t> bytes() const;

private:
    int32_t m_frame[2];
    int32_t m_devicePx[2];
    int32_t m_deviceMm[2];
    std::vector<uint8_t> m_records;
    uint32_t m_count = 0;
};

// Writes bytes to a new file in the temporary folder and returns its path.
std::string writeTempFile(const std::vector<uint8_t>& bytes, const std::string& suffix);

} // namespace testsupport
