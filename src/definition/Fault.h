#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace qd {

// How a fault's message is written. The student's side speaks code page
// 1251 (the test files, the report, the windows); the journal, the results
// tools and the server speak UTF-8. A fault carries which one it is, so a
// shell shows either kind right.
enum class TextEncoding {
    Utf8,
    Cp1251,
};

// A fault found in the core: the exact message the program shows. The core
// never shows or exits; the shell does.
struct Fault
{
    std::string message;
    TextEncoding encoding = TextEncoding::Utf8;

    // The message in either encoding; a character code page 1251 lacks
    // becomes '?'.
    std::string utf8() const;
    std::string cp1251() const;
};

// What an operation that can fail gives back: its value, or the fault that
// stopped it. Read it with ok(), value() and fault().
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

// An operation that gives nothing back but can fail:
// `if (Status s = step(); !s.ok()) return s;` passes a fault on.
template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Fault fault) : m_fault(std::move(fault)) {}

    bool ok() const { return !m_fault.has_value(); }
    const Fault& fault() const { return *m_fault; }

private:
    std::optional<Fault> m_fault;
};

using Status = Result<void>;

// A fault of the student's side, whose message is written in UTF-8 in the
// source and shown in code page 1251. The formatted forms are printf-style
// with integer arguments.
Fault fault(std::string_view utf8Format);
Fault fault(std::string_view utf8Format, int a);
Fault fault(std::string_view utf8Format, int a, int b);

} // namespace qd
