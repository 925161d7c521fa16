#include "run/ManualClock.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace qd {

namespace {

// The calendar arithmetic is done in UTC so that no daylight-saving jump
// of the host's zone bends the virtual clock: the times are local already.
QDateTime naive(const LocalTime& t)
{
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second),
                     Qt::UTC);
}

} // namespace

LocalTime localTimeOf(const QDateTime& t)
{
    const QDate d = t.date();
    const QTime h = t.time();
    return {d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second()};
}

ManualClock::ManualClock(const LocalTime& start, uint32_t startTicks)
    : m_start(start), m_startTicks(startTicks)
{
}

void ManualClock::advance(uint32_t ms)
{
    m_elapsed += ms;
}

LocalTime ManualClock::now() const
{
    return localTimeOf(naive(m_start).addSecs(qint64(m_elapsed / 1000)));
}

uint32_t ManualClock::calendarSeconds() const
{
    return uint32_t(secondsOf(m_start) + int64_t(m_elapsed / 1000));
}

int64_t ManualClock::secondsOf(const LocalTime& t)
{
    return naive(t).toSecsSinceEpoch();
}

} // namespace qd
