#pragma once

// Fixture makers for the image core's tests: a GDI+ session per test, images registered
// from pixels the test chooses, and image files written by ImageMagick's convert.

#include "core/image_table.h"
#include "platform/gdiplus/types.h"
#include "tests/support/core_fake_plugin.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavimo::testing {

// Starts the core's GDI+ session (optionally with another layer version text) and leaves
// an empty table and a reset layer behind. The codec plug-in counts as absent (a stand-in
// reporting version 0 hides a built one), so loads take the GDI+ and picture paths.
class CoreSessionTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Restarts the session with this layer version text ("" = the layer's own).
    void restartWithVersion(const std::string& versionText);
    // A file path in a fresh folder deleted after the test.
    std::string tempPath(const std::string& name);
    // Drops the stand-in that hides the plug-in and restarts the session, so the built
    // libkelvra.so (when there is one) answers.
    void useRealPlugin();

private:
    std::string m_folder;
    std::unique_ptr<test_support::FakePlugin> m_noPlugin;
};

// A bitmap of the format whose owned store holds `pixels` (rows of the layer's own
// stride, 4-byte aligned), registered with `kind`. 0 on failure.
ImageId registerBitmap(int32_t width, int32_t height, gp::PixelFormat format,
                       const std::vector<uint8_t>& rows = {}, int32_t kind = SourceKindGdiImage);

// The whole image read as 32bppARGB pixels, rows top-down; empty on failure.
std::vector<uint32_t> readArgb(ImageId id);
// The whole image read in its own format with rows of `stride` bytes.
std::vector<uint8_t> readOwnRows(ImageId id, int32_t stride);

// Runs ImageMagick's convert with the arguments; true when it exits with 0.
bool runConvert(const std::string& arguments);
// True when convert is installed.
bool haveConvert();

} // namespace tavimo::testing
