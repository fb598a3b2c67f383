#pragma once

// A headless host with ImageBox and ImageBoxCnt factories, a private temporary folder for
// the page files and copies the control makes, and small readers of images by ImageId.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/image_info.h"
#include "core/image_table.h"
#include "platform/activex/surface.h"
#include "platform/gdiplus/session.h"
#include "tests/support/activex_host.h"
#include "tests/support/viewer_fixtures.h"
#include "viewer/ImageBox.h"
#include "viewer/class_ids.h"
#include "viewer/entry_points.h"

namespace ops_test {

using Names = std::vector<std::string>;

class OpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("imagebox_ops_" + std::to_string(::getpid()) + "_" + info->name());
        std::filesystem::create_directories(dir / "tmp");
        setenv("tmp", (dir / "tmp").c_str(), 1);
        factory = makeFactory(tavimo::CLSID_ImageBox);
        cntFactory = makeFactory(tavimo::CLSID_ImageBoxCnt);
        gp::test::FailNext(gp::FaultPoint::Lock, 0, gp::Ok);
    }
    void TearDown() override {
        gp::test::FailNext(gp::FaultPoint::Lock, 0, gp::Ok);
        unsetenv("tmp");
        std::filesystem::remove_all(dir);
    }
    static ax::ComPtr<ax::ClassFactory> makeFactory(const win::Guid& clsid) {
        void* out = nullptr;
        EXPECT_EQ(::DllGetClassObject(&clsid, &ax::IID_IClassFactory, &out), ax::S_OK);
        return ax::ComPtr<ax::ClassFactory>::adopt(static_cast<ax::ClassFactory*>(out));
    }
    // A control whose client area (inside the border) is w x h, its events cleared.
    ax::HostedControl* make(int w, int h, bool container = false) {
        auto* c = host.create(container ? *cntFactory : *factory, w, h);
        int border = c->control->borderThickness();
        host.resize(*c, w + 2 * border, h + 2 * border);
        c->events->records.clear();
        return c;
    }
    static tavimo::ImageBox& box(ax::HostedControl& c) {
        return static_cast<tavimo::ImageBox&>(*c.control);
    }
    static Names events(ax::HostedControl& c) {
        Names n = c.events->names();
        c.events->records.clear();
        return n;
    }
    // A 24-bit BMP whose quadrants are red, green (top right), blue (bottom left), yellow.
    std::string bmp(const std::string& name, int w, int h) {
        std::string p = (dir / name).string();
        EXPECT_TRUE(viewer_test::writeBmp(
            p, w, h, [&](int x, int y) { return viewer_test::quadrants(x, y, w, h); }));
        return p;
    }
    // The pixel at a point of the client area (inside the border), opaque.
    uint32_t pixel(ax::HostedControl& c, int x, int y) {
        ax::SurfacePtr s = host.snapshot(c);
        int b = c.control->borderThickness();
        return s ? ax::pixelAt(*s, x + b, y + b) | 0xFF000000u : 0;
    }

    std::filesystem::path dir;
    ax::HeadlessHost host;
    ax::ComPtr<ax::ClassFactory> factory, cntFactory;
};

// Every pixel of an image (a container's current page) as 0xAARRGGBB, rows top-down.
inline std::vector<uint32_t> pixels(tavimo::ImageId id, int32_t* width = nullptr,
                                    int32_t* height = nullptr) {
    int32_t w = 0, h = 0;
    tavimo::GetImageWidth(id, w);
    tavimo::GetImageHeight(id, h);
    if (width)
        *width = w;
    if (height)
        *height = h;
    std::vector<uint32_t> out;
    gp::BitmapData data{};
    if (w < 1 || h < 1 ||
        tavimo::LockImageBits(id, nullptr, 1, gp::PixelFormat32bppARGB, data) != 0)
        return out;
    out.resize(size_t(w) * size_t(h));
    for (int32_t y = 0; y < h; ++y)
        std::memcpy(&out[size_t(y) * size_t(w)],
                    static_cast<const uint8_t*>(data.Scan0) + int64_t(y) * data.Stride,
                    size_t(w) * 4);
    tavimo::UnlockImageBits(id, data);
    return out;
}

// The entries of the thread's image table that hold an image.
inline int liveImages() {
    int n = 0;
    for (const tavimo::ImageRecord& r : tavimo::imageTable())
        n += r.ImageId != 0;
    return n;
}

} // namespace ops_test
