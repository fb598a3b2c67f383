#include "platform/win/random.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

using namespace win;

TEST(Rnd, UniformInUnitIntervalAndReproducibleFromASeed) {
    Randomize(7);
    std::vector<double> first;
    double sum = 0;
    for (int i = 0; i < 10000; ++i) {
        double r = Rnd();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        sum += r;
        if (i < 5)
            first.push_back(r);
    }
    EXPECT_NEAR(sum / 10000, 0.5, 0.02);
    Randomize(7);
    for (double r : first)
        EXPECT_EQ(Rnd(), r);
}

TEST(Rnd, RandomizeSeedsOnlyOnceSoQuickDrawsDoNotRepeat) {
    std::set<int> ids;
    for (int i = 0; i < 2000; ++i) {
        Randomize();
        ids.insert(static_cast<int>(Rnd() * 100000000.0));
    }
    EXPECT_GT(ids.size(), 1990u);
}

TEST(Rnd, ThreadsHaveTheirOwnSequences) {
    double a = 0, b = 0;
    std::thread([&] { a = Rnd(); }).join();
    std::thread([&] { b = Rnd(); }).join();
    EXPECT_NE(a, b);
    // A seed set on this thread does not leak into another.
    Randomize(1);
    double here = Rnd();
    double there = 0;
    std::thread([&] {
        Randomize(1);
        there = Rnd();
    }).join();
    EXPECT_EQ(here, there);
}

} // namespace
