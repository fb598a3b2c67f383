#pragma once

// Fixture makers for the codec tests: synthetic pixel patterns, and ImageMagick (`convert`)
// as an independent writer and reader of image files.

#include <cstdint>
#include <string>
#include <vector>

namespace gp::test {

// Straight-alpha R,G,B,A pixels, rows top-down.
struct Rgba {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    uint8_t* at(int x, int y) {
        return pixels.data() + (size_t(y) * size_t(width) + size_t(x)) * 4;
    }
    const uint8_t* at(int x, int y) const {
        return pixels.data() + (size_t(y) * size_t(width) + size_t(x)) * 4;
    }
};

// A colourful gradient pattern with diagonal detail; `alpha` adds an alpha ramp with some
// fully transparent pixels.
Rgba makePattern(int width, int height, bool alpha = false);

// A fresh directory for one test's files, removed by the caller's test fixture if wanted.
std::string scratchDir();

std::vector<uint8_t> readBytes(const std::string& path);
bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Runs `convert <arguments>` (a shell command line); true on exit status 0.
bool runConvert(const std::string& arguments);

// Writes `pattern` as a raw RGBA file and converts it with `options` into `outputTarget`
// (for example "-type palette BMP3:x.bmp"); returns the file bytes (empty on failure).
std::vector<uint8_t> magickEncode(const Rgba& pattern, const std::string& options,
                                  const std::string& outputTarget);

// Decodes `bytes` (with `inputPrefix` such as "gif:" when needed) with ImageMagick into
// 8-bit RGBA; the frame `frame` of multi-frame files. False when ImageMagick fails.
bool magickDecode(const std::vector<uint8_t>& bytes, Rgba& out, const std::string& inputPrefix = "",
                  int frame = 0);

// Runs `identify -format <format>` on the bytes and returns what it prints.
std::string magickIdentify(const std::vector<uint8_t>& bytes, const std::string& format);

} // namespace gp::test

namespace gp::test {

// Every frame of an animation or multi-page file, coalesced (each frame as it is shown).
std::vector<Rgba> magickDecodeAll(const std::vector<uint8_t>& bytes, bool coalesce);

// Runs `convert <arguments> <file>` and returns the file bytes (`extension` picks the format).
std::vector<uint8_t> magickMake(const std::string& arguments, const std::string& extension);

} // namespace gp::test

namespace gp::test {

// A PNG written with libpng directly: any colour type and bit depth, optionally Adam7 and
// with a tRNS chunk (palette alphas or a colour key). Pixels are a deterministic pattern.
std::vector<uint8_t> libpngFixture(int colorType, int bitDepth, bool interlace, bool trns,
                                   int width = 23, int height = 17);

// A single-page TIFF written with libtiff directly. `photometric`, `bitsPerSample`,
// `samples` and `compression` are libtiff values; `tileSize` > 0 writes tiles of that size.
std::vector<uint8_t> libtiffFixture(int photometric, int bitsPerSample, int samples,
                                    int compression, int tileSize = 0, int width = 37,
                                    int height = 29);

} // namespace gp::test
