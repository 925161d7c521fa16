// quizdesk-examd release: closes a student's open sitting, or with --move
// frees it to be continued on another computer.

#include "Commands.h"

#include "Exports.h"

#include "run/SystemClock.h"

#include <cstdio>
#include <string>
#include <vector>

namespace qd::server {

int runRelease(const CommandLine& args, QCoreApplication&)
{
    const std::vector<std::string> positional = args.positional();
    if (positional.size() != 1) {
        return usage(tr("release takes one NAME"));
    }
    auto journal = openJournal(args, {});
    if (!journal) {
        return 1;
    }
    SystemClock clock;
    const int64_t now = int64_t(clock.calendarSeconds());
    // --move: the sitting stays open and goes on on whichever computer the
    // student's checkpoint is taken to; without it, it is closed.
    const bool move = args.has("move");
    bool any = false;
    if (!take(move ? journal->move(positional[0], now) : journal->release(positional[0], now),
              any)) {
        return 1;
    }
    if (!any) {
        say(stderr, tr("%1 has no open sitting").arg(qs(positional[0])));
        return 1;
    }
    const QString done = move ? tr("released %1 to go on on another computer") : tr("released %1");
    std::fputs((done.arg(qs(positional[0])) + QLatin1Char('\n')).toUtf8().constData(), stdout);
    return 0;
}

} // namespace qd::server
