// Decoding and encoding through the codec registry next to the same library called
// directly, in the same run: a 24-megapixel baseline JPEG, a 24-megapixel PNG and a
// 200-page bilevel G4 TIFF. Each case reports ours_ms, direct_ms and their ratio (the goal
// is at most 1.05); decodes also report the frame bytes and the peak memory of one decode
// against a 32bppARGB frame of that size (the goal is at most 1.2).

#include "platform/gdiplus/codec_internal.h"
#include "platform/gdiplus/codec_registry.h"
#include "platform/gdiplus/codec_tiff_io.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <jpeglib.h>
#include <png.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 6000, kHeight = 4000; // 24 MP
constexpr int kPageWidth = 1728, kPageHeight = 2339, kPages = 200;

gp::FrameData makeRgbFrame() {
    gp::FrameData f;
    gp::codec::allocateFrame(f, kWidth, kHeight, gp::PixelFormat24bppRGB);
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = gp::codec::rowOf(f, y);
        for (int x = 0; x < kWidth; ++x) {
            row[3 * x] = uint8_t(x * 255 / kWidth);
            row[3 * x + 1] = uint8_t(y * 255 / kHeight);
            row[3 * x + 2] = uint8_t((x ^ y) & 0x3F) + uint8_t((x / 64 + y / 64) % 2 * 128);
        }
    }
    return f;
}

const gp::FrameData& rgbFrame() {
    static const gp::FrameData frame = makeRgbFrame();
    return frame;
}

// A fax-like page: text-like runs of black on white.
gp::FrameData makePage(int seed) {
    gp::FrameData f;
    gp::codec::allocateFrame(f, kPageWidth, kPageHeight, gp::PixelFormat1bppIndexed);
    f.palette = gp::codec::greyPalette(2);
    std::fill(f.pixels.begin(), f.pixels.end(), 0xFF);
    uint32_t state = uint32_t(seed) * 2654435761u + 1;
    for (int y = 100; y < kPageHeight - 100; ++y) {
        if ((y / 24) % 2)
            continue; // line spacing
        uint8_t* row = gp::codec::rowOf(f, y);
        for (int x = 100; x < kPageWidth - 100; x += 8) {
            state = state * 1664525u + 1013904223u;
            if ((state >> 29) < 3)
                row[x / 8] = uint8_t(state >> 13);
        }
    }
    return f;
}

const std::vector<gp::FrameData>& pages() {
    static const std::vector<gp::FrameData> all = [] {
        std::vector<gp::FrameData> v;
        for (int i = 0; i < kPages; ++i)
            v.push_back(makePage(i));
        return v;
    }();
    return all;
}

// ---------------------------------------------------------------------------------------
// Direct library calls, each into a fresh buffer as a real load would use.

