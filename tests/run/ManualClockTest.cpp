#include "run/ManualClock.h"

#include <gtest/gtest.h>

TEST(ManualClock, CalendarFollowsTheTicksAcrossTheYearAndTheTickCountWraps)
{
    qd::ManualClock clock(qd::LocalTime{2026, 12, 31, 23, 59, 59}, 0xFFFFFC00u);
    // 2026-12-31 23:59:59 read as written, no time zone.
    EXPECT_EQ(clock.calendarSeconds(), 1798761599u);
    clock.advance(999);
    EXPECT_EQ(clock.now().year, 2026);
    clock.advance(1);
    const qd::LocalTime t = clock.now();
    EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second}),
              std::vector<int>({2027, 1, 1, 0, 0, 0}));
    EXPECT_EQ(clock.calendarSeconds(), 1798761600u);
    // 0xFFFFFC00 + 1000 wraps past zero; differences stay right unsigned.
    EXPECT_EQ(clock.ticks(), 0xFFFFFC00u + 1000u);
    EXPECT_EQ(clock.ticks() - 0xFFFFFC00u, 1000u);
}
