#include "run/TestSession.h"

#include "definition/Cp1251.h"
#include "definition/Cp1251Format.h"
#include "run/CheckpointSink.h"
#include "run/ExamHooks.h"
#include "run/Grading.h"
#include "run/ReportSink.h"
#include "run/RunStart.h"
#include "run/Scoring.h"
#include "run/Selection.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qd {

namespace {

constexpr int32_t kHandCursor = 101;
constexpr int32_t kArrowCursor = -2;

// The first `count` entries of `values` hold `key`.
bool among(const int32_t* values, int count, int32_t key)
{
    return std::find(values, values + std::max(count, 0), key) != values + std::max(count, 0);
}

// Removes the first occurrence of key; later entries move up.
void removeFirst(int32_t* values, int32_t& count, int32_t key)
{
    int32_t* end = values + count;
    int32_t* hit = std::find(values, end, key);
    if (hit == end) {
        return;
    }
    std::copy(hit + 1, end, hit);
    end[-1] = -2;
    --count;
}

} // namespace

TestSession::TestSession(const TestModel& model, RunState state, Clock& clock, SessionView& view,
                         ReportSink& report, std::filesystem::path workDir)
    : m_model(model),
      m_rs(std::move(state)),
      m_clock(clock),
      m_view(view),
      m_report(report),
      m_workDir(std::move(workDir))
{
}

// ---- Title page and start wait ------------------------------------------

void TestSession::setCheckpoints(CheckpointSink* sink, std::string testId)
{
    m_checkpoints = sink;
    m_testId = std::move(testId);
}

void TestSession::setResume(std::optional<Checkpoint> checkpoint, const RunState& drawn)
{
    if (m_phase != Phase::TitlePage) {
        return;
    }
    if (checkpoint) {
        m_rs.askingOrder = drawn.askingOrder;
        m_rs.seed = drawn.seed;
    }
    m_resume = std::move(checkpoint);
}

void TestSession::clickBegin(const std::string& name, bool exam)
{
    // The button lives on the title page only.
    if (m_phase != Phase::TitlePage) {
        return;
    }
    // A resumed run keeps the mode it was begun in.
    if (m_resume) {
        exam = m_resume->examMode;
    }
    if (int(name.size()) >= kNameLimit) {
        m_view.message(
            fault("Фамилия и инициалы не должны содержать более %d символов!", kNameLimit).message);
        m_view.clearNameBox();
        return;
    }
    m_rs.studentName = name;
    m_examMode = exam;
    if (exam) {
        if (name.empty()) {
            m_view.message(toCp1251("Для проходження екзаменаційного тестування\n"
                                    "необхідно ввести прізвище та ініціали!\n"));
            return;
        }
        // A resumed run registers with the progress it has made, which tells
        // the server that the same sitting goes on.
        if (m_resume && m_exam != nullptr && !m_resume->answers.empty()) {
            m_exam->answered(m_resume->finishedCount, m_resume->answers.back().right,
                             m_resume->score);
        }
        // Without a link object nothing admits the student: the wait goes on
        // as with a silent server.
        if (m_exam != nullptr && !m_exam->open(name)) {
            return;
        }
    }
    m_phase = Phase::Waiting;
    m_view.setWaitTimer(true);
}

void TestSession::setAccommodation(const Accommodation& a)
{
    if (m_phase == Phase::TitlePage) {
        m_rs.accommodation = a;
    }
}

int TestSession::questionSecondsAllowed() const
{
    return int(std::lround(m_model.questionSeconds * m_rs.accommodation.timeFactor));
}

uint32_t TestSession::testMillisecondsAllowed() const
{
    // At most 600 minutes times 4: well inside 32 bits.
    return uint32_t(std::llround(m_model.testMinutes * 60000.0 * m_rs.accommodation.timeFactor));
}

void TestSession::returnToTitlePage()
{
    if (m_phase != Phase::Waiting) {
        return; // during the test the link is dropped and the test goes on
    }
    m_view.setWaitTimer(false);
    m_phase = Phase::TitlePage;
}

