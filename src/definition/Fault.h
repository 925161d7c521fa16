#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace qd {

// A fault found in the core: the exact message the program shows, as
// code page 1251 bytes. The core never shows or exits; the shell does.
struct Fault
{
    std::string message;
};

// What an operation that can fail gives back: its value, or the fault that
// stopped it. std::get/std::get_if/std::visit work on it as on the variant.
template <typename T = void> class [[nodiscard]] Result : public std::variant<T, Fault>
{
public:
    using std::variant<T, Fault>::variant;

    bool ok() const { return this->index() == 0; }
    T& value() & { return std::get<0>(*this); }
    const T& value() const& { return std::get<0>(*this); }
    T&& value() && { return std::get<0>(std::move(*this)); }
    const Fault& fault() const { return std::get<1>(*this); }
};

// An operation that gives nothing back but can fail: empty on success, so
// that `if (Status f = step()) return f;` passes a fault on.
template <> class [[nodiscard]] Result<void> : public std::optional<Fault>
{
public:
    using std::optional<Fault>::optional;

    bool ok() const { return !has_value(); }
    const Fault& fault() const { return **this; }
};

using Status = Result<void>;

// printf-style formatting of a message whose format is written in UTF-8 in
// the source: the format is converted to code page 1251 first, so that the
// result is the byte string the program reports. Arguments are integers.
Fault fault(std::string_view utf8Format);
Fault fault(std::string_view utf8Format, int a);
Fault fault(std::string_view utf8Format, int a, int b);

} // namespace qd
