#pragma once

#include "definition/Fault.h"
#include "definition/TestModel.h"
#include "run/Checkpoint.h"
#include "run/Clock.h"
#include "run/RunState.h"
#include "run/SessionView.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qd {

class CheckpointSink;
class ExamHooks;
class ReportSink;

// One student's test run, from the title page's button to the results: the
// flow, the timers' work, the response of the mouse and the typed answer,
// scoring and the report. It never draws and never waits: the window (or the
// examiner's dry run) forwards its clicks, presses, moves, text changes and
// timer ticks here and carries out what the session asks of its view.
//
// Handlers that can meet a fatal fault (the scoring of a question) return
// it; the caller reports it and ends the program.
class TestSession
{
public:
    enum class Phase { TitlePage, Waiting, Question, Finished };
    enum class CloseReply { EndProgram, KeepOpen };

    // The title page refuses a student's name of this many bytes or more.
    static constexpr int kNameLimit = 50;

    // The model stays as start-up left it: the run keeps what changes (the
    // shown question's rectangles, the test's title) in its state.
    // `state` comes from the start-up draws (prepareRun). `workDir` is the
    // directory the test was loaded from: the report names it.
    TestSession(const TestModel& model, RunState state, Clock& clock, SessionView& view,
                ReportSink& report, std::filesystem::path workDir);

    // Examination mode: the link object and the flags it sets.
    void setExamHooks(ExamHooks* hooks) { m_exam = hooks; }
    void setLinkActive(bool on) { m_linkActive = on; }
    void setExamPermitted(bool on) { m_examPermitted = on; }
    bool linkActive() const { return m_linkActive; }
    // Checkpoints: taken when a question is shown, when it is answered and
    // at most Checkpoint::kPeriodMs apart while it is open; discarded when
    // the test ends normally. `testId` is testIdentity() of the model.
    // Without a sink nothing is kept.
    void setCheckpoints(CheckpointSink* sink, std::string testId);
    // On the title page: the next "Почати тестування" resumes this run
    // (its mode, draw, answers, report and clocks) instead of starting one.
    // The caller has redrawn the model from the checkpoint's seed into
    // `drawn` and checked that it fits (checkpointFits); the session takes
    // its question order. nullopt: start afresh (the draw stays as it is).
    void setResume(std::optional<Checkpoint> checkpoint, const RunState& drawn);
    bool resuming() const { return m_resume.has_value(); }

    // The link was abandoned (refused, unreachable): a start wait ends and
    // the title page is usable again. During the test nothing changes here.
    void returnToTitlePage();
    // What applies to the student about to begin (accommodations.txt): set
    // before "Почати тестування", taken when the test starts.
    void setAccommodation(const Accommodation& a);
    // The clocks as this student's time factor stretches them.
    int questionSecondsAllowed() const;
    uint32_t testMillisecondsAllowed() const;

    // "Почати тестування": the name box's text (code page 1251) and the
    // examination check box.
    void clickBegin(const std::string& name, bool exam);
    // Tick of the 100 ms start wait.
    void waitTick();
    // Tick of the 50 ms question timer.
    Status questionTick();
    // "Наст. питання".
    Status clickNext() { return nextQuestion(); }
    Status nextQuestion();
    // Close request of the main window.
    CloseReply closeMain();

    // The answer box's text changed (code page 1251).
    void setAnswerText(const std::string& text) { m_editText = text; }
    bool answerBoxShown() const { return m_answerBox; }

    // Mouse, in pixels of the client area.
    void mouseMove(int x, int y);
    void mouseDown(int x, int y);
    // The keyboard, for a student without a mouse. It does what the mouse
    // does, step for step: moving the focus is the pointer moving onto an
    // option (blue, as the hover), Space is a press on the focused option
    // (or, on an ordering question, on its marker bar, which Left reaches
    // and Right leaves). Up/Down go through the rows of a column, Left/Right
    // through the columns of a matching question (and through the options
    // of a choice question), Home/End to the first and last row. The focus
    // is also shown by a bar under the focused option. False when the key
    // means nothing here (a typed question, no question shown).
    enum class Key { Up, Down, Left, Right, Home, End, Space };
    bool keyPressed(Key key);
    // A press on cell (column, row), or on its marker cell, as the mouse's
    // press there: what a screen reader's action does. False when the
    // question takes no presses or there is no such cell.
    bool pressOption(int column, int row, bool marker);
    // Rows of a column of the question shown (columns of a matching
    // question; column 0 only otherwise).
    int rowsIn(int column) const;
    int columnsShown() const;
    // The focused option: column, row and whether on the marker bar; row -1
    // before the first key of a question.
    int focusColumn() const { return m_focusColumn; }
    int focusRow() const { return m_focusRow; }
    bool focusMarker() const { return m_focusMarker; }

    // Hit test on the answer rectangles as they stand on the screen: the
    // row of the option under (x, y) or -1; its column (0 for types 1 to 3,
    // -1 for no hit) and whether the point is in its marker cell.
    int hitTest(int x, int y, int& column, bool& marker) const;
    // Whether cell k of column col belongs to the current response.
    bool isChosen(int col, int k) const;

    Phase phase() const { return m_phase; }
    const RunState& state() const { return m_rs; }
    const TestModel& model() const { return m_model; }
    // The points the last scored question received (after the clamp).
    float lastPoints() const { return m_lastPoints; }
    // The screen rectangle of an option: column col, shown row.
    const AnswerSlot& slotAt(int col, int row) const;

private:
    const Question& current() const { return m_model.questions[std::size_t(m_rs.currentQuestion)]; }
    bool mouseGate() const;

    void showQuestion(bool first);
    void display();
    void drawAnswerArea();
    void showResults();
    void startResumed();
    void saveCheckpoint(bool questionOpen);

    void hoverAt(int column, int row);
    void pressAt(int column, int row, bool marker);
    void drawFocus(bool shown);
    bool pressOrdering(int row, bool marker);
    bool pressMatching(int column, int row);
    bool pressMatchingColumns(int column, int row);
    void drawCell(int col, int row, uint32_t colour);
    void drawMarker(int row, uint32_t colour);

    const TestModel& m_model;
    RunState m_rs;
    Clock& m_clock;
    SessionView& m_view;
    ReportSink& m_report;
    std::filesystem::path m_workDir;
    ExamHooks* m_exam = nullptr;

    Phase m_phase = Phase::TitlePage;
    bool m_examMode = false;
    bool m_linkActive = false;
    bool m_examPermitted = false;
    int m_closeAttempts = 0;
    bool m_picPending = false;
    bool m_answerBox = false;
    std::string m_editText;
    float m_lastPoints = 0.0f;
    int m_focusColumn = 0;
    int m_focusRow = -1;
    bool m_focusMarker = false;

    CheckpointSink* m_checkpoints = nullptr;
    std::string m_testId;
    std::optional<Checkpoint> m_resume;
    std::vector<Checkpoint::Answer> m_answers;
    std::vector<std::vector<int32_t>> m_optionOrders;
    int32_t m_resumeCount = 0;
    uint32_t m_lastCheckpointTick = 0;
};

} // namespace qd
