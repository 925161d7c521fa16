#include "definition/TestRandom.h"

#include <gtest/gtest.h>

using qd::TestRandom;

TEST(TestRandom, KnownSequences)
{
    struct Case
    {
        uint32_t seed;
        uint32_t draws[4];
    };
    const Case cases[] = {
        {0, {346, 13854878, 1621890440, 816282396}},
        {1, {1410184549, 672584604, 1915668986, 576821944}},
    };
    for (const Case& c : cases) {
        TestRandom r;
        r.seed(c.seed);
        for (uint32_t expected : c.draws) {
            EXPECT_EQ(r.draw31(), expected) << "seed " << c.seed;
        }
    }
}

TEST(TestRandom, RndZeroDoesNotDrawAndRndOneDoes)
{
    TestRandom r;
    r.seed(0);
    const uint64_t before = r.state();
    EXPECT_EQ(r.rnd(0), 0);
    EXPECT_EQ(r.state(), before);
    EXPECT_EQ(r.rnd(7), 346 % 7);
    EXPECT_EQ(r.rnd(1), 0);
    EXPECT_NE(r.state(), before);
}

TEST(TestRandom, AdvanceMatchesStepping)
{
    TestRandom r;
    r.seed(12345);
    const uint64_t start = r.state();
    for (uint64_t steps : {0ull, 1ull, 2ull, 7ull, 1000ull}) {
        TestRandom s;
        s.setState(start);
        for (uint64_t i = 0; i < steps; ++i) {
            s.draw31();
        }
        EXPECT_EQ(TestRandom::advance(start, steps), s.state()) << steps;
    }
}
