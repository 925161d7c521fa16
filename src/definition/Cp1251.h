#pragma once

#include <string>
#include <string_view>

namespace qd {

// Every text of a test, the report and the messages is code page 1251.
// These convert at the edges (source literals, file names, tool output).

// UTF-8 -> code page 1251; a character the code page lacks becomes '?'.
std::string toCp1251(std::string_view utf8);

// Code page 1251 -> UTF-8.
std::string fromCp1251(std::string_view cp1251);

// Lower case by the code page's own rules (Latin and Cyrillic letters,
// including the Ukrainian ones), byte for byte in place.
void lowerCp1251(std::string& text);

} // namespace qd
