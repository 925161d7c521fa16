#include "definition/TerminalText.h"

#include <gtest/gtest.h>

using qd::terminalSafe;

TEST(TerminalText, ControlCharactersAreShownNotObeyed)
{
    struct Case
    {
        std::string in;
        bool keepLines;
        std::string out;
    } cases[] = {
        {"Бондар Т.", false, "Бондар Т."},
        {"pc\x1b]0;owned\x07", false, "pc\\e]0;owned\\x07"},
        {"\x1b[2J\x1b[H", false, "\\e[2J\\e[H"},
        {"a\tb\nc\rd", false, "a\\tb\\nc\\rd"},
        {"a\x7f", false, "a\\x7F"},
        {"\xc2\x9b"
         "31m",
         false, "\\u{009B}31m"}, // C1 CSI, which some terminals obey
        {"back\\slash", false, "back\\\\slash"},
        {"\xff\xc3", false, "\\xFF\\xC3"}, // not UTF-8
        {"\xc0\xaf", false, "\\xC0\\xAF"}, // overlong
        {"line 1\r\nline 2\n", true, "line 1\r\nline 2\n"},
        {"over\rwrite\n", true, "over\\rwrite\n"},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(terminalSafe(c.in, c.keepLines), c.out) << c.in;
    }
}