void TestSession::waitTick()
{
    if (m_phase != Phase::Waiting) {
        return;
    }
    if (m_examMode && !(m_linkActive && m_examPermitted)) {
        return;
    }
    m_rs.testTitle = testTitleOf(m_model.testName, m_workDir);
    m_optionOrders = optionOrdersOf(m_model, questionsAsked(m_model, m_rs));
    if (m_resume) {
        startResumed();
        return;
    }
    // Not fatal: the test runs without a report file, or with its copy.
    Status s = m_report.createReport(m_model, m_rs, m_clock, m_workDir);
    if (s.ok()) {
        s = m_report.takeWriteFault();
    }
    if (!s.ok()) {
        m_view.setWaitTimer(false);
        m_view.message(s.fault().cp1251());
    }
    if (m_rs.accommodation.any()) {
        m_view.applyAccommodation(m_rs.accommodation);
    }
    m_view.showQuestionScreen();
    showQuestion(true);
    m_view.setQuestionCount(m_model.askCount);
    m_view.setProgress(0, questionSecondsAllowed());
    m_view.setQuestionTimer(true);
    m_view.setWaitTimer(false);
    m_rs.questionStartTick = m_rs.testStartTick = m_clock.ticks();
    m_rs.notStarted = 0;
    m_phase = Phase::Question;
    saveCheckpoint(true);
    // The window shows the first question at its next paint.
    m_view.repaint();
}

// The start of a resumed run: the report goes on, the totals and the
// clocks come back, and the question that was open (or the next one) is
// shown with the time it had left. The time between the last checkpoint and
// the cut was recorded nowhere; it is charged to the clocks (up to the
// checkpoint period, as far as the calendar clock shows it passed), so that
// a restart never gives time back. The downtime itself counts for neither.
void TestSession::startResumed()
{
    const Checkpoint c = std::move(*m_resume);
    m_resume.reset();
    if (m_checkpoints != nullptr) {
        if (Status s = m_checkpoints->continueReport(m_model, c, m_workDir); !s.ok()) {
            m_view.message(s.fault().cp1251());
        }
    }
    m_answers = c.answers;
    m_resumeCount = c.resumeCount + 1;
    m_rs.finishedCount = c.finishedCount;
    m_rs.unaskedCount = c.unaskedCount;
    m_rs.score = c.score;
    m_rs.maxScore = c.maxScore;
    m_rs.wrongQuestions = c.wrongQuestions;
    const bool answeredAny = !c.answers.empty();
    if (answeredAny) {
        m_rs.answerColour = c.answers.back().right ? colour::statusGreen : colour::statusRed;
    }
    const int64_t sinceCheckpoint = m_clock.wallMilliseconds() - c.writtenAtMs;
    const uint32_t charge =
        uint32_t(std::clamp<int64_t>(sinceCheckpoint, 0, int64_t(Checkpoint::kPeriodMs)));
    const uint32_t now = m_clock.ticks();
    m_rs.testStartTick = now - (c.testUsedMs + charge);
    m_rs.notStarted = 0;
    m_view.setWaitTimer(false);
    if (m_rs.accommodation.any()) {
        m_view.applyAccommodation(m_rs.accommodation);
    }
    m_view.showQuestionScreen();
    m_view.setQuestionCount(m_model.askCount);
    m_view.setScoreText(twoDecimals(double(m_rs.score)));
    // A quiet exam tells nothing until the results window.
    if (answeredAny && !m_rs.accommodation.quiet) {
        m_view.setAnswerColour(m_rs.answerColour);
    }
    if (m_rs.finishedCount >= m_model.askCount) {
        // Cut after the last answer, before the results.
        m_phase = Phase::Question;
        showResults();
        return;
    }
    showQuestion(true);
    m_view.setQuestionNumber(m_rs.finishedCount + 1);
    const uint32_t questionUsed = c.openQuestion >= 0 ? c.questionUsedMs + charge : 0;
    m_rs.questionStartTick = now - questionUsed;
    m_view.setProgress(int(std::min<uint32_t>(questionUsed / 1000u, 1000000u)),
                       questionSecondsAllowed());
    const int64_t left =
        int64_t(testMillisecondsAllowed() / 1000u) - int64_t((now - m_rs.testStartTick) / 1000u);
    m_view.setMinutesLeft(int(left >= 0 ? (left + 59) / 60 : left / 60));
    m_view.setQuestionTimer(true);
    m_phase = Phase::Question;
    saveCheckpoint(true);
    m_view.repaint();
}

