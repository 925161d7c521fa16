#pragma once

#include "journal/SqlJournal.h"

#include "definition/TestModel.h"

#include <string>
#include <vector>

namespace qd::server {

// The journal's records and interface, read and written by every server piece.
using namespace qd::journal;

// `quizdesk-examd verify`: the journal's chains walked and replayed (see
// JournalChain.h) and, given the tests, every finished sitting scored
// again from its stored report as the server scores a final message
// (checkFinal, which also chooses the test of the report) and compared
// with the result stored for it.
struct JournalCheckOutcome
{
    std::string out;    // what holds, for stdout
    std::string broken; // the first event or sitting that does not hold
    std::string fault;  // the journal could not be read
};

JournalCheckOutcome checkJournal(SqlJournal& journal, const std::vector<const TestModel*>& tests);

} // namespace qd::server
