#include "definition/Scrambler.h"

#include <gtest/gtest.h>

#include <random>

using namespace qd;

namespace {
std::string bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int v : b) {
        s.push_back(char(v));
    }
    return s;
}
} // namespace

TEST(Scrambler, DecodesKnownFiles)
{
    // The two kinds differ only by the questions file's extra draw.
    std::string answers = bytes({0x76, 0x5E, 0xDF, 0x01, 0x01, 0x00, 0xDB, 0x9B, 0x1B});
    std::string questions = bytes({0x76, 0x5E, 0xDF, 0x01, 0x01, 0x00, 0x16, 0xD4, 0xC5});
    TestRandom rng;
    unscramble(answers, FileKind::Answers, rng);
    unscramble(questions, FileKind::Questions, rng);
    EXPECT_EQ(answers, bytes({0x76, 0x5E, 0xDF, 0x01, 0xCD, 0xE0, 'a', 'b', 'c'}));
    EXPECT_EQ(questions, bytes({0x76, 0x5E, 0xDF, 0x01, '1', ')', 'a', 'b', 'c'}));
}

TEST(Scrambler, PlainTextIsLeftAlone)
{
    std::string plain = "1) abc#";
    TestRandom rng;
    unscramble(plain, FileKind::Questions, rng);
    EXPECT_EQ(plain, "1) abc#");
}

TEST(Scrambler, MagicWithoutSeedIsAnEmptyText)
{
    for (std::size_t len : {4u, 5u}) {
        std::string buf = bytes({0x76, 0x5E, 0xDF, 0x01, 0x07}).substr(0, len);
        TestRandom rng;
        unscramble(buf, FileKind::Answers, rng);
        EXPECT_EQ(buf, bytes({0x76, 0x5E, 0xDF, 0x01}));
    }
}

TEST(Scrambler, RoundTripsAtEveryLengthAroundTheLaneSplit)
{
    std::mt19937 gen(7);
    for (std::size_t len = 2; len < 200; ++len) {
        std::string plain = "1)";
        while (plain.size() < len) {
            plain.push_back(char(gen()));
        }
        const uint16_t seed = uint16_t(gen());
        const std::string s = scramble(plain, FileKind::Questions, seed);
        ASSERT_EQ(s.size(), plain.size() + 4);
        EXPECT_EQ(unscramble(s, FileKind::Questions), plain) << len;
    }
}

TEST(Scrambler, LeavesTheGeneratorAfterTheLastDraw)
{
    // 40 body bytes: the laned decoder must end where a plain loop ends.
    std::string plain = "1)" + std::string(40, 'x');
    std::string buf = scramble(plain, FileKind::Questions, 99);
    TestRandom rng;
    unscramble(buf, FileKind::Questions, rng);
    TestRandom ref;
    ref.seed(99);
    for (int i = 0; i < 1 + 2 * 40; ++i) {
        ref.draw31();
    }
    EXPECT_EQ(rng.state(), ref.state());
}

TEST(Scrambler, DecodesAsThePlainLoopDoesAtAnyLength)
{
    // The decoder runs several bytes at once; byte for byte it must be the
    // loop of the file format: r1 = rnd(7) + 1, r2 = rnd(255) + 1,
    // subtract r2, rotate right by r1. Each loop this processor runs is
    // checked, at lengths around its blocks of 8 and 16 bytes.
    for (const ScrambleKernel kernel :
         {ScrambleKernel::Plain, ScrambleKernel::Avx2, ScrambleKernel::Avx512}) {
        if (!kernelSupported(kernel)) {
            continue;
        }
        std::mt19937 gen(11);
        for (std::size_t len : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 23u, 24u, 25u, 31u, 32u, 33u,
                                63u, 64u, 65u, 1000u, 100003u}) {
            std::string file = bytes({0x76, 0x5E, 0xDF, 0x01, 0x39, 0x30});
            while (file.size() < len + kScrambleHeader) {
                file.push_back(char(gen()));
            }
            std::string expected = file;
            TestRandom ref;
            ref.seed(0x3039);
            for (std::size_t i = kScrambleHeader; i < expected.size(); ++i) {
                const unsigned r1 = unsigned(ref.rnd(7) + 1);
                const unsigned r2 = unsigned(ref.rnd(255) + 1);
                const uint8_t v = uint8_t(uint8_t(expected[i]) - r2);
                expected[i] = char(uint8_t((v >> r1) | (v << (8 - r1))));
            }
            expected[4] = char(0xCD);
            expected[5] = char(0xE0);
            TestRandom rng;
            unscramble(file, FileKind::Answers, rng, kernel);
            EXPECT_EQ(file, expected) << len << " bytes, loop " << int(kernel);
            EXPECT_EQ(rng.state(), ref.state()) << len << " bytes, loop " << int(kernel);
        }
    }
}
