#pragma once

#include "run/Clock.h"

namespace qd {

// The program's clock: the machine's monotonic millisecond count (wrapping
// at 32 bits) and its local calendar time.
class SystemClock : public Clock
{
public:
    uint32_t ticks() const override;
    LocalTime now() const override;
    uint32_t calendarSeconds() const override;
    int64_t wallMilliseconds() const override;
};

} // namespace qd