void TestSession::saveCheckpoint(bool questionOpen)
{
    if (m_checkpoints == nullptr) {
        return;
    }
    const uint32_t now = m_clock.ticks();
    Checkpoint c;
    c.testId = m_testId;
    c.studentName = m_rs.studentName;
    c.examMode = m_examMode;
    c.seed = m_rs.seed;
    c.askingOrder = questionsAsked(m_model, m_rs);
    c.optionOrders = m_optionOrders;
    c.answers = m_answers;
    c.finishedCount = m_rs.finishedCount;
    c.unaskedCount = m_rs.unaskedCount;
    c.score = m_rs.score;
    c.maxScore = m_rs.maxScore;
    c.wrongQuestions = m_rs.wrongQuestions;
    c.openQuestion = questionOpen ? m_rs.currentQuestion : -1;
    c.questionUsedMs = questionOpen ? now - m_rs.questionStartTick : 0;
    c.testUsedMs = now - m_rs.testStartTick;
    // A question is never open longer than the test has run (a resumed
    // run's two starts are computed, not observed).
    c.questionUsedMs = std::min(c.questionUsedMs, c.testUsedMs);
    c.writtenAtMs = m_clock.wallMilliseconds();
    c.registered = m_examMode && m_examPermitted;
    c.acknowledged = m_exam != nullptr && m_exam->acknowledged();
    c.resumeCount = m_resumeCount;
    m_checkpoints->save(std::move(c));
    m_lastCheckpointTick = now;
    if (Status s = m_checkpoints->takeFault(); !s.ok()) {
        m_view.message(s.fault().cp1251());
    }
}

// ---- Questions -----------------------------------------------------------

void TestSession::showQuestion(bool first)
{
    m_rs.currentQuestion = m_rs.askingOrder[std::size_t(m_rs.finishedCount)];
    display();
    if (!first) {
        m_view.setQuestionNumber(m_rs.finishedCount + 1);
        m_rs.questionStartTick = m_clock.ticks();
    }
    const Question& q = current();
    switch (q.type) {
    case QuestionType::SingleChoice:
    case QuestionType::Ordering:
        m_rs.pickCount = 1;
        m_rs.selectedPosition = -1;
        break;
    case QuestionType::MultipleChoice:
    case QuestionType::TypedText:
        m_rs.pickCount = 0;
        m_rs.activeRow = -1;
        break;
    case QuestionType::Matching: {
        m_rs.pickCount = 0;
        m_rs.activeRow = -1;
        const std::size_t rows = q.columns.empty() ? 0 : std::size_t(q.columns[0].rowCount());
        m_rs.matchingPicks.assign(rows, {});
        break;
    }
    case QuestionType::MatchingColumns: {
        m_rs.pickCount = q.columnCount - 1;
        m_rs.activeRow = -1;
        for (auto& row : m_rs.columnPicks) {
            row.fill(-1);
        }
        break;
    }
    default:
        break;
    }
    m_answerBox = q.answeredByTyping();
    m_editText.clear();
    m_focusColumn = 0;
    m_focusRow = -1;
    m_focusMarker = false;
    // The box takes the focus on the first question too: what the student
    // types first belongs in it.
    m_view.setAnswerBox(m_answerBox, m_answerBox);
    if (!first) {
        saveCheckpoint(true);
        m_view.repaint();
        if (m_examMode && m_linkActive && m_exam != nullptr) {
            m_exam->progress(m_rs.finishedCount, m_rs.answerColour == colour::statusGreen,
                             m_rs.score);
        }
    }
}

void TestSession::display()
{
    const Question& q = current();
    m_rs.stemTop = m_view.displayQuestion(m_rs.currentQuestion);
    m_picPending = q.picture != PictureMode::None;
    m_rs.shown.options = q.options;
    m_rs.shown.columns = q.columns;
    drawAnswerArea();
}

