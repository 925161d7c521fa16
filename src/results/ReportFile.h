#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/Clock.h"
#include "run/ReportSink.h"
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
//
// The whole report is also kept in memory (about a megabyte at most),
// so that a write that fails (a full disk, a file-size limit, an I/O error)
// loses nothing: the report so far is written again, whole, to a new file in
// the fall-back folder ~/REZ_TEST, and the run goes on there. A file that is
// known to be cut is never named as the report, and the finished report
// handed on (to the exam link) always comes whole from memory.
class ReportFile : public ReportSink
{
public:
    ReportFile() = default;
    ~ReportFile() override;
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // Begins the report of st.studentName (code page 1251); the test's name
    // is st.testTitle (testTitleOf: model.testName, CR LF "(" working
    // directory ")"). The
    // file name is the student's name without blanks, made harmless
    // by makeFileNameSafe, plus ".txt", stored under its UTF-8 form. A name
    // that is empty without blanks gives no report and no message. The folder
    // is model.reportDir (relative to workDir), made when missing; when the
    // file cannot be created there (no such folder, a regular file, no
    // permission, a read-only file system), REZ_TEST in the home directory
    // ($HOME, taken as bytes). An existing report is never replaced nor a
    // symbolic link followed: the file is created exclusively, and a name
    // that is taken gets " (2)", " (3)", ... before ".txt". Then writes the
    // date (from `clock`), the names, the grading criteria and the headings.
    // The returned fault "Не удалось создать файл результатов!" (no folder
    // would take the file) is not fatal: the test runs without a report file.
    Status createReport(const TestModel& model, const RunState& st, const Clock& clock,
                        const std::filesystem::path& workDir) override;

    // A resumed run's report: the file `fileName` in `dir` goes on when it
    // holds exactly `text` (the bytes the checkpoint recorded). A file that
    // was cut or changed since is left as it is, and `text` goes whole into
    // a new file of the student's name (numbered as usual) in `dir`, else in
    // the fall-back folder; the returned fault says so (not fatal). A file
    // that is not there (a checkpoint carried to another computer) is
    // written anew from `text` without a word.
    Status continueReport(std::string_view studentName, const std::filesystem::path& dir,
                          const std::string& fileName, std::string_view text);
    // Every byte of the report so far.
    const std::string& text() const { return m_text; }

    // The line of a scored question: its number (currentQuestion + 1), its
    // points and the answer column: for types 1 and 2 "%2d," per pick with
    // the option's file number (mapped through displayOrder; for a
    // picture-only question the typed numbers themselves), nothing when there
    // is no pick; for the other types answerText. The line is written whole
    // however long. Nothing without a report.
    void writeQuestionLine(const TestModel& model, const RunState& st, float points) override;

    // The closing rows: points, percentage and time, grade (code page 1251);
    // then the file is flushed to the disk (fsync), which can fail as a write
    // does.
    void writeClosingRows(const RunState& st, int percent, uint32_t seconds,
                          std::string_view grade) override;

    // "Не удалось записать файл результатов!" once, after the first write
    // that failed (the caller shows it, not fatal); nothing otherwise.
    Status takeWriteFault() override;

    // The whole report from memory once its closing rows are written: the
    // same bytes as the file when every write went well, and still the whole
    // report when one did not. Empty before, and for a run without a report.
    std::string_view finishedReport() const override;

    bool isOpen() const { return m_fd >= 0; }
    // The file that holds the whole report so far; empty when there is none
    // (no name, no folder would take it, or every copy was cut).
    const std::filesystem::path& path() const { return m_path; }
    void close() override;

    // The folder a report goes to when the test's own will not take it:
    // REZ_TEST in the home directory.
    static std::filesystem::path fallbackDir();

    // Files of one name that are tried before the folder counts as unusable.
    static constexpr int kMaxNumberedNames = 999;

private:
    void put(std::string_view bytes);
    void writeFailed();
    bool createIn(const std::filesystem::path& dir);
    void begin(std::string_view studentName);
    bool reopen(const std::filesystem::path& path, std::string_view text);

    int m_fd = -1;
    std::filesystem::path m_path;
    std::filesystem::path m_fallbackDir;
    bool m_inFallbackDir = false;
    std::string m_name;   // code page 1251, without ".txt"
    bool m_named = false; // a report exists for this run (in memory at least)
    std::string m_text;   // every byte of the report so far
    bool m_writeFailed = false;
    bool m_faultTaken = false;
    bool m_finished = false; // the closing rows are written
};

} // namespace qd
