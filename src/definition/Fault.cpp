#include "definition/Fault.h"

#include "definition/Cp1251.h"
#include "definition/Cp1251Format.h"

#include <cstdio>

namespace qd {

namespace {

template <typename... Args> Fault formatted(std::string_view utf8Format, Args... args)
{
    return Fault{formatCp1251(utf8Format, args...), TextEncoding::Cp1251};
}

} // namespace

std::string Fault::utf8() const
{
    return encoding == TextEncoding::Utf8 ? message : fromCp1251(message);
}

std::string Fault::cp1251() const
{
    return encoding == TextEncoding::Cp1251 ? message : toCp1251(message);
}

Fault fault(std::string_view utf8Format)
{
    return Fault{toCp1251(utf8Format), TextEncoding::Cp1251};
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