// The answer area of the current question. The shown rectangles, as the
// file lays them out, become screen rectangles here (below the picture, and
// one character to the right of the marker bar on an ordering question); the
// hit test uses them as they are left. They must be fresh when this runs:
// once per question, and after every move of an ordering question, which
// lays them out anew.
void TestSession::drawAnswerArea()
{
    const Question& q = current();
    ShownAnswers& shown = m_rs.shown;
    int whiteTop = SessionView::kNoAnswerArea;
    if (q.picture != PictureMode::PictureOnly && !shown.options.empty()) {
        whiteTop = shown.options[0].top + m_rs.stemTop - m_model.lineHeight / 5;
    }
    auto place = [&](AnswerSlot& s) {
        s.top += m_rs.stemTop;
        s.bottom += m_rs.stemTop;
        if (q.type == QuestionType::Ordering) {
            s.left += m_model.charWidth;
        }
    };
    if (q.pickedFromList()) {
        for (int j = 0; j < q.optionCount && j < int(shown.options.size()); ++j) {
            place(shown.options[std::size_t(j)]);
        }
    } else if (q.isMatching()) {
        for (Column& c : shown.columns) {
            for (AnswerSlot& s : c.cells) {
                place(s);
            }
        }
    }
    m_view.drawAnswers(m_rs.currentQuestion, shown, whiteTop, m_rs.placed.data());
}

Status TestSession::questionTick()
{
    if (m_phase != Phase::Question) {
        return {};
    }
    if (m_picPending) {
        m_picPending = false;
        m_view.capturePicture();
        m_view.repaint();
    }
    const uint32_t now = m_clock.ticks();
    const uint32_t q = (now - m_rs.questionStartTick) / 1000u;
    m_view.setProgress(int(std::min<uint32_t>(q, 1000000u)), questionSecondsAllowed());
    if (q >= uint32_t(questionSecondsAllowed())) {
        m_view.beep();
        if (Status s = nextQuestion(); !s.ok()) {
            return s;
        }
        if (m_phase != Phase::Question) {
            return {};
        }
    }
    if (m_clock.ticks() - m_lastCheckpointTick >= Checkpoint::kPeriodMs) {
        saveCheckpoint(true);
    }
    const uint32_t t = (m_clock.ticks() - m_rs.testStartTick) / 1000u;
    if (t % 60u == 0) {
        // Whole minutes left: exact at every whole minute of a whole-minute
        // time; a stretched time of part minutes counts its last part too.
        const int64_t left = int64_t(testMillisecondsAllowed() / 1000u) - int64_t(t);
        m_view.setMinutesLeft(int(left >= 0 ? (left + 59) / 60 : left / 60));
    }
    return {};
}

Status TestSession::nextQuestion()
{
    m_view.setHandCursor(false);
    m_rs.cursorShape = kArrowCursor;
    if (m_phase != Phase::Question || m_rs.finishedCount >= m_model.askCount) {
        return {};
    }
    const Question& q = current();
    if (q.type == QuestionType::Matching && m_rs.activeRow >= 0) {
        auto& rec = m_rs.matchingPicks[std::size_t(m_rs.activeRow)];
        rec[0] = m_rs.pickCount;
        std::copy_n(m_rs.picks.begin(), m_rs.pickCount, rec.begin() + 1);
    } else if (q.type == QuestionType::MatchingColumns && m_rs.activeRow >= 0) {
        std::copy_n(m_rs.picks.begin(), q.columnCount - 1,
                    m_rs.columnPicks[std::size_t(m_rs.activeRow)].begin());
    }
    const Result<float> points = scoreQuestion(m_model, m_rs, m_editText, m_report);
    if (!points.ok()) {
        return points.fault();
    }
    m_lastPoints = points.value();
    m_answers.push_back(
        {m_rs.currentQuestion + 1, m_lastPoints, m_rs.answerColour == colour::statusGreen});
    // A quiet exam tells nothing until the results window.
    if (!m_rs.accommodation.quiet) {
        m_view.setAnswerColour(m_rs.answerColour);
    }

    m_rs.finishedCount += 1;
    if (m_exam != nullptr) {
        m_exam->answered(m_rs.finishedCount, m_rs.answerColour == colour::statusGreen, m_rs.score);
    }
    m_rs.resetResponse();
    if (!m_rs.accommodation.quiet) {
        m_view.setScoreText(twoDecimals(double(m_rs.score)));
    }
    if (Status s = m_report.takeWriteFault(); !s.ok()) {
        // No tick may score a question under the box; the next question's
        // time starts when it is shown, after the box.
        m_view.setQuestionTimer(false);
        m_view.message(s.fault().cp1251());
        if (m_phase != Phase::Question) {
            return {}; // the run ended while the box was up
        }
        m_view.setQuestionTimer(true);
    }

    // The test time is enforced here, when a question ends: the questions
    // left count with their marks and earn nothing.
    if (m_clock.ticks() - m_rs.testStartTick >= testMillisecondsAllowed()) {
        skipUnasked(m_model, m_rs);
    }
    saveCheckpoint(false);
    if (m_rs.finishedCount > m_model.askCount - 1) {
        showResults();
        return {};
    }
    showQuestion(false);
    return {};
}

