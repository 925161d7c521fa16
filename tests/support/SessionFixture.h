#pragma once

#include "ModelBuilder.h"
#include "RecordingView.h"

#include "results/ReportFile.h"
#include "run/ManualClock.h"
#include "run/TestSession.h"

#include <memory>
#include <numeric>
#include <string>
#include <vector>

// The session over a hand-made model (see ModelBuilder.h), with a view that
// writes down what it is asked to draw.
namespace fixture {

// A session over `m`, asking its questions in record order, on a clock that
// starts at 10:00:00 with a tick count close to its wrap.
struct Rig
{
    explicit Rig(qd::TestModel m, uint32_t startTicks = 0xFFFF0000u)
        : model(std::move(m)),
          clock(qd::LocalTime{2026, 12, 7, 10, 0, 0}, startTicks)
    {
        qd::RunState st;
        st.askingOrder.resize(std::size_t(model.questionCount));
        std::iota(st.askingOrder.begin(), st.askingOrder.end(), 0);
        session = std::make_unique<qd::TestSession>(model, std::move(st), clock, view, report,
                                                    std::filesystem::path("/tmp"));
    }

    // "Почати тестування" without a name (no report) and the start tick.
    void begin()
    {
        session->clickBegin("", false);
        session->waitTick();
        view.take();
    }

    // Runs the 50 ms timer for `ms` milliseconds.
    void run(uint32_t ms)
    {
        for (uint32_t t = 0; t < ms; t += 50) {
            clock.advance(50);
            (void)session->questionTick();
        }
    }

    // Centre of an option's text and of its marker cell, as on the screen.
    void press(int col, int row)
    {
        const qd::AnswerSlot& s = session->slotAt(col, row);
        session->mouseDown((s.left + s.right) / 2, s.top + 1);
    }
    void pressMarker(int col, int row)
    {
        const qd::AnswerSlot& s = session->slotAt(col, row);
        session->mouseDown(s.left - qdtest::kCharW / 2, s.top + 1);
    }
    void hover(int col, int row)
    {
        const qd::AnswerSlot& s = session->slotAt(col, row);
        session->mouseMove((s.left + s.right) / 2, s.top + 1);
    }

    qd::TestModel model;
    qd::ManualClock clock;
    RecordingView view;
    qd::ReportFile report;
    std::unique_ptr<qd::TestSession> session;
};

} // namespace fixture
