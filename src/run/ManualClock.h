#pragma once

#include "run/Clock.h"

#include <cstdint>

namespace qd {

// A clock that moves only when told to: the examiner's dry run plays a
// session on it, and the tests drive the flow's time rules with it. The tick
// count wraps at 32 bits as the system clock's does; the calendar time is
// the start time plus the whole seconds that have passed.
class ManualClock : public Clock
{
public:
    explicit ManualClock(const LocalTime& start = {}, uint32_t startTicks = 0);

    void advance(uint32_t ms);

    uint32_t ticks() const override { return m_startTicks + uint32_t(m_elapsed); }
    LocalTime now() const override;
    uint32_t calendarSeconds() const override;
    int64_t wallMilliseconds() const override;

private:
    LocalTime m_start;
    uint32_t m_startTicks;
    uint64_t m_elapsed = 0; // ms
};

} // namespace qd