void TestSession::showResults()
{
    m_phase = Phase::Finished;
    m_view.setProgress(0, questionSecondsAllowed());
    m_view.setQuestionTimer(false);
    const ResultsSummary results = qd::summarizeResults(m_model, m_rs, m_clock, m_report);
    if (m_examMode && m_linkActive && m_exam != nullptr) {
        m_exam->finished(results.percent, results.grade, m_report.finishedReport());
    }
    // The report holds the whole run now: nothing is left to resume.
    if (m_checkpoints != nullptr) {
        m_checkpoints->discard();
    }
    m_view.showResults(results);
    if (Status s = m_report.takeWriteFault(); !s.ok()) {
        m_view.message(s.fault().cp1251());
    }
}

TestSession::CloseReply TestSession::closeMain()
{
    ++m_closeAttempts;
    if (m_rs.notStarted != 0) {
        return CloseReply::EndProgram;
    }
    // The results are shown once per run: after the last question the main
    // window is gone already, and a later request changes nothing.
    if (m_closeAttempts == 1 && m_phase == Phase::Question) {
        showResults();
        m_report.close();
    }
    return CloseReply::KeepOpen;
}

// ---- Mouse -----------------------------------------------------------------

bool TestSession::mouseGate() const
{
    if (m_rs.notStarted != 0 || m_phase != Phase::Question) {
        return false;
    }
    const Question& q = current();
    return q.type != QuestionType::TypedText && q.picture != PictureMode::PictureOnly;
}

const AnswerSlot& TestSession::slotAt(int col, int row) const
{
    if (current().isMatching()) {
        return m_rs.shown.columns[std::size_t(col)].cells[std::size_t(row)];
    }
    return m_rs.shown.options[std::size_t(row)];
}

int TestSession::hitTest(int x, int y, int& column, bool& marker) const
{
    marker = false;
    column = -1;
    const Question& q = current();
    const int charWidth = m_model.charWidth;
    auto hit = [&](const AnswerSlot& s) {
        return s.left - charWidth <= x && x <= s.right && s.top <= y && y <= s.bottom;
    };
    const ShownAnswers& shown = m_rs.shown;
    if (q.pickedFromList()) {
        for (int j = 0; j < q.optionCount && j < int(shown.options.size()); ++j) {
            const AnswerSlot& s = shown.options[std::size_t(j)];
            if (hit(s)) {
                column = 0;
                marker = x <= s.left;
                return j;
            }
        }
    } else if (q.isMatching()) {
        for (int c = 0; c < q.columnCount && c < int(shown.columns.size()); ++c) {
            const Column& col = shown.columns[std::size_t(c)];
            for (int j = 0; j < col.rowCount() && j < int(col.cells.size()); ++j) {
                const AnswerSlot& s = col.cells[std::size_t(j)];
                if (hit(s)) {
                    column = c;
                    marker = x <= s.left;
                    return j;
                }
            }
        }
    }
    return -1;
}

