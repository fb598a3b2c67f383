#include "tests/support/gdiplus_codec_fixtures.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace gp::test {

namespace {

std::string quoteArg(const std::string& s) {
    return "'" + s + "'";
}

std::string nextName(const std::string& suffix) {
    static std::atomic<int> counter{0};
    return scratchDir() + "/f" + std::to_string(counter++) + suffix;
}

} // namespace

Rgba makePattern(int width, int height, bool alpha) {
    Rgba p;
    p.width = width;
    p.height = height;
    p.pixels.resize(size_t(width) * size_t(height) * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* px = p.at(x, y);
            px[0] = uint8_t(x * 255 / std::max(1, width - 1));
            px[1] = uint8_t(y * 255 / std::max(1, height - 1));
            px[2] = uint8_t(((x + y) % 8) * 32);
            px[3] = alpha ? uint8_t((x * 7 + y * 3) % 5 == 0 ? 0 : 128 + (x % 64) * 2) : 255;
        }
    return p;
}

std::string scratchDir() {
    static const std::string dir = [] {
        std::string base = std::filesystem::temp_directory_path().string() + "/tavimo-codec-" +
                           std::to_string(::getpid());
        std::filesystem::create_directories(base);
        return base;
    }();
    return dir;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

bool runConvert(const std::string& arguments) {
    std::string command = "convert " + arguments + " 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

std::vector<uint8_t> magickEncode(const Rgba& pattern, const std::string& options,
                                  const std::string& outputSpec) {
    std::string raw = nextName(".rgba");
    if (!writeBytes(raw, pattern.pixels))
        return {};
    std::string out = nextName("");
    // The output spec names a format prefix ("BMP3:"); put the file name after it.
    std::string spec = outputSpec;
    auto colon = spec.find(':');
    std::string target =
        colon == std::string::npos ? out + "." + spec : spec.substr(0, colon + 1) + out;
    std::string size = std::to_string(pattern.width) + "x" + std::to_string(pattern.height);
    if (!runConvert("-size " + size + " -depth 8 rgba:" + quoteArg(raw) + " " + options + " " +
                    quoteArg(target)))
        return {};
    std::string path = colon == std::string::npos ? out + "." + spec : out;
    return readBytes(path);
}

bool magickDecode(const std::vector<uint8_t>& bytes, Rgba& out, const std::string& inputPrefix,
                  int frame) {
    std::string in = nextName(".bin");
    std::string raw = nextName(".rgba");
    if (!writeBytes(in, bytes))
        return false;
    std::string source = quoteArg(inputPrefix + in + "[" + std::to_string(frame) + "]");
    if (!runConvert(source + " -depth 8 rgba:" + quoteArg(raw)))
        return false;
    // Size of the decoded frame, as ImageMagick sees it (after coalescing if asked).
    std::string info = nextName(".txt");
    std::string command =
        "convert " + source + " -format '%w %h' info:" + quoteArg(info) + " 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return false;
    std::ifstream f(info);
    f >> out.width >> out.height;
    out.pixels = readBytes(raw);
    return out.width > 0 && out.pixels.size() == size_t(out.width) * size_t(out.height) * 4;
}

std::string magickIdentify(const std::vector<uint8_t>& bytes, const std::string& format) {
    std::string in = nextName(".bin");
    std::string txt = nextName(".txt");
    writeBytes(in, bytes);
    std::string command = "identify -format " + quoteArg(format) + " " + quoteArg(in) + " > " +
                          quoteArg(txt) + " 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return {};
    std::ifstream f(txt);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

} // namespace gp::test

namespace gp::test {

std::vector<Rgba> magickDecodeAll(const std::vector<uint8_t>& bytes, bool coalesce) {
    static std::atomic<int> counter{0};
    std::string base = scratchDir() + "/all" + std::to_string(counter++);
    writeBytes(base + ".bin", bytes);
    std::string options = coalesce ? " -coalesce" : "";
    std::string sizes = base + ".txt";
    std::string command = "convert '" + base + ".bin'" + options + " -format '%w %h\\n' info:'" +
                          sizes + "' 2>/dev/null";
    std::vector<Rgba> frames;
    if (std::system(command.c_str()) != 0)
        return frames;
    command = "convert '" + base + ".bin'" + options + " -depth 8 +adjoin rgba:'" + base +
              "-%d.rgba' 2>/dev/null";
    if (std::system(command.c_str()) != 0)
        return frames;
    std::ifstream f(sizes);
    int w = 0, h = 0;
    for (int i = 0; f >> w >> h; ++i) {
        Rgba frame;
        frame.width = w;
        frame.height = h;
        frame.pixels = readBytes(base + "-" + std::to_string(i) + ".rgba");
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::vector<uint8_t> magickMake(const std::string& arguments, const std::string& extension) {
    static std::atomic<int> counter{0};
    std::string path = scratchDir() + "/made" + std::to_string(counter++) + "." + extension;
    if (!runConvert(arguments + " '" + path + "'"))
        return {};
    return readBytes(path);
}

} // namespace gp::test
