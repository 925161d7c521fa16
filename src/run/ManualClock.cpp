#include "run/ManualClock.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace qd {

ManualClock::ManualClock(const LocalTime& start, uint32_t startTicks)
    : m_start(start),
      m_startTicks(startTicks)
{
}

void ManualClock::advance(uint32_t ms)
{
    m_elapsed += ms;
}

LocalTime ManualClock::now() const
{
    // Calendar arithmetic in UTC, so that no daylight-saving jump of the
    // host's zone bends the virtual clock: the times are local already.
    const LocalTime& t = m_start;
    const QDateTime start(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second),
                          Qt::UTC);
    return localTimeOf(start.addSecs(qint64(m_elapsed / 1000)));
}

uint32_t ManualClock::calendarSeconds() const
{
    return uint32_t(secondsSince1970(m_start) + int64_t(m_elapsed / 1000));
}

int64_t ManualClock::wallMilliseconds() const
{
    return secondsSince1970(m_start) * 1000 + int64_t(m_elapsed);
}

} // namespace qd