bool TestSession::isChosen(int col, int k) const
{
    const Question& q = current();
    switch (q.type) {
    case QuestionType::SingleChoice:
    case QuestionType::MultipleChoice:
    case QuestionType::Ordering:
        return among(m_rs.picks.data(), m_rs.pickCount, k);
    case QuestionType::Matching:
        if (col == 0) {
            return k == m_rs.activeRow;
        }
        if (col == 1) {
            return among(m_rs.picks.data(), m_rs.pickCount, k);
        }
        return true;
    case QuestionType::MatchingColumns:
        if (col == 0) {
            return k == m_rs.activeRow;
        }
        return m_rs.picks[std::size_t(col - 1)] == k;
    default:
        return true;
    }
}

void TestSession::drawCell(int col, int row, uint32_t colour)
{
    m_view.drawOption(slotAt(col, row), colour);
}

// The marker bar of an ordering question's position: the character cell
// left of the option.
void TestSession::drawMarker(int row, uint32_t colour)
{
    const AnswerSlot& s = slotAt(0, row);
    m_view.fillRect(colour, s.left - m_model.charWidth, s.top, s.left, s.bottom);
}

void TestSession::mouseMove(int x, int y)
{
    if (!mouseGate()) {
        return;
    }
    int column = -1;
    bool marker = false;
    int row = hitTest(x, y, column, marker);
    if (row != -1 && marker) {
        row = -1; // the marker cell is no hover target
    }
    hoverAt(column, row);
}

// The pointer (or the keyboard's focus) is now over cell (column, row), or
// over nothing (row -1).
void TestSession::hoverAt(int column, int row)
{
    if (m_rs.hoverReset != 0) {
        m_rs.hoverRow = m_rs.hoverColumn = -1;
        m_rs.hoverReset = 0;
    }
    bool drew = false;
    const bool moved = column != m_rs.hoverColumn || row != m_rs.hoverRow;
    if (row == -1) {
        if (m_rs.cursorShape == kHandCursor) {
            m_view.setHandCursor(false);
            m_rs.cursorShape = kArrowCursor;
        }
    } else if (moved) {
        m_view.setHandCursor(true);
        m_rs.cursorShape = kHandCursor;
        if (!isChosen(column, row)) {
            drawCell(column, row, colour::blue);
            drew = true;
        }
    }
    if (moved && m_rs.hoverRow != -1 && !isChosen(m_rs.hoverColumn, m_rs.hoverRow)) {
        drawCell(m_rs.hoverColumn, m_rs.hoverRow, colour::black);
        drew = true;
    }
    m_rs.hoverRow = row;
    m_rs.hoverColumn = column;
    if (drew) {
        m_view.repaint();
    }
}

void TestSession::mouseDown(int x, int y)
{
    if (!mouseGate()) {
        return;
    }
    int column = -1;
    bool marker = false;
    const int row = hitTest(x, y, column, marker);
    if (row == -1) {
        return;
    }
    pressAt(column, row, marker);
}

void TestSession::pressAt(int column, int row, bool marker)
{
    bool drew = false;
    switch (current().type) {
    case QuestionType::SingleChoice:
        if (row != m_rs.picks[0]) {
            if (m_rs.picks[0] >= 0) {
                drawCell(0, m_rs.picks[0], colour::black);
            }
            drawCell(0, row, colour::red);
            m_rs.picks[0] = row;
            drew = true;
        }
        break;
    case QuestionType::MultipleChoice:
        if (!among(m_rs.picks.data(), m_rs.pickCount, row)) {
            drawCell(0, row, colour::red);
            m_rs.picks[std::size_t(m_rs.pickCount)] = row;
            m_rs.pickCount += 1;
        } else {
            drawCell(0, row, colour::black);
            removeFirst(m_rs.picks.data(), m_rs.pickCount, row);
        }
        drew = true;
        break;
    case QuestionType::Ordering:
        drew = pressOrdering(row, marker);
        break;
    case QuestionType::Matching:
        drew = pressMatching(column, row);
        break;
    case QuestionType::MatchingColumns:
        drew = pressMatchingColumns(column, row);
        break;
    default:
        break;
    }
    if (drew) {
        m_view.repaint();
    }
}

