// quizdesk-examd incidents: what the server noted beside the sittings.

#include "Commands.h"

#include "Exports.h"

#include "definition/TerminalText.h"

#include <string>
#include <vector>

namespace qd::server {

int runIncidents(const CommandLine& args, QCoreApplication&)
{
    auto journal = openJournal(args, {});
    if (!journal) {
        return 1;
    }
    std::vector<Incident> list;
    if (!take(journal->incidents(1000000), list)) {
        return 1;
    }
    std::string out;
    for (const Incident& i : list) {
        // Names and details come from the students' computers: shown, never
        // obeyed by the terminal.
        out += isoLocal(i.at) + "  " + terminalSafe(i.kind) + "  " + terminalSafe(i.student) +
               "  " + terminalSafe(i.computer) + "  " + terminalSafe(i.address) + "  " +
               terminalSafe(i.detail);
        if (i.times > 1) {
            // The same kind from the same address within a minute.
            out +=
                "  (" + std::to_string(i.times) + " times, the last at " + isoLocal(i.lastAt) + ")";
        }
        if (!i.bytes.empty()) {
            out += "  (" + std::to_string(i.bytes.size()) + " bytes kept)";
        }
        out += "  [" + terminalSafe(i.server) + "]\n";
    }
    return writeAll(out, {}) ? 0 : 1;
}

} // namespace qd::server
