#pragma once

#include "platform/gdiplus/gdiplus.h"
#include "platform/gdiplus/session.h"

#include <gtest/gtest.h>

// Each test starts with a fresh session holding one startup reference.
class GdiplusSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        gp::test::ResetSession();
        gp::GdiplusStartupInput input;
        ASSERT_EQ(gp::GdiplusStartup(&m_token, &input, nullptr), gp::Ok);
    }
    void TearDown() override {
        gp::GdiplusShutdown(m_token);
        gp::test::ResetSession();
    }

    uintptr_t m_token = 0;
};
