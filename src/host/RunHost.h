#pragma once

#include "definition/Accommodations.h"
#include "definition/Fault.h"
#include "definition/TestLoader.h"
#include "definition/TestModel.h"
#include "exam/ExamLink.h"
#include "exam/StudentList.h"
#include "results/CheckpointFile.h"
#include "results/ReportFile.h"
#include "run/RunState.h"
#include "run/TestSession.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace qd {

class Clock;
class SessionView;

// What start-up hands to the test run: the loaded test and the run's draws.
struct StartedTest
{
    std::unique_ptr<TestModel> model;
    RunState state;
    // accommodations.txt beside the test; empty without one.
    AccommodationTable accommodations;
    // The model as loaded, before the draws: a resumed run is drawn from it
    // again with its checkpoint's seed.
    std::unique_ptr<const TestModel> undrawn;
};

// The start-up of a run up to its title page, without a window: the test in
// `dir` is loaded for a window of `window`'s size, the run's questions and
// option orders are drawn from `seed`, and the pictures of the questions this
// run will ask are checked, so that a missing or broken picture stops the
// program here and not in the middle of a student's test. The program and
// the examiner's dry run both start this way, so that a seed gives both the
// same run. A bad accommodations.txt beside the test stops it too. Returns
// the first fault.
Result<StartedTest> startTest(const std::filesystem::path& dir, const WindowGeometry& window,
                              const CharWidthFn& charWidth, uint32_t seed);

// What the title page shows of the examination mode; the window and the dry
// run each show it their way.
class TitlePageView
{
public:
    virtual ~TitlePageView() = default;
    // "Почати тестування" and the check box, greyed out while the link is
    // being opened.
    virtual void setTitleControlsEnabled(bool enabled) = 0;
    virtual void untickExamBox() = 0;
    virtual void setStudentNames(const std::vector<std::string>& names) = 0;
    virtual void examLinkUp() = 0;
    virtual void examLinkRefused(int code) { (void)code; }
    // The line about the name's unfinished run (code page 1251): that it
    // will be resumed, or why it will not; empty for none.
    virtual void setResumeLine(const std::string& text) { (void)text; }
    // A message that does not end the program (code page 1251).
    virtual void message(const std::string& text) = 0;
};

// One student's run as both the window and the examiner's dry run drive it:
// the test session writing its report, the exam link in examination mode,
// and the title page's rules. The drivers only turn their own input (widget
// signals, script lines) into the calls below and show what the session and
// the title page ask of them.
class RunHost
{
public:
    // `model` and the views must outlive the host; `state` comes from
    // startTest. `clock` runs the session, `linkClock` the exam link's own
    // limits (the machine's clock even when the session's is virtual).
    // `dir` is the directory the test was loaded from.
    RunHost(TestModel& model, RunState state, Clock& clock, const Clock& linkClock,
            SessionView& view, TitlePageView& titlePage, const std::filesystem::path& dir);

    TestSession& session() { return m_session; }
    const TestSession& session() const { return m_session; }
    const ReportFile& report() const { return m_report; }
    ExamLink& examLink() { return m_link; }
    const ExamLink& examLink() const { return m_link; }
    bool titleControlsEnabled() const { return m_controlsEnabled; }
    // The accommodations file's table: the name that begins the test picks
    // its line.
    void setAccommodations(AccommodationTable table) { m_accommodations = std::move(table); }
    const AccommodationTable& accommodations() const { return m_accommodations; }

    // Runs are kept in checkpoints and resumed from them; `undrawn` is
    // startTest's. Without this call nothing is kept or resumed.
    void enableResume(std::unique_ptr<const TestModel> undrawn);
    CheckpointFile& checkpoints() { return m_checkpoints; }
    // The name box's text changed (code page 1251): the title page's line
    // about that name's unfinished run is shown.
    void nameEntered(const std::string& name);

    // A click on the check box "Екзаменаційне тестування", ticking or
    // unticking it: the student list is read again and its names replace
    // the list (after a failed read, those of the last good one). False when
    // the box is greyed out and the click does nothing.
    bool examBoxClicked();
    // "Почати тестування" with the name box's text (code page 1251) and the
    // check box's state. On the title page only; in examination mode the
    // session opens the link itself, and while it is being opened the title
    // page cannot start another attempt. False when the click does nothing
    // (not on the title page, or the controls greyed out).
    bool beginClicked(const std::string& name, bool exam);

private:
    void setTitleControlsEnabled(bool enabled);
    void onLinkEvent(const LinkEvent& event);

    // What the title page knows of a name's checkpoint.
    struct Lookup
    {
        std::string name;
        std::string line; // the title page's line
        std::optional<Checkpoint> usable;
        std::filesystem::path file;
        std::unique_ptr<TestModel> model; // drawn from the checkpoint's seed
        RunState state;
    };
    Lookup& lookup(const std::string& name);

    TestModel& m_model;
    std::unique_ptr<const TestModel> m_undrawn;
    std::string m_testId;
    std::optional<Lookup> m_lookup;

    TitlePageView& m_titlePage;
    std::filesystem::path m_dir;
    ReportFile m_report;
    CheckpointFile m_checkpoints{m_report};
    TestSession m_session;
    StudentList m_students;
    bool m_controlsEnabled = true;
    AccommodationTable m_accommodations;
    // Declared last: it goes first, handing the platform what is left of
    // the final message before the session and the report go.
    ExamLink m_link;
};

} // namespace qd
