#pragma once

#include "definition/Fault.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qd {

// What a school grants one student beyond the test's own settings: more
// time, larger text, stronger contrast, an exam that says nothing until the
// end. The defaults change nothing, so a run without any is the plain run.
struct Accommodation
{
    double timeFactor = 1.0; // both clocks: the question's and the test's, 1 to 4
    double textScale = 1.0;  // the question screen, the strip, the title page, 1 to 3
    bool highContrast = false;
    bool quiet = false; // no right/wrong square and no running score until the results

    bool any() const { return timeFactor != 1.0 || textScale != 1.0 || highContrast || quiet; }
    bool operator==(const Accommodation&) const = default;

    // The settings in the file's own words ("time=2; text=1.5; contrast=high;
    // quiet"), only those that differ from the plain run; empty for none.
    std::string settingsText() const;
    // The line the report, the results window and the server's journal
    // carry (code page 1251); empty for none.
    std::string reportLine() const;
};

// The file accommodations.txt beside the test: one line per student, the
// name as the title page takes it, then settings each after a ';'. A line
// for '*' applies to everyone; a student's own line adds to it and wins
// where both set the same thing. '#' starts a comment. UTF-8 or code page
// 1251; names are kept in code page 1251, as the title page hands them over.
class AccommodationTable
{
public:
    static constexpr const char* kFileName = "accommodations.txt";
    // The file is a list of names, never more than a school's roster.
    static constexpr std::size_t kMaxBytes = 1u << 20;

    // Parses the file's bytes; the first bad line is a fault naming its
    // number and what is wrong with it.
    static Result<AccommodationTable> parse(std::string_view bytes);
    // Reads accommodations.txt in `dir` (its name in any case). No file is
    // an empty table; an unreadable or bad one is a fault.
    static Result<AccommodationTable> load(const std::filesystem::path& dir);

    // What applies to the student of this name (code page 1251).
    Accommodation forStudent(const std::string& name) const;
    bool empty() const { return !m_everyone && m_students.empty(); }
    std::size_t studentCount() const { return m_students.size(); }

private:
    struct Line
    {
        std::optional<double> timeFactor, textScale;
        std::optional<bool> highContrast, quiet;
    };
    static Accommodation apply(Accommodation base, const Line& line);

    std::optional<Line> m_everyone;
    std::map<std::string, Line> m_students;
};

} // namespace qd
