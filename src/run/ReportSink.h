#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/Clock.h"
#include "run/RunState.h"

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace qd {

// Where a run writes its report: begun when the test starts, one line per
// scored question, the totals at the end. The session only decides when
// and what; how the bytes reach a file (and survive a failing disk) is the
// results report's business (ReportFile).
class ReportSink
{
public:
    virtual ~ReportSink() = default;

    // Begins the report for the run's student (st.studentName, code page
    // 1251) under its test title (st.testTitle) of the test loaded from
    // `workDir`. A fault is not fatal: the test runs without a report.
    virtual Status createReport(const TestModel& model, const RunState& st, const Clock& clock,
                                const std::filesystem::path& workDir) = 0;

    // The line of a scored question.
    virtual void writeQuestionLine(const TestModel& model, const RunState& st, float points) = 0;

    // The closing rows.
    virtual void writeClosingRows(const RunState& st, int percent, uint32_t seconds,
                                  std::string_view grade) = 0;

    // The first write fault since the last call, once; nothing otherwise.
    virtual Status takeWriteFault() = 0;

    // The whole report once its closing rows are written (the exam link
    // sends it with the verdict); empty before, and without a report.
    virtual std::string_view finishedReport() const = 0;

    virtual void close() = 0;
};

} // namespace qd
