#pragma once

#include "app/SessionAccess.h"
#include "app/StartUp.h"
#include "app/WindowView.h"
#include "host/RunHost.h"

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
// The run itself (the session, its report, the exam link and the title
// page's rules) is the RunHost the dry run drives too; what it asks of the
// title page (the controls greyed out, the check box unticked, the student
// list, a message, the aqua status strip) is done here.
class QuizDeskApp : public QObject, private TitlePageView
{
    Q_OBJECT

public:
    // `run` is what startUp returned; the windows, the reporter and the
    // clock must outlive this object. `dir` is the working directory the
    // test was loaded from.
    QuizDeskApp(StartedTest run, MainWindow& form, ResultsWindow& results,
                const MessageReporter& reporter, Clock& clock, const std::filesystem::path& dir);
    ~QuizDeskApp() override;

    TestSession& session() { return m_host.session(); }
    WindowView& view() { return m_view; }
    const ReportFile& report() const { return m_host.report(); }
    ExamLink& examLink() { return m_host.examLink(); }

signals:
    // The program is over: the main window closed before the test began, or
    // the results window closed. main() quits its event loop on it.
    void programEnded();

private:
    void check(const Status& status);

    // TitlePageView
    void setTitleControlsEnabled(bool enabled) override;
    void untickExamBox() override;
    void setStudentNames(const std::vector<std::string>& names) override;
    void examLinkUp() override;
    void message(const std::string& text) override;
    void setResumeLine(const std::string& text) override;

    std::unique_ptr<TestModel> m_model;
    MainWindow& m_form;
    const MessageReporter& m_reporter;
    WindowView m_view;
    RunHost m_host;
    SessionAccess m_access;
};

} // namespace qd
