// quizdesk-examd stop: ends a student's open sitting.

#include "Commands.h"

#include "Exports.h"

#include "run/SystemClock.h"

#include <cstdio>
#include <string>
#include <vector>

namespace qd::server {

int runStop(const CommandLine& args, QCoreApplication&)
{
    const std::vector<std::string> positional = args.positional();
    if (positional.size() != 1) {
        return usage(tr("stop takes one NAME"));
    }
    auto journal = openJournal(args, {});
    if (!journal) {
        return 1;
    }
    SystemClock clock;
    bool any = false;
    if (!take(journal->stop(positional[0], int64_t(clock.calendarSeconds())), any)) {
        return 1;
    }
    if (!any) {
        say(stderr, tr("%1 has no open sitting").arg(qs(positional[0])));
        return 1;
    }
    std::fputs((tr("stopped %1").arg(qs(positional[0])) + QLatin1Char('\n')).toUtf8().constData(),
               stdout);
    return 0;
}

} // namespace qd::server
