#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/Clock.h"
#include "run/RunState.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace qd {

// The results report: a code page 1251 text file named after the student,
// created when the test starts, one line per scored question, the totals at
// the end. Every write goes straight to the file descriptor (no buffering),
// so a run that is killed keeps every finished question's line.
class ReportFile
{
public:
    ReportFile() = default;
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // Begins the report. Appends CR LF "(" working directory ")" to
    // model.test_name (the directory converted to code page 1251, a missing
    // character as "?", at most 128 bytes). The file name is st_name (code
    // page 1251) without blanks, made harmless by del_harm, plus ".txt",
    // stored under its UTF-8 form. A name that is empty without blanks gives
    // no report and no message. The directory is model.rez_dir (relative to
    // workDir) when it exists or can be created, else REZ_TEST in the home
    // directory ($HOME), created when missing. An existing file is emptied.
    // Then writes the date (from `clock`), the names, the grading criteria
    // and the headings. The returned fault "Не удалось создать файл
    // результатов!" is not fatal: the test runs without a report.
    Status create_df(TestModel& model, std::string_view st_name, const Clock& clock,
                     const std::filesystem::path& workDir);

    // The line of a scored question: its number (cur_q + 1), its points and
    // the answer column: for types 1 and 2 "%2d," per pick with the option's
    // file number (mapped through ord; with graph 2 the typed numbers
    // themselves), nothing when there is no pick; for the other types
    // ans_text. The line is written whole however long. Nothing without a
    // report.
    void write_1q(const TestModel& model, const RunState& st, float points);

    // The closing rows: points, percentage and time, grade (code page 1251).
    // With `linkActive` the whole report is then read back into the send
    // buffer of the final exam message (no report: an empty one).
    void write_rez(const RunState& st, int percent, uint32_t seconds, std::string_view grade,
                   bool linkActive);

    // The final exam message's buffer: kSendHeader bytes of room for the
    // message fields, the report's bytes, kSendTail spare bytes; and the
    // report's length. Empty until write_rez loads it.
    static constexpr int kSendHeader = 155;
    static constexpr int kSendTail = 8;
    const std::string& sendBuffer() const { return m_send; }
    int32_t sendLength() const { return m_sendLength; }

    bool isOpen() const { return m_fd >= 0; }
    const std::filesystem::path& path() const { return m_path; } // empty: none
    void close();

private:
    void put(std::string_view bytes);

    int m_fd = -1;
    std::filesystem::path m_path;
    std::string m_send;
    int32_t m_sendLength = 0;
};

} // namespace qd
