#include "tests/support/containers_fixtures.h"

#include "core/image_info.h"
#include "core/image_load.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/win/files.h"
#include "platform/win/stream.h"
#include "tests/support/core_fixtures.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

namespace tavimo::testing {

namespace {

std::string makeFolder(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    return mkdtemp(buffer.data()) ? std::string(buffer.data()) : std::string();
}

void removeFolder(const std::string& path) {
    if (path.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

} // namespace

PrivateTempFolder::PrivateTempFolder() : m_path(makeFolder("tavimo-pages")) {
    if (const char* old = std::getenv("tmp")) {
        m_hadValue = true;
        m_oldValue = old;
    }
    setenv("tmp", (m_path + "/").c_str(), 1);
}

PrivateTempFolder::~PrivateTempFolder() {
    if (m_hadValue)
        setenv("tmp", m_oldValue.c_str(), 1);
    else
        unsetenv("tmp");
    removeFolder(m_path);
}

std::vector<std::string> PrivateTempFolder::files() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(m_path, ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

FixtureFolder::FixtureFolder() : m_path(makeFolder("tavimo-fixtures")) {}

FixtureFolder::~FixtureFolder() {
    removeFolder(m_path);
}

std::string makeThreePageTiff(const FixtureFolder& folder) {
    std::string path = folder.file("three.tif");
    bool made = runConvert("\\( -size 20x10 xc:red -set comment one \\) "
                           "\\( -size 30x12 xc:lime -set comment two \\) "
                           "\\( -size 8x16 xc:blue -set comment three \\) "
                           "-density 150 -units PixelsPerInch -compress lzw '" +
                           path + "'");
    return made ? path : std::string();
}

std::string makeThreeFrameGif(const FixtureFolder& folder, int loops, const std::string& comment) {
    std::string path = folder.file("three-" + std::to_string(loops) + "-" +
                                   std::to_string(std::hash<std::string>{}(comment)) + ".gif");
    // ImageMagick counts plays and stores one less (the repeats) in the NETSCAPE block.
    bool made =
        runConvert("-delay 10 -size 8x6 xc:red -delay 0 -size 8x6 xc:lime "
                   "-delay 20 -size 8x6 xc:blue -loop " +
                   std::to_string(loops + 1) + " -set comment '" + comment + "' '" + path + "'");
    return made ? path : std::string();
}

int32_t loadContainerFile(ImageId& id, const std::string& path, bool inPlace) {
    return LoadImageFromFile(id, path, false, false, inPlace, 0, true, inPlace);
}

int32_t loadContainerStream(ImageId& id, const std::string& path) {
    id = 0;
    std::vector<uint8_t> bytes;
    if (!win::readWholeFile(path, bytes))
        return FileNotFound;
    win::RefPtr<win::IStream> stream;
    if (win::CreateStreamOnHGlobal(0, true, stream.put()) != win::S_OK || !stream)
        return GenericError;
    uint32_t written = 0;
    stream->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
    stream->Seek(0, win::STREAM_SEEK_SET, nullptr);
    return LoadFromStream(id, stream.get(), false);
}

uint32_t firstPixel(ImageId id) {
    std::vector<uint32_t> pixels = readArgb(id);
    return pixels.empty() ? 0 : pixels[0];
}

std::string pageSize(ImageId id) {
    int32_t w = 0, h = 0;
    GetImageWidth(id, w);
    GetImageHeight(id, h);
    return std::to_string(w) + "x" + std::to_string(h);
}

std::string identifyFile(const std::string& format, const std::string& path) {
    std::string command = "identify -format '" + format + "' '" + path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    std::array<char, 256> buffer;
    while (pipe && fgets(buffer.data(), static_cast<int>(buffer.size()), pipe.get()))
        out += buffer.data();
    return out;
}

} // namespace tavimo::testing
