#pragma once

#include "app/StartUp.h"
#include "app/WindowView.h"
#include "results/ReportFile.h"
#include "run/TestSession.h"

#include <QObject>

#include <filesystem>

namespace qd {

class Clock;
class MessageReporter;
class TForm1;
class TFormRez;

// The program after its start-up: the test session with the window as its
// view. Every click, press, move, key and tick of the windows goes straight
// to the session; the windows hold no test logic. A fatal fault of the
// session stops both timers (no tick may enter the session while the box is
// up) and goes to the reporter, which ends the program.
class QuizDeskApp : public QObject
{
    Q_OBJECT

public:
    // `run` is what startUp returned; the windows, the reporter and the
    // clock must outlive this object. `dir` is the working directory the
    // test was loaded from.
    QuizDeskApp(StartedTest run, TForm1& form, TFormRez& results, const MessageReporter& reporter,
                Clock& clock, const std::filesystem::path& dir);
    ~QuizDeskApp() override;

    TestSession& session() { return session_; }
    WindowView& view() { return view_; }
    const ReportFile& report() const { return report_; }

signals:
    // The program is over: the main window closed before the test began, or
    // the results window closed. main() quits its event loop on it.
    void programEnded();

private:
    void check(Status fault);

    std::unique_ptr<TestModel> model_;
    TForm1& form_;
    const MessageReporter& reporter_;
    WindowView view_;
    ReportFile report_;
    TestSession session_;
};

} // namespace qd
