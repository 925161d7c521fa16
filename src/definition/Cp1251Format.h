#pragma once

#include "definition/Cp1251.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

namespace qd {

// printf-style formatting of a text the program writes in code page 1251
// (a message, a report row) whose format is written in UTF-8 in the source:
// the format is converted first, so the result is the bytes to write.
// Arguments are numbers (floats go in as doubles) or characters.
template <typename... Args> std::string formatCp1251(std::string_view utf8Format, Args... args)
{
    const std::string format = toCp1251(utf8Format);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(nullptr, 0, format.c_str(), args...);
    std::string out(std::size_t(std::max(n, 0)) + 1, '\0');
    std::snprintf(out.data(), out.size(), format.c_str(), args...);
#pragma GCC diagnostic pop
    out.resize(std::size_t(std::max(n, 0)));
    return out;
}

// Points as the report, the messages, the journal and the exports all write
// them: two decimals after a point. The programs keep the C library's
// numbers in the "C" locale, so a Ukrainian desktop does not turn the point
// into a comma.
std::string twoDecimals(double points);

} // namespace qd
