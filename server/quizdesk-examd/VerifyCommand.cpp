// quizdesk-examd verify: the journal as the servers wrote it, and with
// --test the stored results as the stored reports score.

#include "Commands.h"

#include "ExamTests.h"
#include "JournalCheck.h"

#include <string>
#include <vector>

namespace qd::server {

int runVerify(const CommandLine& args, QCoreApplication&)
{
    const std::vector<std::string> positional = args.positional();
    if (!positional.empty()) {
        return usage(tr("verify takes no argument"));
    }
    std::vector<ExamTest> tests;
    if (!take(loadExamTests(args.testDirs()), tests)) {
        return 1;
    }
    auto journal = openJournal(args, {});
    if (!journal) {
        return 1;
    }
    const JournalCheckOutcome o = checkJournal(*journal, modelsOf(tests));
    if (!o.fault.empty()) {
        sayFault(o.fault);
        return 1;
    }
    if (!writeAll(o.out, {})) {
        return 1;
    }
    if (!o.broken.empty()) {
        say(stderr, tr("the journal does not hold: %1").arg(qs(o.broken)));
        return 1;
    }
    return 0;
}

} // namespace qd::server
