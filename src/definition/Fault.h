#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qd {

// A fault found in the core: the exact message the program shows, as
// code page 1251 bytes. The core never shows or exits; the shell does.
struct Fault
{
    std::string message;
};

// No value means success.
using Status = std::optional<Fault>;

// printf-style formatting of a message whose format is written in UTF-8 in
// the source: the format is converted to code page 1251 first, so that the
// result is the byte string the program reports. Arguments are integers.
Fault fault(std::string_view utf8Format);
Fault fault(std::string_view utf8Format, int a);
Fault fault(std::string_view utf8Format, int a, int b);

} // namespace qd
