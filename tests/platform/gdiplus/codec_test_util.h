#pragma once

// Helpers shared by the codec tests: frames from patterns and back.

#include "platform/gdiplus/codec_internal.h"
#include "tests/support/gdiplus_codec_fixtures.h"

#include <cstdlib>

namespace gp::test {

inline Rgba toRgba(const FrameData& f) {
    Rgba out;
    out.width = f.width;
    out.height = f.height;
    out.pixels.resize(size_t(f.width) * size_t(f.height) * 4);
    std::vector<uint8_t> bgra(size_t(f.width) * 4);
    for (int y = 0; y < f.height; ++y) {
        codec::rowToBgra(f, y, bgra.data());
        for (int x = 0; x < f.width; ++x) {
            uint8_t* p = out.at(x, y);
            p[0] = bgra[4 * x + 2];
            p[1] = bgra[4 * x + 1];
            p[2] = bgra[4 * x];
            p[3] = bgra[4 * x + 3];
        }
    }
    return out;
}

// Largest channel difference; pixels transparent in both compare on alpha only.
inline int maxDifference(const Rgba& a, const Rgba& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size())
        return 1000;
    int worst = 0;
    for (size_t i = 0; i < a.pixels.size(); i += 4) {
        int channels = a.pixels[i + 3] == 0 && b.pixels[i + 3] == 0 ? 0 : 3;
        for (int c = 0; c < channels; ++c)
            worst = std::max(worst, std::abs(int(a.pixels[i + c]) - int(b.pixels[i + c])));
        worst = std::max(worst, std::abs(int(a.pixels[i + 3]) - int(b.pixels[i + 3])));
    }
    return worst;
}

// Average channel difference over R, G and B.
inline double meanDifference(const Rgba& a, const Rgba& b) {
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty())
        return 1000;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            sum += std::abs(int(a.pixels[i + c]) - int(b.pixels[i + c]));
    return sum / (double(a.pixels.size()) / 4 * 3);
}

// A frame in `format` holding the pattern (indexed formats by nearest palette entry).
inline FrameData makeFrame(const Rgba& p, PixelFormat format) {
    FrameData f;
    f.width = p.width;
    f.height = p.height;
    f.format = format;
    f.stride = codec::strideFor(p.width, format);
    f.pixels.assign(size_t(f.stride) * size_t(p.height), 0);
    if (format == PixelFormat8bppIndexed)
        f.palette = codec::greyPalette(256);
    else if (format == PixelFormat4bppIndexed)
        f.palette = codec::halftonePalette16();
    else if (format == PixelFormat1bppIndexed)
        f.palette = codec::greyPalette(2);
    for (int y = 0; y < p.height; ++y) {
        uint8_t* row = codec::rowOf(f, y);
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* s = p.at(x, y);
            switch (format) {
            case PixelFormat24bppRGB:
                row[3 * x] = s[2], row[3 * x + 1] = s[1], row[3 * x + 2] = s[0];
                break;
            case PixelFormat32bppARGB:
            case PixelFormat32bppRGB:
                row[4 * x] = s[2], row[4 * x + 1] = s[1], row[4 * x + 2] = s[0];
                row[4 * x + 3] = format == PixelFormat32bppRGB ? 255 : s[3];
                break;
            case PixelFormat48bppRGB:
                for (int c = 0; c < 3; ++c) {
                    uint16_t v = uint16_t(s[2 - c] * 257);
                    std::memcpy(row + 6 * x + 2 * c, &v, 2);
                }
                break;
            default: {
                int index = codec::nearestIndex(f.palette, s[0], s[1], s[2]);
                if (format == PixelFormat8bppIndexed)
                    row[x] = uint8_t(index);
                else if (format == PixelFormat4bppIndexed)
                    row[x >> 1] |= (x & 1) ? uint8_t(index) : uint8_t(index << 4);
                else if (index)
                    row[x >> 3] |= uint8_t(0x80 >> (x & 7));
            }
            }
        }
    }
    return f;
}

inline const win::Guid& encoderFor(const char* description) {
    for (const CodecInfo& info : encoderList())
        if (std::string(info.formatDescription) == description)
            return info.clsid;
    static const win::Guid none{};
    return none;
}

// One Long parameter.
struct OneParameter {
    EncoderParameters block;
    uint32_t value;
    OneParameter(const OneParameter&) = delete;
    OneParameter(const win::Guid& guid, uint32_t v) : value(v) {
        block.Count = 1;
        block.Parameter[0].Guid = guid;
        block.Parameter[0].NumberOfValues = 1;
        block.Parameter[0].Type = EncoderParameterValueTypeLong;
        block.Parameter[0].Value = &value;
    }
};

} // namespace gp::test
