// The plug-in's exported functions, loaded as a host loads them.

#include "plugins/movrin/movrin_api.h"
#include "tests/printing/pdf_fixture.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

struct Movrin {
#define MEMBER(ret, name, params) ret(*name) params = nullptr;
    MOVRIN_FUNCTION_LIST(MEMBER)
#undef MEMBER
};

class MovrinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* dir = std::getenv("TAVIMO_PLUGIN_PATH");
        std::string path =
            std::string(dir && *dir ? dir : MOVRIN_TEST_PLUGIN_DIR) + "/libmovrin.so";
        s_lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(s_lib, nullptr) << dlerror();
#define BIND(ret, name, params)                                                                    \
    s_api.name = reinterpret_cast<ret(*) params>(dlsym(s_lib, #name));                             \
    ASSERT_NE(s_api.name, nullptr) << #name;
        MOVRIN_FUNCTION_LIST(BIND)
#undef BIND
    }

    void SetUp() override {
        m_path = ::testing::TempDir() + "/movrin-test-" + std::to_string(::getpid()) + ".pdf";
        ASSERT_TRUE(tavimo::testing::writeHalvesPdf(
            m_path, {{0xFF0000, 0x00FF00}, {0x0000FF, 0xFF0000}, {0, 0xFFFFFF}}, 200, 100));
    }
    void TearDown() override {
        std::remove(m_path.c_str());
    }

    static inline void* s_lib = nullptr;
    static inline Movrin s_api;
    std::string m_path;
};

uint32_t pixelAt(const std::vector<uint8_t>& px, int32_t stride, int32_t x, int32_t y) {
    const uint8_t* p = &px[size_t(y) * size_t(stride) + size_t(x) * 4];
    return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

TEST_F(MovrinTest, VersionAndPagesOfAFile) {
    EXPECT_STREQ(s_api.MOVRIN_GetVersion(), "1.0.0.0");
    MovrinDocument doc = s_api.MOVRIN_OpenFile(m_path.c_str(), nullptr);
    ASSERT_NE(doc, 0u);
    EXPECT_EQ(s_api.MOVRIN_PageCount(doc), 3);
    EXPECT_EQ(s_api.MOVRIN_CurrentPage(doc), 1);
    EXPECT_DOUBLE_EQ(s_api.MOVRIN_PageWidth(doc), 200.0);
    EXPECT_DOUBLE_EQ(s_api.MOVRIN_PageHeight(doc), 100.0);
    EXPECT_EQ(s_api.MOVRIN_PageRotation(doc), 0);
    for (int32_t bad : {0, -1, 4}) {
        EXPECT_EQ(s_api.MOVRIN_SelectPage(doc, bad), 0) << bad;
        EXPECT_EQ(s_api.MOVRIN_CurrentPage(doc), 1);
    }
    EXPECT_EQ(s_api.MOVRIN_SelectPage(doc, 2), 1);
    EXPECT_EQ(s_api.MOVRIN_CurrentPage(doc), 2);
    EXPECT_EQ(s_api.MOVRIN_Close(doc), 1);
    EXPECT_EQ(s_api.MOVRIN_Close(doc), 0);
    EXPECT_EQ(s_api.MOVRIN_PageCount(doc), 0);
}

TEST_F(MovrinTest, RendersTheSelectedPageAndFillsBeyondItWithWhite) {
    MovrinDocument doc = s_api.MOVRIN_OpenFile(m_path.c_str(), "");
    ASSERT_NE(doc, 0u);
    ASSERT_EQ(s_api.MOVRIN_SelectPage(doc, 2), 1);
    // 36 dpi: the page is 100 x 50 pixels; the buffer is larger and padded.
    const int32_t w = 120, h = 60, stride = w * 4 + 8;
    std::vector<uint8_t> px(size_t(stride) * h, 0);
    ASSERT_EQ(s_api.MOVRIN_RenderPage(doc, 36, w, h, 0, -1, px.data(), stride), 1);
    EXPECT_EQ(pixelAt(px, stride, 10, 10), 0xFF0000FFu);  // left half blue
    EXPECT_EQ(pixelAt(px, stride, 90, 40), 0xFFFF0000u);  // right half red
    EXPECT_EQ(pixelAt(px, stride, 110, 10), 0xFFFFFFFFu); // beyond the page
    EXPECT_EQ(pixelAt(px, stride, 10, 55), 0xFFFFFFFFu);
    // A quarter turn on top: the left half comes to the top.
    std::vector<uint8_t> turned(size_t(50) * 100 * 4, 0);
    ASSERT_EQ(s_api.MOVRIN_RenderPage(doc, 36, 50, 100, 90, -1, turned.data(), 200), 1);
    EXPECT_EQ(pixelAt(turned, 200, 25, 10), 0xFF0000FFu);
    EXPECT_EQ(pixelAt(turned, 200, 25, 90), 0xFFFF0000u);
    s_api.MOVRIN_Close(doc);
}

TEST_F(MovrinTest, RefusesBadArgumentsAndData) {
    MovrinDocument doc = s_api.MOVRIN_OpenFile(m_path.c_str(), nullptr);
    ASSERT_NE(doc, 0u);
    std::vector<uint8_t> px(64 * 4 * 64);
    struct Case {
        MovrinDocument d;
        double dpi;
        int32_t w, h, stride;
        uint8_t* buffer;
    } cases[] = {
        {doc + 1, 72, 8, 8, 32, px.data()}, {0x12345678, 72, 8, 8, 32, px.data()},
        {doc, 0, 8, 8, 32, px.data()},      {doc, -5, 8, 8, 32, px.data()},
        {doc, 72, 0, 8, 32, px.data()},     {doc, 72, 8, 8, 31, px.data()},
        {doc, 72, 8, 8, 32, nullptr},       {doc, 1e9, 8, 8, 32, px.data()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(s_api.MOVRIN_RenderPage(c.d, c.dpi, c.w, c.h, 0, -1, c.buffer, c.stride), 0);
    EXPECT_EQ(s_api.MOVRIN_PageWidth(doc + 1), 0.0);
    s_api.MOVRIN_Close(doc);

    EXPECT_EQ(s_api.MOVRIN_OpenFile("/nonexistent/x.pdf", nullptr), 0u);
    EXPECT_EQ(s_api.MOVRIN_OpenFile(nullptr, nullptr), 0u);
    const char junk[] = "%PDF-1.4 this is not a PDF";
    EXPECT_EQ(s_api.MOVRIN_OpenMemory(junk, int32_t(sizeof junk), nullptr), 0u);
    EXPECT_EQ(s_api.MOVRIN_OpenMemory(nullptr, 10, nullptr), 0u);
}

TEST_F(MovrinTest, OpensADocumentFromMemory) {
    std::ifstream in(m_path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    MovrinDocument doc = s_api.MOVRIN_OpenMemory(bytes.data(), int32_t(bytes.size()), nullptr);
    ASSERT_NE(doc, 0u);
    bytes.assign(bytes.size(), 'x'); // the plug-in holds its own copy
    EXPECT_EQ(s_api.MOVRIN_PageCount(doc), 3);
    std::vector<uint8_t> px(size_t(100) * 50 * 4);
    EXPECT_EQ(s_api.MOVRIN_RenderPage(doc, 36, 100, 50, 0, 0, px.data(), 400), 1);
    EXPECT_EQ(pixelAt(px, 400, 10, 10), 0xFFFF0000u);
    s_api.MOVRIN_Close(doc);
}

} // namespace
