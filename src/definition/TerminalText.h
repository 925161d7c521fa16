#pragma once

#include <string>
#include <string_view>

namespace qd {

// Text that came from outside (a student's name, a computer's name, a
// report) made safe to print on the examiner's terminal: every control
// character (C0, DEL and the C1 range, which terminals also obey) is
// written as a visible escape (\t, \n, \r, \e, \xHH or \u{HHHH}), so that
// nothing a student sends can move the cursor, retitle the window or
// restyle the screen. A backslash is doubled, so the escapes cannot be
// forged. With `keepLineBreaks` LF and CR LF stay as they are (a report's
// lines), a lone CR does not. Bytes that are not UTF-8 are shown as \xHH.
std::string terminalSafe(std::string_view utf8, bool keepLineBreaks = false);

} // namespace qd
