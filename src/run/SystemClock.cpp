#include "run/SystemClock.h"

#include <QDateTime>

#include <chrono>

namespace qd {

uint32_t SystemClock::ticks() const
{
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

LocalTime SystemClock::now() const
{
    return localTimeOf(QDateTime::currentDateTime());
}

uint32_t SystemClock::calendarSeconds() const
{
    return uint32_t(secondsSince1970(now()));
}

int64_t SystemClock::wallMilliseconds() const
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace qd