std::vector<uint8_t> libjpegEncode(const gp::FrameData& f, int quality) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(f.width);
    c.image_height = JDIMENSION(f.height);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(gp::codec::rowOf(f, int32_t(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

void libjpegDecode(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& pixels) {
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&d);
    const size_t stride = (size_t(d.output_width) * 3 + 3) & ~size_t(3);
    pixels.resize(stride * d.output_height);
    while (d.output_scanline < d.output_height) {
        JSAMPROW row = pixels.data() + stride * d.output_scanline;
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
}

void pngWrite(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

std::vector<uint8_t> libpngEncode(const gp::FrameData& f) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, pngWrite, nullptr);
    png_set_IHDR(png, info, png_uint_32(f.width), png_uint_32(f.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_set_pHYs(png, info, 3780, 3780, PNG_RESOLUTION_METER);
    png_set_bgr(png);
    png_write_info(png, info);
    for (int y = 0; y < f.height; ++y)
        png_write_row(png, gp::codec::rowOf(f, y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

struct PngInput {
    const std::vector<uint8_t>* data;
    size_t pos;
};

void pngRead(png_structp png, png_bytep out, size_t length) {
    auto* in = static_cast<PngInput*>(png_get_io_ptr(png));
    std::memcpy(out, in->data->data() + in->pos, length);
    in->pos += length;
}

void libpngDecode(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& pixels) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    PngInput in{&bytes, 0};
    png_set_read_fn(png, &in, pngRead);
    png_read_info(png, info);
    png_set_bgr(png);
    png_read_update_info(png, info);
    const png_uint_32 h = png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    const size_t stride = (rowBytes + 3) & ~size_t(3);
    pixels.resize(stride * h);
    std::vector<png_bytep> rows(h);
    for (png_uint_32 y = 0; y < h; ++y)
        rows[y] = pixels.data() + stride * y;
    png_read_image(png, rows.data());
    png_read_end(png, info);
    png_destroy_read_struct(&png, &info, nullptr);
}

void libtiffWritePage(TIFF* tif, const gp::FrameData& f) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(f.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(f.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(f.height));
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 200.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 200.0f);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    for (int y = 0; y < f.height; ++y)
        TIFFWriteScanline(tif, const_cast<uint8_t*>(gp::codec::rowOf(f, y)), uint32_t(y), 0);
    TIFFWriteDirectory(tif);
}

std::vector<uint8_t> libtiffWriteAll() {
    std::vector<uint8_t> out;
    gp::codec::TiffMemory memory;
    memory.output = &out;
    TIFF* tif = gp::codec::openTiff(memory, "w");
    for (const gp::FrameData& page : pages())
        libtiffWritePage(tif, page);
    TIFFClose(tif);
    return out;
}

// Keeps every page, as loading a multi-page file into a bitmap does.
void libtiffDecodeAll(const std::vector<uint8_t>& bytes, std::vector<std::vector<uint8_t>>& pages) {
    gp::codec::TiffMemory memory{bytes};
    TIFF* tif = gp::codec::openTiff(memory, "rm");
    do {
        uint32_t w = 0, h = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
        const size_t line = size_t(TIFFScanlineSize(tif));
        const size_t stride = (line + 3) & ~size_t(3);
        std::vector<uint8_t> strip(line * h);
        std::vector<uint8_t>& pixels = pages.emplace_back(stride * h, 0);
        for (tstrip_t s = 0; s < TIFFNumberOfStrips(tif); ++s)
            TIFFReadEncodedStrip(tif, s, strip.data(), tmsize_t(strip.size()));
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(pixels.data() + stride * y, strip.data() + line * y, line);
    } while (TIFFReadDirectory(tif));
    TIFFClose(tif);
}

// ---------------------------------------------------------------------------------------

long statusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

// Peak memory a decode adds, measured in a child process (its high-water mark against the
// resident size it started with), over the size of a 32bppARGB frame of the image.
double peakDecodeVsArgb(const std::vector<uint8_t>& file) {
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::ofstream("/proc/self/clear_refs") << "5"; // resets the high-water mark
        const long before = statusKb("VmRSS:");
        gp::DecodedImage image;
        gp::decodeImage(file, image);
        const long peak = statusKb("VmHWM:");
        const double ratio = double(peak - before) * 1024.0 / (double(kWidth) * kHeight * 4);
        (void)!write(fds[1], &ratio, sizeof ratio);
        _exit(0);
    }
    close(fds[1]);
    double ratio = -1;
    if (read(fds[0], &ratio, sizeof ratio) != sizeof ratio)
        ratio = -1;
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return ratio;
}

const win::Guid& clsid(const char* description) {
    for (const gp::CodecInfo& info : gp::encoderList())
        if (std::string(info.formatDescription) == description)
            return info.clsid;
    std::abort();
}

// Runs ours and the direct call alternately, so that both see the same machine state.
void compare(benchmark::State& state, const std::function<void()>& ours,
             const std::function<void()>& direct, double decodedBytes = 0) {
    double oursTotal = 0, directTotal = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        ours();
        auto t1 = Clock::now();
        direct();
        auto t2 = Clock::now();
        oursTotal += std::chrono::duration<double, std::milli>(t1 - t0).count();
        directTotal += std::chrono::duration<double, std::milli>(t2 - t1).count();
    }
    const double n = double(state.iterations());
    state.counters["ours_ms"] = oursTotal / n;
    state.counters["direct_ms"] = directTotal / n;
    state.counters["ratio"] = oursTotal / directTotal;
    if (decodedBytes > 0)
        state.counters["frame_vs_argb"] = decodedBytes;
}

void BM_Jpeg24MPDecode(benchmark::State& state) {
    static const std::vector<uint8_t> file = libjpegEncode(rgbFrame(), 90);
    double bytes = 0;
    compare(
        state,
        [&] {
            gp::DecodedImage image;
            if (gp::decodeImage(file, image) != gp::Ok)
                state.SkipWithError("decode failed");
            bytes = double(image.frames[0].pixels.size()) / (double(kWidth) * kHeight * 4);
            benchmark::DoNotOptimize(image);
        },
        [&] {
            std::vector<uint8_t> fresh;
            libjpegDecode(file, fresh);
            benchmark::DoNotOptimize(fresh);
        },
        0);
    state.counters["frame_vs_argb"] = bytes;
    state.counters["peak_vs_argb"] = peakDecodeVsArgb(file);
}

void BM_Jpeg24MPEncode(benchmark::State& state) {
    compare(
        state,
        [&] {
            std::vector<uint8_t> out;
            gp::encodeImage(clsid("JPEG"), rgbFrame(), nullptr, out);
            benchmark::DoNotOptimize(out);
        },
        [&] { benchmark::DoNotOptimize(libjpegEncode(rgbFrame(), 75)); });
}

void BM_Png24MPDecode(benchmark::State& state) {
    static const std::vector<uint8_t> file = libpngEncode(rgbFrame());
    double bytes = 0;
    compare(
        state,
        [&] {
            gp::DecodedImage image;
            if (gp::decodeImage(file, image) != gp::Ok)
                state.SkipWithError("decode failed");
            bytes = double(image.frames[0].pixels.size()) / (double(kWidth) * kHeight * 4);
            benchmark::DoNotOptimize(image);
        },
        [&] {
            std::vector<uint8_t> fresh;
            libpngDecode(file, fresh);
            benchmark::DoNotOptimize(fresh);
        });
    state.counters["frame_vs_argb"] = bytes;
    state.counters["peak_vs_argb"] = peakDecodeVsArgb(file);
}

void BM_Png24MPEncode(benchmark::State& state) {
    compare(
        state,
        [&] {
            std::vector<uint8_t> out;
            gp::encodeImage(clsid("PNG"), rgbFrame(), nullptr, out);
            benchmark::DoNotOptimize(out);
        },
        [&] { benchmark::DoNotOptimize(libpngEncode(rgbFrame())); });
}

void BM_Tiff200PageG4Decode(benchmark::State& state) {
    static const std::vector<uint8_t> file = libtiffWriteAll();
    compare(
        state,
        [&] {
            gp::DecodedImage image;
            if (gp::decodeImage(file, image) != gp::Ok || image.frames.size() != kPages)
                state.SkipWithError("decode failed");
            benchmark::DoNotOptimize(image);
        },
        [&] {
            std::vector<std::vector<uint8_t>> fresh;
            libtiffDecodeAll(file, fresh);
            benchmark::DoNotOptimize(fresh);
        });
}

// Our encoder writes one page per call (the active frame), so both sides write each page
// as its own single-page file.
void BM_Tiff200PageG4Encode(benchmark::State& state) {
    compare(
        state,
        [&] {
            for (const gp::FrameData& page : pages()) {
                std::vector<uint8_t> out;
                gp::encodeImage(clsid("TIFF"), page, nullptr, out);
                benchmark::DoNotOptimize(out);
            }
        },
        [&] {
            for (const gp::FrameData& page : pages()) {
                std::vector<uint8_t> out;
                gp::codec::TiffMemory memory;
                memory.output = &out;
                TIFF* tif = gp::codec::openTiff(memory, "w");
                libtiffWritePage(tif, page);
                TIFFClose(tif);
                benchmark::DoNotOptimize(out);
            }
        });
}

BENCHMARK(BM_Jpeg24MPDecode)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Jpeg24MPEncode)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Png24MPDecode)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Png24MPEncode)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Tiff200PageG4Decode)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Tiff200PageG4Encode)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
