#pragma once

#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/image_object.h"
#include "platform/gdiplus/pixel_convert.h"
#include "platform/gdiplus/pixel_format.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

// An owned bitmap whose pixels are random colours written in `format`, so that every
// pixel is one the format can hold exactly.
inline gp::GpBitmap makeRandomBitmap(int32_t width, int32_t height, gp::PixelFormat format,
                                     uint32_t seed) {
    gp::GpBitmap bitmap = 0;
    EXPECT_EQ(gp::GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, &bitmap), gp::Ok);
    gp::Image* image = gp::findBitmap(bitmap);
    if (!image)
        return 0;
    gp::Frame& frame = image->active();
    std::mt19937 rng(seed);
    std::vector<uint32_t> argb(static_cast<size_t>(width));
    for (int32_t y = 0; y < height; ++y) {
        for (uint32_t& p : argb)
            p = rng();
        gp::convertRect(reinterpret_cast<const uint8_t*>(argb.data()), 0, gp::PixelFormat32bppARGB,
                        nullptr, 0, frame.row(y), 0, format, &frame.palette, 0, width, 1);
    }
    return bitmap;
}

// The raw bytes of every row of the active frame (without padding).
inline std::vector<uint8_t> frameBytes(gp::GpImage handle) {
    std::vector<uint8_t> bytes;
    const gp::Image* image = gp::findImage(handle);
    if (!image)
        return bytes;
    const gp::Frame& frame = image->active();
    const size_t row = static_cast<size_t>(gp::rowBytes(frame.width, frame.format));
    const int bpp = gp::bitsPerPixel(frame.format);
    for (int32_t y = 0; y < frame.height; ++y) {
        const uint8_t* p = frame.row(y);
        bytes.insert(bytes.end(), p, p + row);
        // Padding bits of packed formats are not pixels.
        const int used = static_cast<int>((static_cast<int64_t>(frame.width) * bpp) % 8);
        if (used)
            bytes.back() &= static_cast<uint8_t>(0xFF00 >> used);
    }
    return bytes;
}

// The active frame as 32bppARGB pixels, read with a lock.
inline std::vector<uint32_t> readArgb(gp::GpBitmap bitmap) {
    std::vector<uint32_t> pixels;
    gp::UINT width = 0, height = 0;
    if (gp::GdipGetImageWidth(bitmap, &width) != gp::Ok ||
        gp::GdipGetImageHeight(bitmap, &height) != gp::Ok)
        return pixels;
    pixels.resize(static_cast<size_t>(width) * height);
    gp::BitmapData data{};
    data.Stride = static_cast<int32_t>(width * 4);
    data.Scan0 = pixels.data();
    EXPECT_EQ(gp::GdipBitmapLockBits(bitmap, nullptr,
                                     gp::ImageLockModeRead | gp::ImageLockModeUserInputBuf,
                                     gp::PixelFormat32bppARGB, &data),
              gp::Ok);
    EXPECT_EQ(gp::GdipBitmapUnlockBits(bitmap, &data), gp::Ok);
    return pixels;
}
