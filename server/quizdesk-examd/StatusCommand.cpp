// quizdesk-examd status: every sitting, open and closed, as a table;
// --watch redraws it every second.

#include "Commands.h"

#include "Exports.h"

#include "run/SystemClock.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace qd::server {

int runStatus(const CommandLine& args, QCoreApplication&)
{
    auto journal = openJournal(args, {});
    if (!journal) {
        return 1;
    }
    SystemClock clock;
    const bool watch = args.has("watch");
    // --watch redraws until interrupted; bounded to a day so that a
    // forgotten terminal does not keep it forever.
    for (int round = 0; round < (watch ? 86400 : 1); ++round) {
        std::vector<Sitting> s;
        if (!take(journal->sittings(), s)) {
            return 1;
        }
        std::string out = statusTable(s, int64_t(clock.calendarSeconds()));
        if (watch) {
            out = "\x1b[H\x1b[2J" + out; // home and clear: the table redrawn in place
        }
        if (!writeAll(out, {})) {
            return 1;
        }
        if (watch) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
        }
    }
    return 0;
}

} // namespace qd::server
