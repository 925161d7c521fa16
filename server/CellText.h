#pragma once

#include <string>
#include <string_view>

namespace qd::server {

// A text cell of an export that a spreadsheet program would take for a
// formula (it begins with =, +, -, @, a tab or a carriage return): a name
// sent by a student must stay text when the examiner opens the file.
bool looksLikeFormula(std::string_view text);

// A plain number ("-5", "12.50"): a value, not a formula.
bool isPlainNumber(std::string_view text);

// The text as a CSV cell should hold it: a formula-like text that is not a
// plain number gets a leading apostrophe, which spreadsheet programs read as
// "this is text" (the apostrophe shows, the formula never runs).
std::string csvText(const std::string& text);

} // namespace qd::server
