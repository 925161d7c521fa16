#pragma once

#include "app/StartUp.h"
#include "app/WindowView.h"
#include "exam/ExamLink.h"
#include "exam/StudentList.h"
#include "results/ReportFile.h"
#include "run/TestSession.h"

#include <QObject>

#include <filesystem>

namespace qd {

class Clock;
class MessageReporter;
class MainWindow;
class ResultsWindow;

// The program after its start-up: the test session with the window as its
// view. Every click, press, move, key and tick of the windows goes straight
// to the session; the windows hold no test logic. A fatal fault of the
// session stops both timers (no tick may enter the session while the box is
// up) and goes to the reporter, which ends the program.
//
// In examination mode the app's exam link carries the session's messages to
// the exam server; what the link asks of the window (the title page again,
// the check box unticked, a message, the aqua status strip) is done here.
class QuizDeskApp : public QObject
{
    Q_OBJECT

public:
    // `run` is what startUp returned; the windows, the reporter and the
    // clock must outlive this object. `dir` is the working directory the
    // test was loaded from.
    QuizDeskApp(StartedTest run, MainWindow& form, ResultsWindow& results,
                const MessageReporter& reporter, Clock& clock, const std::filesystem::path& dir);
    ~QuizDeskApp() override;

    TestSession& session() { return session_; }
    WindowView& view() { return view_; }
    const ReportFile& report() const { return report_; }
    ExamLink& examLink() { return link_; }

signals:
    // The program is over: the main window closed before the test began, or
    // the results window closed. main() quits its event loop on it.
    void programEnded();

private:
    void check(Status fault);
    void connectExamLink();
    void OnClickBegin();
    void CB_ExamTestClick();

    std::unique_ptr<TestModel> model_;
    MainWindow& form_;
    const MessageReporter& reporter_;
    WindowView view_;
    ReportFile report_;
    TestSession session_;
    std::filesystem::path dir_;
    StudentList students_;
    // Declared last: it goes first, handing the platform what is left of
    // the final message before the session and the report go.
    ExamLink link_;
};

} // namespace qd