// ---- Keyboard ---------------------------------------------------------------

int TestSession::columnsShown() const
{
    const Question& q = current();
    return q.isMatching() ? std::min(q.columnCount, int(q.columns.size())) : 1;
}

int TestSession::rowsIn(int column) const
{
    const Question& q = current();
    if (q.isMatching()) {
        if (column < 0 || column >= columnsShown()) {
            return 0;
        }
        const Column& c = q.columns[std::size_t(column)];
        return std::min(c.rowCount(), int(c.cells.size()));
    }
    return column == 0 ? std::min(q.optionCount, int(q.options.size())) : 0;
}

// A bar one pixel high in the gap under the focused option (or marker
// cell): white over white where the focus left.
void TestSession::drawFocus(bool shown)
{
    if (m_focusRow < 0 || m_focusRow >= rowsIn(m_focusColumn)) {
        return;
    }
    const AnswerSlot& s = slotAt(m_focusColumn, m_focusRow);
    const int left = m_focusMarker ? s.left - m_model.charWidth : s.left;
    const int right = m_focusMarker ? s.left : s.right;
    m_view.fillRect(shown ? colour::blue : colour::white, left, s.bottom + 1, right, s.bottom + 2);
}

bool TestSession::pressOption(int column, int row, bool marker)
{
    if (!mouseGate() || row < 0 || row >= rowsIn(column)) {
        return false;
    }
    pressAt(column, row, marker);
    if (m_focusRow >= 0) {
        drawFocus(true); // an ordering move redraws the whole answer area
    }
    m_view.repaint();
    return true;
}

bool TestSession::keyPressed(Key key)
{
    if (!mouseGate()) {
        return false;
    }
    const Question& q = current();
    const bool ordering = q.type == QuestionType::Ordering;
    if (key == Key::Space) {
        if (m_focusRow < 0) {
            return true; // nothing focused yet: the first arrow focuses
        }
        pressAt(m_focusColumn, m_focusRow, m_focusMarker);
        drawFocus(true);
        m_view.repaint();
        return true;
    }
    int column = m_focusColumn;
    int row = m_focusRow;
    bool marker = m_focusMarker;
    const int last = rowsIn(column) - 1;
    if (row < 0) {
        // The first key of a question focuses the first option.
        column = 0;
        row = 0;
        marker = false;
    } else {
        switch (key) {
        case Key::Up:
            row = std::max(0, row - 1);
            break;
        case Key::Down:
            row = std::min(last, row + 1);
            break;
        case Key::Home:
            row = 0;
            break;
        case Key::End:
            row = last;
            break;
        case Key::Left:
            if (ordering) {
                marker = true;
            } else if (q.isMatching()) {
                column = std::max(0, column - 1);
            } else {
                row = std::max(0, row - 1);
            }
            break;
        case Key::Right:
            if (ordering) {
                marker = false;
            } else if (q.isMatching()) {
                column = std::min(columnsShown() - 1, column + 1);
            } else {
                row = std::min(last, row + 1);
            }
            break;
        case Key::Space:
            break;
        }
        row = std::min(row, rowsIn(column) - 1);
    }
    if (row < 0) {
        return true; // no option at all
    }
    drawFocus(false);
    m_focusColumn = column;
    m_focusRow = row;
    m_focusMarker = marker;
    // The pointer's part: onto the option's text, or off it onto the
    // marker cell (which is no hover target).
    hoverAt(column, marker ? -1 : row);
    drawFocus(true);
    m_view.repaint();
    return true;
}

