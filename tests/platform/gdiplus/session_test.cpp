#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/session.h"
#include "platform/win/module_version.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

using namespace gp;

namespace {

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { test::ResetSession(); }
    void TearDown() override { test::ResetSession(); }
};

bool canCreateBitmap() {
    GpBitmap bitmap = 0;
    Status status = GdipCreateBitmapFromScan0(1, 1, 0, PixelFormat24bppRGB, nullptr, &bitmap);
    if (status == Ok) {
        EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
    }
    return status == Ok;
}

TEST_F(SessionTest, CreatingBeforeStartupAnswersNotInitialized) {
    GpBitmap bitmap = 123;
    EXPECT_EQ(GdipCreateBitmapFromScan0(1, 1, 0, PixelFormat24bppRGB, nullptr, &bitmap),
              GdiplusNotInitialized);
    EXPECT_FALSE(isStarted());
}

TEST_F(SessionTest, StartupIsCountedPerCall) {
    GdiplusStartupInput input;
    uintptr_t first = 0, second = 0;
    ASSERT_EQ(GdiplusStartup(&first, &input, nullptr), Ok);
    ASSERT_EQ(GdiplusStartup(&second, &input, nullptr), Ok);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    GdiplusShutdown(first);
    EXPECT_TRUE(canCreateBitmap());
    // A token shut down twice must not drop the other caller's reference.
    GdiplusShutdown(first);
    GdiplusShutdown(12345);
    EXPECT_TRUE(canCreateBitmap());
    GdiplusShutdown(second);
    EXPECT_FALSE(canCreateBitmap());
}

TEST_F(SessionTest, ObjectsOutliveTheSessionUntilDisposed) {
    GdiplusStartupInput input;
    uintptr_t token = 0;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
    GpBitmap bitmap = 0;
    ASSERT_EQ(GdipCreateBitmapFromScan0(4, 4, 0, PixelFormat32bppARGB, nullptr, &bitmap), Ok);
    GdiplusShutdown(token);
    EXPECT_EQ(GdipDisposeImage(bitmap), Ok);
}

TEST_F(SessionTest, StartupRefusesBadInput) {
    uintptr_t token = 0;
    GdiplusStartupInput input;
    EXPECT_EQ(GdiplusStartup(nullptr, &input, nullptr), InvalidParameter);
    EXPECT_EQ(GdiplusStartup(&token, nullptr, nullptr), InvalidParameter);
    input.GdiplusVersion = 7;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), UnsupportedGdiplusVersion);
    input.GdiplusVersion = 1;
    input.SuppressBackgroundThread = 1;
    EXPECT_EQ(GdiplusStartup(&token, &input, nullptr), InvalidParameter);
    GdiplusStartupOutput output;
    ASSERT_EQ(GdiplusStartup(&token, &input, &output), Ok);
    EXPECT_NE(output.NotificationHook, nullptr);
    EXPECT_NE(output.NotificationUnhook, nullptr);
    EXPECT_TRUE(isStarted());
    GdiplusShutdown(token);
    EXPECT_FALSE(isStarted());
}

TEST_F(SessionTest, HostStartedSessionNeedsNoToken) {
    test::StartExternally();
    EXPECT_TRUE(isStarted());
    EXPECT_TRUE(canCreateBitmap());
    test::StopExternally();
    EXPECT_FALSE(canCreateBitmap());
}

TEST_F(SessionTest, VersionTextDefaultsAndCanBeOverridden) {
    EXPECT_EQ(versionText(), "6.1.7601.0");
    EXPECT_EQ(win::GetFileVersion("gdiplus.dll"), "6.1.7601.0");
    test::SetVersionText("5.1.3102.5581");
    EXPECT_EQ(versionText(), "5.1.3102.5581");
    EXPECT_EQ(win::GetFileVersion("GDIPLUS.DLL"), "5.1.3102.5581");
    test::SetVersionText("");
    EXPECT_EQ(versionText(), "6.1.7601.0");
    EXPECT_EQ(win::GetFileVersion("gdiplus.dll"), "6.1.7601.0");
}

TEST_F(SessionTest, FaultSeamFailsExactlyTheArmedCount) {
    test::FailNext(FaultPoint::Encode, 2, Win32Error);
    EXPECT_EQ(takeFault(FaultPoint::Lock), Ok);
    EXPECT_EQ(takeFault(FaultPoint::Encode), Win32Error);
    EXPECT_EQ(takeFault(FaultPoint::Encode), Win32Error);
    EXPECT_EQ(takeFault(FaultPoint::Encode), Ok);
    test::FailNext(FaultPoint::Draw, 5, GenericError);
    test::FailNext(FaultPoint::Draw, 0, GenericError);
    EXPECT_EQ(takeFault(FaultPoint::Draw), Ok);
}

TEST_F(SessionTest, AllocAndFreeBehaveLikeMalloc) {
    void* block = GdipAlloc(64);
    ASSERT_NE(block, nullptr);
    std::memset(block, 0xAB, 64);
    GdipFree(block);
    GdipFree(nullptr);
}

} // namespace

namespace {

// Threads that start and stop their own references never end the session under another
// thread that still holds one, and handles stay unique across threads.
TEST_F(SessionTest, ThreadsShareOneCountedSession) {
    GdiplusStartupInput input;
    uintptr_t anchor = 0;
    ASSERT_EQ(GdiplusStartup(&anchor, &input, nullptr), Ok);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                uintptr_t token = 0;
                if (GdiplusStartup(&token, &input, nullptr) != Ok)
                    ++failures;
                GpBitmap bitmap = 0;
                if (GdipCreateBitmapFromScan0(3, 3, 0, PixelFormat32bppARGB, nullptr, &bitmap) !=
                    Ok)
                    ++failures;
                GdiplusShutdown(token);
                if (GdipDisposeImage(bitmap) != Ok)
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(isStarted());
    GdiplusShutdown(anchor);
    EXPECT_FALSE(isStarted());
}

} // namespace
