// quizdesk-examd report: a student's stored report (--all: every one),
// with the server's figures where they are not the report's.

#include "Commands.h"

#include "Exports.h"

#include "definition/Cp1251.h"
#include "definition/TerminalText.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qd::server {

int runReport(const CommandLine& args, QCoreApplication&)
{
    const std::vector<std::string> positional = args.positional();
    if (positional.size() != 1) {
        return usage(tr("report takes one NAME"));
    }
    auto journal = openJournal(args, {});
    if (!journal) {
        return 1;
    }
    std::vector<std::string> reports;
    if (!take(journal->reports(positional[0]), reports)) {
        return 1;
    }
    if (reports.empty()) {
        say(stderr, tr("no report of %1").arg(qs(positional[0])));
        return 1;
    }
    // The stored report keeps its bytes; on the terminal each one ends its
    // last line, so that the prompt (or the next report) starts a line.
    const auto ended = [](std::string text) {
        if (!text.empty() && text.back() != '\n') {
            text += '\n';
        }
        return text;
    };
    // The sittings of these reports, in the same order: where the server's
    // figures are not the report's, a line after the report gives them.
    std::vector<Sitting> all;
    if (!take(journal->sittings(), all)) {
        return 1;
    }
    std::vector<const Sitting*> sat;
    for (const Sitting& s : all) {
        if (s.student == positional[0] && s.state == SittingState::Finished && s.hasReport) {
            sat.push_back(&s);
        }
    }
    std::stable_sort(sat.begin(), sat.end(),
                     [](const Sitting* x, const Sitting* y) { return x->finished < y->finished; });
    std::string out;
    const std::size_t first = args.has("all") ? 0 : reports.size() - 1;
    for (std::size_t i = first; i < reports.size(); ++i) {
        out += ended(terminalSafe(fromCp1251(reports[i]), true));
        if (sat.size() == reports.size()) {
            out += ended(serverFigures(*sat[i]));
        }
    }
    return writeAll(out, {}) ? 0 : 1;
}

} // namespace qd::server
