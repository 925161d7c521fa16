#pragma once

// The likely cause behind a load fault, in the tool's own words. The
// program's messages name the first thing its parser tripped over, which is
// often far from what the examiner did wrong (a file saved as UTF-8 fails
// on a group's column count; a header that promises more questions than
// there are fails on a missing '#'). These hints look at the files again
// and say what they see; they never replace the message.

#include "definition/Fault.h"

#include <QString>

#include <filesystem>
#include <optional>
#include <string>

namespace qdtool {

// The raw bytes of the two files, as read from the test's folder (missing
// files are empty).
struct TestFiles
{
    std::string questions;
    std::string answers;
};

TestFiles readTestFiles(const std::filesystem::path& dir);

// One line (without "hint: " and without a line break) for the fault, or
// nothing when no cause is recognised.
std::optional<QString> hintFor(const TestFiles& files, const qd::Fault& fault);

// For a test that loads: a file in UTF-8 or UTF-16 (whose texts are then
// shown garbled), or a header that asks for fewer questions than the
// questions file holds, so the rest are never asked. One line, or nothing.
std::optional<QString> loadedTestHint(const TestFiles& files, int questionCount);

} // namespace qdtool
