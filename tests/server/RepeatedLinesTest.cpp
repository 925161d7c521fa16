#include "RepeatedLines.h"

#include "run/ManualClock.h"

#include <gtest/gtest.h>

using namespace qd;
using namespace qd::server;

// A line that comes with every retry is printed once a window, then with
// how often it came meanwhile; another text is not held back by it.
TEST(RepeatedLines, ALineIsPrintedOnceAWindowWithItsCount)
{
    ManualClock clock{LocalTime{2026, 12, 7, 10, 0, 0}};
    RepeatedLines lines(clock);
    const std::string full = "journal: database or disk is full";
    struct Step
    {
        uint32_t advanceMs;
        std::string line;
        const char* printed; // nullptr: held back
    };
    const Step steps[] = {
        {0, full, "journal: database or disk is full"},
        {1, full, nullptr},
        {5000, full, nullptr},
        {0, "another fault", "another fault"},
        {4998, full, nullptr},
        {1, full, "journal: database or disk is full (3 more times within 10 s)"},
        {10000, full, "journal: database or disk is full"},
    };
    for (const Step& s : steps) {
        clock.advance(s.advanceMs);
        const auto out = lines.pass(s.line);
        if (s.printed == nullptr) {
            EXPECT_FALSE(out) << *out;
        } else {
            ASSERT_TRUE(out);
            EXPECT_EQ(*out, s.printed);
        }
    }
    // Held back at the end of a window: told once the window is over.
    EXPECT_FALSE(lines.pass(full));
    EXPECT_TRUE(lines.due().empty());
    clock.advance(RepeatedLines::kWindowMs);
    EXPECT_EQ(lines.due(), std::vector<std::string>{
                               "journal: database or disk is full (1 more time within 10 s)"});
    EXPECT_TRUE(lines.due().empty());
}
