#include "run/Clock.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace qd {

LocalTime localTimeOf(const QDateTime& t)
{
    const QDate d = t.date();
    const QTime h = t.time();
    return {d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second()};
}

int64_t secondsSince1970(const LocalTime& t)
{
    // Read in UTC so that the host's zone and its daylight-saving jumps
    // change nothing: the fields are local time already.
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second), Qt::UTC)
        .toSecsSinceEpoch();
}

} // namespace qd
