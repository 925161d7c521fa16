#include "definition/Fault.h"

#include "definition/Cp1251.h"

#include <cstdio>

namespace qd {

namespace {

template <typename... Args> Fault formatted(std::string_view utf8Format, Args... args)
{
    const std::string format = toCp1251(utf8Format);
    // 64 bytes of room for two decimal numbers in the longest message.
    std::string out(format.size() + 64, '\0');
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int n = std::snprintf(out.data(), out.size(), format.c_str(), args...);
#pragma GCC diagnostic pop
    out.resize(n > 0 ? std::size_t(n) : 0);
    return Fault{out};
}

} // namespace

Fault fault(std::string_view utf8Format)
{
    return Fault{toCp1251(utf8Format)};
}

Fault fault(std::string_view utf8Format, int a)
{
    return formatted(utf8Format, a);
}

Fault fault(std::string_view utf8Format, int a, int b)
{
    return formatted(utf8Format, a, b);
}

} // namespace qd
