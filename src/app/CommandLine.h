#pragma once

#include <QKeySequence>

#include <string>
#include <vector>

namespace qd {

// What the command line asks of the program beyond the test in the working
// directory: --kiosk keeps the student inside the test, --exit-keys names the
// administrator's way out of it, --keyboard-layout only prints the layout the
// test asks for and ends. Words the program does not know are left to Qt.
struct CommandLine
{
    bool help = false;
    bool version = false;
    bool kiosk = false;
    bool printLayout = false;
    QKeySequence exitKeys;
    std::string error; // keys that are no key sequence, or none given
};

CommandLine parseCommandLine(const std::vector<std::string>& args);

} // namespace qd
