#include "tests/support/core_fixtures.h"

#include "core/image_info.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/session.h"
#include "platform/win/files.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tavimo::testing {

void CoreSessionTest::SetUp() {
    gp::test::ResetSession();
    m_noPlugin = std::make_unique<test_support::FakePlugin>();
    m_noPlugin->setVersion("0");
    m_noPlugin->install();
    ASSERT_TRUE(StartGdiPlus());
}

void CoreSessionTest::TearDown() {
    StopGdiPlus();
    gp::test::ResetSession();
    m_noPlugin.reset();
    if (!m_folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
}

void CoreSessionTest::restartWithVersion(const std::string& versionText) {
    StopGdiPlus();
    gp::test::ResetSession();
    gp::test::SetVersionText(versionText);
    ASSERT_TRUE(StartGdiPlus());
}

void CoreSessionTest::useRealPlugin() {
    StopGdiPlus();
    m_noPlugin->uninstall();
    tavimo::test::ResetSessionState();
    gp::test::ResetSession();
    ASSERT_TRUE(StartGdiPlus());
}

std::string CoreSessionTest::tempPath(const std::string& name) {
    if (m_folder.empty()) {
        std::string pattern = win::GetTempFolder() + "tavimo-core-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()))
            m_folder = buffer.data();
    }
    return m_folder + "/" + name;
}

ImageId registerBitmap(int32_t width, int32_t height, gp::PixelFormat format,
                       const std::vector<uint8_t>& rows, int32_t kind) {
    gp::GpBitmap bitmap = 0;
    if (gp::GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, &bitmap) != gp::Ok)
        return 0;
    if (!rows.empty()) {
        gp::BitmapData data{};
        gp::Rect all{0, 0, width, height};
        if (gp::GdipBitmapLockBits(bitmap, &all, gp::ImageLockModeWrite, format, &data) != gp::Ok) {
            gp::GdipDisposeImage(bitmap);
            return 0;
        }
        size_t rowBytes = rows.size() / static_cast<size_t>(height);
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                        rows.data() + static_cast<size_t>(y) * rowBytes,
                        std::min<size_t>(rowBytes, static_cast<size_t>(std::abs(data.Stride))));
        gp::GdipBitmapUnlockBits(bitmap, &data);
    }
    ImageId id = 0;
    RegisterImage(id, bitmap, "", "", kind);
    return id;
}

std::vector<uint32_t> readArgb(ImageId id) {
    int32_t w = 0, h = 0;
    if (GetImageWidth(id, w) != 0 || GetImageHeight(id, h) != 0)
        return {};
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
    gp::BitmapData data{};
    data.Stride = w * 4;
    data.Scan0 = pixels.data();
    gp::Rect all{0, 0, w, h};
    gp::GpImage image = GetGdiImage(id);
    if (gp::GdipBitmapLockBits(image, &all, gp::ImageLockModeRead | gp::ImageLockModeUserInputBuf,
                               gp::PixelFormat32bppARGB, &data) != gp::Ok)
        return {};
    gp::GdipBitmapUnlockBits(image, &data);
    return pixels;
}

std::vector<uint8_t> readOwnRows(ImageId id, int32_t stride) {
    int32_t w = 0, h = 0;
    if (GetImageWidth(id, w) != 0 || GetImageHeight(id, h) != 0)
        return {};
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * static_cast<size_t>(h));
    gp::BitmapData data{};
    data.Stride = stride;
    data.Scan0 = rows.data();
    gp::Rect all{0, 0, w, h};
    gp::GpImage image = GetGdiImage(id);
    if (gp::GdipBitmapLockBits(image, &all, gp::ImageLockModeRead | gp::ImageLockModeUserInputBuf,
                               ImagePixelFormat(id), &data) != gp::Ok)
        return {};
    gp::GdipBitmapUnlockBits(image, &data);
    return rows;
}

bool runConvert(const std::string& arguments) {
    std::string command = "convert " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool haveConvert() {
    return std::system("command -v convert >/dev/null 2>&1") == 0;
}

} // namespace tavimo::testing