bool TestSession::pressOrdering(int row, bool marker)
{
    int16_t& selectedPosition = m_rs.selectedPosition;
    if (marker) {
        if (selectedPosition == row) {
            return false;
        }
        drawMarker(row, colour::red);
        if (selectedPosition != -1) {
            drawMarker(selectedPosition, colour::blue);
        }
        selectedPosition = int16_t(row);
        return true;
    }
    if (selectedPosition != -1) {
        std::swap(m_rs.ordering[std::size_t(selectedPosition)], m_rs.ordering[std::size_t(row)]);
        // Every move is recorded until the list is full; the positions
        // themselves stay answered through `placed`, which the scoring reads.
        m_rs.appendPick(selectedPosition);
        const Question& q = current();
        std::array<int32_t, kMaxAnswers> perm{};
        for (int i = 0; i < kMaxAnswers; ++i) {
            perm[std::size_t(i)] = i;
        }
        perm[std::size_t(selectedPosition)] = row;
        perm[std::size_t(row)] = selectedPosition;
        rearrangeSlots(q.optionCount, m_rs.shown.options.data(), perm.data(), m_model.charWidth,
                       m_model.lineHeight);
        m_rs.placed[std::size_t(selectedPosition)] = true;
        drawAnswerArea();
        selectedPosition = -1;
        return true;
    }
    if (m_rs.placed[std::size_t(row)]) {
        drawCell(0, row, colour::black);
        m_rs.placed[std::size_t(row)] = false;
        removeFirst(m_rs.picks.data(), m_rs.pickCount, row);
    }
    return true;
}

bool TestSession::pressMatching(int column, int row)
{
    if (column == 0) {
        if (row == m_rs.activeRow) {
            return false;
        }
        if (m_rs.activeRow >= 0) {
            auto& rec = m_rs.matchingPicks[std::size_t(m_rs.activeRow)];
            rec[0] = m_rs.pickCount;
            std::copy_n(m_rs.picks.begin(), m_rs.pickCount, rec.begin() + 1);
            drawCell(0, m_rs.activeRow, colour::black);
        }
        drawCell(0, row, colour::red);
        m_rs.activeRow = row;
        for (int i = 0; i < m_rs.pickCount; ++i) {
            drawCell(1, m_rs.picks[std::size_t(i)], colour::black);
        }
        const auto& rec = m_rs.matchingPicks[std::size_t(row)];
        m_rs.pickCount = rec[0];
        for (int i = 0; i < m_rs.pickCount; ++i) {
            m_rs.picks[std::size_t(i)] = rec[std::size_t(i) + 1];
            drawCell(1, m_rs.picks[std::size_t(i)], colour::red);
        }
        return true;
    }
    if (m_rs.activeRow == -1) {
        return false;
    }
    if (!among(m_rs.picks.data(), m_rs.pickCount, row)) {
        drawCell(column, row, colour::red);
        m_rs.picks[std::size_t(m_rs.pickCount)] = row;
        m_rs.pickCount += 1;
    } else {
        drawCell(column, row, colour::black);
        removeFirst(m_rs.picks.data(), m_rs.pickCount, row);
    }
    return true;
}

bool TestSession::pressMatchingColumns(int column, int row)
{
    const int k = current().columnCount - 1;
    if (column == 0) {
        if (row == m_rs.activeRow) {
            return false;
        }
        if (m_rs.activeRow >= 0) {
            std::copy_n(m_rs.picks.begin(), k,
                        m_rs.columnPicks[std::size_t(m_rs.activeRow)].begin());
            drawCell(0, m_rs.activeRow, colour::black);
        }
        drawCell(0, row, colour::red);
        m_rs.activeRow = row;
        for (int i = 0; i < k; ++i) {
            if (m_rs.picks[std::size_t(i)] >= 0) {
                drawCell(i + 1, m_rs.picks[std::size_t(i)], colour::black);
            }
        }
        for (int i = 0; i < k; ++i) {
            m_rs.picks[std::size_t(i)] = m_rs.columnPicks[std::size_t(row)][std::size_t(i)];
            if (m_rs.picks[std::size_t(i)] >= 0) {
                drawCell(i + 1, m_rs.picks[std::size_t(i)], colour::red);
            }
        }
        return true;
    }
    if (m_rs.activeRow == -1) {
        return false;
    }
    int32_t& pick = m_rs.picks[std::size_t(column - 1)];
    const int32_t old = pick;
    if (old >= 0) {
        drawCell(column, old, colour::black);
        pick = -1;
    }
    if (old == row) {
        return true;
    }
    drawCell(column, row, colour::red);
    pick = row;
    return true;
}

} // namespace qd
