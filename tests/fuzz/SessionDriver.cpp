#include "SessionDriver.h"

#include "IgnoringView.h"
#include "results/ReportFile.h"
#include "run/ManualClock.h"
#include "run/RunStart.h"
#include "run/TestSession.h"

#include <cstdio>
#include <cstdlib>

namespace qdfuzz {

namespace {

// The window without a window: every request is accepted and forgotten,
// except what the driver needs to play on (the timer and the answer box).
class NullView : public IgnoringView
{
public:
    explicit NullView(const qd::TestModel& model) : m_model(model) {}

    bool questionTimer = false;
    bool answerBox = false;

    void setQuestionTimer(bool running) override { questionTimer = running; }
    // A picture question pretends a picture 120 pixels high.
    int displayQuestion(int q) override
    {
        return m_model.questions[std::size_t(q)].picture != qd::PictureMode::None ? 130 : 0;
    }
    void setAnswerBox(bool shown, bool) override { answerBox = shown; }

private:
    const qd::TestModel& m_model;
};

[[noreturn]] void broken(const char* what, int question, double points, int mark)
{
    std::fprintf(stderr, "session: %s (question %d, points %g, mark %d)\n", what, question + 1,
                 points, mark);
    std::abort();
}

class Player
{
public:
    Player(qd::TestModel& model, qd::RunState state)
        : m_model(model),
          m_view(model),
          m_session(model, std::move(state), m_clock, m_view, m_report, "/nonexistent")
    {
    }

    // False once the program would have ended (a fatal fault, the window
    // closed on the title page, or the results shown).
    bool step(std::string_view& in)
    {
        const uint8_t op = take(in);
        switch (op % 8) {
        case 0:
        case 1: { // a press on an option's text or marker cell
            const int col = take(in) % 11;
            const int row = take(in) % 52;
            pressOption(col, row, (op & 0x80) != 0);
            break;
        }
        case 2: // a press anywhere
            m_session.mouseDown(coord(in), coord(in));
            break;
        case 3:
            m_session.mouseMove(coord(in), coord(in));
            break;
        case 4: { // a typed answer, sometimes longer than the box takes
            const std::size_t n = std::min<std::size_t>(take(in) % 140, in.size());
            m_session.setAnswerText(std::string(in.substr(0, n)));
            in.remove_prefix(n);
            break;
        }
        case 5:
            return scored([&] { return m_session.nextQuestion(); });
        case 6: { // ticks of the 50 ms timer
            const int ticks = take(in) % 64 + 1;
            for (int i = 0; i < ticks && m_view.questionTimer; ++i) {
                m_clock.advance(50);
                if (!scored([&] { return m_session.questionTick(); })) {
                    return false;
                }
            }
            break;
        }
        case 7:
            if ((op & 0x80) != 0) { // a long wait, then the timer's next tick
                m_clock.advance(uint32_t(take(in)) * 10000u);
                return !m_view.questionTimer || scored([&] { return m_session.questionTick(); });
            }
            return m_session.closeMain() == qd::TestSession::CloseReply::KeepOpen &&
                   m_session.phase() == qd::TestSession::Phase::Question;
        }
        checkResponse();
        return true;
    }

    bool start()
    {
        m_session.clickBegin("", false);
        m_session.waitTick();
        return m_session.phase() == qd::TestSession::Phase::Question;
    }

private:
    static uint8_t take(std::string_view& in)
    {
        if (in.empty()) {
            return 0;
        }
        const uint8_t b = uint8_t(in.front());
        in.remove_prefix(1);
        return b;
    }

    // Pixels a little beyond the largest window on both sides.
    static int coord(std::string_view& in)
    {
        const int hi = take(in);
        return (hi << 4 | take(in) >> 4) - 100;
    }

    void pressOption(int col, int row, bool marker)
    {
        const qd::Question& q = m_model.questions[std::size_t(m_session.state().currentQuestion)];
        const qd::ShownAnswers& shown = m_session.state().shown;
        const qd::AnswerSlot* slot = nullptr;
        if (q.isMatching()) {
            if (col < int(shown.columns.size()) &&
                row < int(shown.columns[std::size_t(col)].cells.size())) {
                slot = &shown.columns[std::size_t(col)].cells[std::size_t(row)];
            }
        } else if (row < int(shown.options.size())) {
            slot = &shown.options[std::size_t(row)];
        }
        if (slot == nullptr) {
            return;
        }
        const int x = marker ? slot->left - m_model.charWidth / 2 : (slot->left + slot->right) / 2;
        m_session.mouseDown(x, (slot->top + slot->bottom) / 2);
    }

    // Runs a handler that may score the question shown and checks the points.
    template <typename Handler> bool scored(Handler handler)
    {
        const int before = m_session.state().finishedCount;
        const int q = m_session.state().currentQuestion;
        const qd::Status status = handler();
        if (!status.ok()) {
            return false; // a fatal fault ends the program, as it would
        }
        if (m_session.state().finishedCount != before) {
            const float points = m_session.lastPoints();
            const int mark = m_model.questions[std::size_t(q)].mark;
            if (!(points >= 0.0f)) {
                broken("negative points", q, points, mark);
            }
            // Points are floats: a mark beyond 2^24 is itself rounded when it
            // becomes points, so compare against the mark as a float.
            if (double(points) > double(float(std::max(mark, 0))) + 0.001) {
                broken("points above the mark", q, points, mark);
            }
        }
        checkResponse();
        return m_session.phase() == qd::TestSession::Phase::Question;
    }

    void checkResponse() const
    {
        const qd::RunState& st = m_session.state();
        if (st.pickCount < -2 || st.pickCount > qd::kMaxAnswers) {
            broken("picks outgrew the response", st.currentQuestion, st.pickCount, 0);
        }
    }

    qd::TestModel& m_model;
    qd::ManualClock m_clock;
    NullView m_view;
    qd::ReportFile m_report;
    qd::TestSession m_session;
};

} // namespace

void playSession(qd::TestModel& model, std::string_view actions)
{
    if (model.askCount <= 0) {
        return;
    }
    uint32_t seed = 0;
    for (int i = 0; i < 4 && !actions.empty(); ++i) {
        seed = seed << 8 | uint8_t(actions.front());
        actions.remove_prefix(1);
    }
    qd::RunState state;
    if (!qd::prepareRun(model, state, seed).ok()) {
        return;
    }
    Player player(model, std::move(state));
    if (!player.start()) {
        return;
    }
    // Bounded, so that one input cannot run for long.
    for (int steps = 0; steps < 4096 && !actions.empty(); ++steps) {
        if (!player.step(actions)) {
            return;
        }
    }
}

} // namespace qdfuzz
