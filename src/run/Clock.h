#pragma once

#include <cstdint>

class QDateTime;

namespace qd {

// Local calendar time, as the report's date line and the clock seed use it.
struct LocalTime
{
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The calendar fields of a date and time as it reads.
LocalTime localTimeOf(const QDateTime& t);

// Seconds since 1970-01-01 00:00:00 of a calendar time, read as it is
// written (no time zone applies): both clocks count their calendar seconds
// this way, so a dry run and a real one seed their draws alike.
int64_t secondsSince1970(const LocalTime& t);

// The one way time reaches the engine: a millisecond tick count (wrapping at
// 32 bits) and local calendar time. The shell passes the
// system clock, tests and the dry run a virtual one.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual uint32_t ticks() const = 0;
    virtual LocalTime now() const = 0;
    // Seconds since 1970-01-01 00:00:00 of the local calendar time (the
    // seed of a run's draws).
    virtual uint32_t calendarSeconds() const = 0;
    // Milliseconds of the calendar clock, for measuring across a restart of
    // the program (the tick count starts again with the machine). Whole
    // calendar seconds unless a clock knows better.
    virtual int64_t wallMilliseconds() const { return int64_t(calendarSeconds()) * 1000; }
};

} // namespace qd
