// quizdesk-tool run [DIR] --script FILE: the examiner's dry run. The test is
// loaded and drawn as the program's start-up does it, then a student's
// session is played from a script through the same engine objects the
// window drives, on a virtual clock; the results are printed as the results
// window shows them, so that an answer key can be checked against a known
// answer sheet before the exam. In examination mode the session registers
// with a real exam server, through the same link object as the window.

#include "DryRunExam.h"
#include "DryRunScript.h"
#include "DryRunView.h"
#include "Subcommands.h"
#include "ToolSupport.h"

#include "definition/Cp1251.h"
#include "host/RunHost.h"
#include "run/ManualClock.h"

#include <QDateTime>
#include <QFile>
#include <QGuiApplication>

#include <csignal>
#include <filesystem>
#include <memory>
#include <system_error>

#include <unistd.h>

namespace qdtool {

namespace {

// What the answer box accepts.
constexpr int kAnswerBoxLimit = 127;

// The script's "crash": as a power cut, nothing is cleaned up, flushed or
// sent.
[[noreturn]] void crash()
{
    ::kill(::getpid(), SIGKILL);
    ::_exit(137); // not reached
}

// One played session: the clock, the view and the run host, the event loop
// that the window's timers would make, and the exam link on the real one.
class DryRun
{
public:
    DryRun(qd::StartedTest run, qd::ManualClock& clock, const LoadOptions& options,
           const std::filesystem::path& dir, quint16 examPort)
        : m_clock(clock),
          m_model(std::move(run.model)),
          m_view(*m_model, options.window.width, options.window.height, dir),
          m_exam(m_view),
          m_host(*m_model, std::move(run.state), clock, m_exam.linkClock(), m_view, m_exam, dir),
          m_session(m_host.session())
    {
        m_exam.attach(m_host);
        m_host.examLink().setPort(examPort);
        m_host.setAccommodations(std::move(run.accommodations));
        m_host.enableResume(std::move(run.undrawn));
        m_host.checkpoints().afterSave = [this](const qd::Checkpoint& c) {
            if (m_crashOnAnswer && c.openQuestion < 0) {
                crash();
            }
        };
    }

    // Plays the actions; false when a fatal fault ended the program (it is
    // printed already).
    bool play(const std::vector<ScriptAction>& actions)
    {
        const bool ok = playActions(actions);
        // As the results window: the final message goes out and the link
        // closes before the program ends.
        if (m_view.results) {
            m_exam.finish();
        }
        return ok;
    }

    void printResults() const
    {
        if (!m_view.results) {
            return; // the program ended on the title page
        }
        const qd::ResultsSummary& r = *m_view.results;
        QByteArray out;
        out += "points " + QByteArray::fromStdString(r.points) + '\n';
        out += "max " + QByteArray::number(r.maxScore) + '\n';
        out += "percent " + QByteArray::number(r.percent) + '\n';
        out += "minutes " + QByteArray::number(r.minutes) + '\n';
        out += "seconds " + QByteArray::number(r.seconds) + '\n';
        out += "grade " + QByteArray::fromStdString(qd::fromCp1251(r.grade)) + '\n';
        if (!r.everyPointEarned) {
            out += "wrong " + QByteArray::fromStdString(qd::fromCp1251(r.wrongList)) + '\n';
        }
        if (!r.accommodations.empty()) {
            out += QByteArray::fromStdString(qd::fromCp1251(r.accommodations)) + '\n';
        }
        const qd::ReportFile& report = m_host.report();
        if (report.path().empty()) {
            out += "report none\n";
        } else {
            const std::filesystem::path p = std::filesystem::absolute(report.path());
            out += "report " + QByteArray::fromStdString(p.string()) + '\n';
        }
        writeOut(out);
    }

private:
    bool playActions(const std::vector<ScriptAction>& actions)
    {
        for (const ScriptAction& a : actions) {
            DryRunExam::processPending();
            if (!perform(a)) {
                return false;
            }
            // Whatever the line sent is answered before the next line, so
            // that a script plays the same way every time.
            m_exam.settle();
            if (m_ended) {
                return true;
            }
        }
        // The student closes the window when nothing else happens.
        if (!m_view.results) {
            close();
            m_exam.settle();
        }
        return true;
    }

    bool fatal(const qd::Status& status)
    {
        if (!status.ok()) {
            printFault(status.fault());
            return true;
        }
        if (m_view.fatal) {
            printFault(*m_view.fatal);
            return true;
        }
        return false;
    }

    bool perform(const ScriptAction& a)
    {
        switch (a.kind) {
        case ScriptAction::Name:
            m_view.nameBox = qd::toCp1251(a.text.toStdString());
            if (titlePageShown()) {
                m_host.nameEntered(m_view.nameBox);
            }
            return true;
        case ScriptAction::Exam:
            if (titlePageShown()) {
                m_exam.clickExamBox();
            }
            return true;
        case ScriptAction::Begin:
            if (!m_host.beginClicked(m_view.nameBox, m_exam.checked())) {
                return true;
            }
            m_exam.afterBegin();
            if (m_view.waitTimer.running) {
                return pass(m_view.waitTimer.next - m_view.now);
            }
            return true;
        case ScriptAction::Press:
        case ScriptAction::Marker:
            return pressOption(a.a, a.b, a.kind == ScriptAction::Marker);
        case ScriptAction::Click:
            if (m_view.reachesScreen(a.a, a.b)) {
                m_session.mouseDown(a.a, a.b);
            }
            return true;
        case ScriptAction::Move:
            if (m_view.reachesScreen(a.a, a.b)) {
                m_session.mouseMove(a.a, a.b);
            }
            return true;
        case ScriptAction::Type:
            if (m_view.answerBox && m_session.phase() == qd::TestSession::Phase::Question) {
                std::string text = qd::toCp1251(a.text.toStdString());
                if (text.size() > std::size_t(kAnswerBoxLimit)) {
                    text.resize(std::size_t(kAnswerBoxLimit));
                }
                m_session.setAnswerText(text);
            }
            return true;
        case ScriptAction::Wait:
            return pass(a.ms);
        case ScriptAction::Next:
            if (m_session.phase() != qd::TestSession::Phase::Question) {
                return true; // "Наст. питання" is on the question screen
            }
            return !fatal(m_session.clickNext());
        case ScriptAction::Close:
            close();
            return true;
        case ScriptAction::Key:
            for (int i = 0; i < a.b; ++i) {
                if (!pressKey(a)) {
                    return false;
                }
            }
            return true;
        case ScriptAction::Crash:
            if (a.text.isEmpty()) {
                crash();
            }
            m_crashOnAnswer = true;
            return true;
        case ScriptAction::Choose:
        case ScriptAction::Order:
        case ScriptAction::Match:
            return pressNamed(a);
        }
        return true;
    }

    // An option's text as the student reads it: without its brackets, its
    // line breaks and repeated blanks as one blank.
    static QString shownText(const qd::AnswerSlot& slot)
    {
        QString t = fromTestText(slot.text);
        if (t.startsWith(QLatin1Char('<'))) {
            t.remove(0, 1);
        }
        if (t.endsWith(QLatin1Char('>'))) {
            t.chop(1);
        }
        return t.simplified();
    }

    // Where an option named in the script stands now: its column and row,
    // searched in the columns from `firstColumn` on (a matching question's
    // further columns), or in the list of a choice or ordering question.
    std::optional<std::pair<int, int>> locate(const qd::Question& q, const OptionRef& ref,
                                              int firstColumn, int lastColumn) const
    {
        if (!q.isMatching()) {
            if (ref.row >= 0) {
                return std::pair{0, ref.row};
            }
            for (int r = 0; r < q.optionCount && r < int(q.options.size()); ++r) {
                if (shownText(m_session.slotAt(0, r)) == ref.text.simplified()) {
                    return std::pair{0, r};
                }
            }
            return std::nullopt;
        }
        for (int c = firstColumn; c <= lastColumn && c < int(q.columns.size()); ++c) {
            const qd::Column& col = q.columns[std::size_t(c)];
            if (ref.row >= 0) {
                return std::pair{c, ref.row};
            }
            for (int r = 0; r < col.rowCount(); ++r) {
                if (shownText(m_session.slotAt(c, r)) == ref.text.simplified()) {
                    return std::pair{c, r};
                }
            }
        }
        return std::nullopt;
    }

    // choose: presses each option; order: puts them into the positions from
    // the first on (the marker of the position, then the option); match:
    // presses the row of the first column, then its partners. The presses
    // are those press and marker make, so a script by texts plays exactly
    // as one by positions.
    bool pressNamed(const ScriptAction& a)
    {
        if (m_session.phase() != qd::TestSession::Phase::Question) {
            return true;
        }
        const qd::Question& q =
            m_session.model().questions[std::size_t(m_session.state().currentQuestion)];
        if (q.answeredByTyping()) {
            return true;
        }
        for (std::size_t i = 0; i < a.options.size(); ++i) {
            const bool first = i == 0;
            const int from = a.kind == ScriptAction::Match && !first ? 1 : 0;
            const int to = a.kind == ScriptAction::Match && first ? 0 : qd::kMaxColumns;
            if (a.kind == ScriptAction::Order) {
                pressOption(0, int(i), true);
            }
            const auto where = locate(q, a.options[i], from, to);
            if (!where) {
                printError(qdtool::tr("script line %1: question %2 shows no option \"%3\"")
                               .arg(a.line)
                               .arg(m_session.state().currentQuestion + 1)
                               .arg(a.options[i].text));
                return false;
            }
            pressOption(where->first, where->second, false);
        }
        return true;
    }

    // A key as the window takes it: Enter is the title page's button or
    // "Наст. питання", F1 only shows the help line, the others answer.
    bool pressKey(const ScriptAction& a)
    {
        static constexpr qd::TestSession::Key kKeys[] = {
            qd::TestSession::Key::Up,    qd::TestSession::Key::Down, qd::TestSession::Key::Left,
            qd::TestSession::Key::Right, qd::TestSession::Key::Home, qd::TestSession::Key::End,
            qd::TestSession::Key::Space};
        const std::string_view name = kKeyNames[a.a];
        if (name == "enter") {
            ScriptAction press = a;
            press.kind = titlePageShown() ? ScriptAction::Begin : ScriptAction::Next;
            return perform(press);
        }
        if (name != "f1" && !m_view.answerBox) {
            (void)m_session.keyPressed(kKeys[a.a]);
        }
        return true;
    }

    // A press on an option's text (its middle) or in its marker cell, at the
    // pixel the student would use; whatever the window's hit test makes of
    // that pixel happens.
    bool pressOption(int col, int row, bool marker)
    {
        if (m_session.phase() != qd::TestSession::Phase::Question) {
            return true;
        }
        const qd::TestModel& model = m_session.model();
        const qd::Question& q = model.questions[std::size_t(m_session.state().currentQuestion)];
        if (q.type == qd::QuestionType::TypedText || q.picture == qd::PictureMode::PictureOnly) {
            return true;
        }
        // The rectangles where the screen shows them now.
        const qd::ShownAnswers& shown = m_session.state().shown;
        const qd::AnswerSlot* slot = nullptr;
        if (q.isMatching()) {
            if (col < q.columnCount && col < int(shown.columns.size()) &&
                row < shown.columns[std::size_t(col)].rowCount()) {
                slot = &shown.columns[std::size_t(col)].cells[std::size_t(row)];
            }
        } else if (col == 0 && row < q.optionCount && row < int(shown.options.size())) {
            slot = &shown.options[std::size_t(row)];
        }
        if (slot == nullptr) {
            return true; // nothing of the window is there
        }
        const int x = marker ? slot->left - model.charWidth / 2 : (slot->left + slot->right) / 2;
        const int y = (slot->top + slot->bottom) / 2;
        if (m_view.reachesScreen(x, y)) {
            m_session.mouseDown(x, y);
        }
        return true;
    }

    bool titlePageShown() const
    {
        const auto phase = m_session.phase();
        return phase == qd::TestSession::Phase::TitlePage ||
               phase == qd::TestSession::Phase::Waiting;
    }

    void close()
    {
        if (m_session.closeMain() == qd::TestSession::CloseReply::EndProgram) {
            m_ended = true;
        }
    }

    // Lets `ms` of virtual time pass, firing the timers as they fall due.
    bool pass(uint64_t ms)
    {
        const uint64_t end = m_view.now + ms;
        for (;;) {
            DryRunView::Timer* due = nullptr;
            for (DryRunView::Timer* t : {&m_view.waitTimer, &m_view.questionTimer}) {
                if (t->running && t->next <= end && (due == nullptr || t->next < due->next)) {
                    due = t;
                }
            }
            if (due == nullptr) {
                break;
            }
            m_clock.advance(uint32_t(due->next - m_view.now));
            m_view.now = due->next;
            due->next += due->period;
            if (due == &m_view.waitTimer) {
                m_session.waitTick();
            } else if (fatal(m_session.questionTick())) {
                return false;
            }
        }
        m_clock.advance(uint32_t(end - m_view.now));
        m_view.now = end;
        return true;
    }

    qd::ManualClock& m_clock;
    std::unique_ptr<qd::TestModel> m_model;
    DryRunView m_view;
    DryRunExam m_exam; // the title page, before the host that shows on it
    qd::RunHost m_host;
    qd::TestSession& m_session;
    bool m_ended = false;
    bool m_crashOnAnswer = false;
};

} // namespace

int runRun(const QStringList& args)
{
    CommandLine cl(args, tr("Plays a student's session on the test in DIR from a script, on a "
                            "virtual clock, and prints\nthe messages shown, the results and "
                            "the report's path."));
    addLoadOptions(cl.parser());
    const QCommandLineOption scriptOption(
        QStringLiteral("script"), tr("The student's actions, one a line."), QStringLiteral("FILE"));
    const QCommandLineOption seedOption(
        QStringLiteral("seed"),
        tr("Draw the questions and answer orders from seed S (0 to 4294967295) "
           "instead of the clock."),
        QStringLiteral("S"));
    const QCommandLineOption nowOption(
        QStringLiteral("now"),
        tr("The local time at which the virtual clock starts (default: now)."),
        QStringLiteral("YYYY-MM-DD HH:MM:SS"));
    cl.parser().addOption(scriptOption);
    cl.parser().addOption(seedOption);
    const QCommandLineOption portOption(
        QStringLiteral("port"), tr("The exam server's port in examination mode (default 1023)."),
        QStringLiteral("P"));
    cl.parser().addOption(nowOption);
    cl.parser().addOption(portOption);
    if (auto done = cl.parse(1)) {
        return *done;
    }
    const auto read = readLoadOptions(cl.parser());
    if (!read.ok()) {
        return cl.usageError(QString::fromStdString(read.fault().message));
    }
    const LoadOptions& options = read.value();
    if (!cl.parser().isSet(scriptOption)) {
        return cl.usageError(tr("--script FILE is required"));
    }
    const auto seedRead = readSeedOption(cl.parser(), seedOption);
    if (!seedRead.ok()) {
        return cl.usageError(QString::fromStdString(seedRead.fault().message));
    }
    const std::optional<uint32_t> seed = seedRead.value();
    QDateTime start = QDateTime::currentDateTime();
    if (cl.parser().isSet(nowOption)) {
        const QString text = cl.parser().value(nowOption);
        start = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!start.isValid()) {
            return cl.usageError(
                QStringLiteral("--now wants a local time as \"YYYY-MM-DD HH:MM:SS\", not \"%1\"")
                    .arg(text));
        }
    }

    quint16 examPort = qd::ExamLink::kPort;
    if (cl.parser().isSet(portOption)) {
        const QString text = cl.parser().value(portOption);
        const auto v = parseNumber(text, 1, 65535);
        if (!v) {
            return cl.usageError(
                QStringLiteral("--port wants a whole number from 1 to 65535, not \"%1\"")
                    .arg(text));
        }
        examPort = quint16(*v);
    }

    const QString scriptPath = cl.parser().value(scriptOption);
    QFile scriptFile(scriptPath);
    if (!scriptFile.open(QIODevice::ReadOnly)) {
        printError(tr("cannot read the script %1: %2").arg(scriptPath, scriptFile.errorString()));
        return kExitUsage;
    }
    auto parsed = parseScript(scriptFile.readAll());
    if (!parsed.ok()) {
        // The parser's message is "LINE: what is wrong".
        const QString text = QString::fromStdString(parsed.fault().utf8());
        const qsizetype colon = text.indexOf(QLatin1String(": "));
        printError(tr("%1:%2: %3").arg(scriptPath).arg(text.left(colon)).arg(text.mid(colon + 2)));
        return kExitUsage;
    }
    const auto& actions = parsed.value();

    // The question screen draws text in the test font, which needs a
    // QGuiApplication even when charWidth is given.
    std::unique_ptr<QGuiApplication> app;
    int argc = 1;
    char arg0[] = "quizdesk-tool";
    char* argv[] = {arg0, nullptr};
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app = std::make_unique<QGuiApplication>(argc, argv);
        qd::l10n::keepDecimalPoint();
    }

    qd::ManualClock clock(qd::localTimeOf(start));
    CharWidthSource charWidth(options.charW);
    // The report and the pictures name the directory as it really is; one
    // that cannot be resolved does not load either, with the load's message.
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::canonical(pathOf(options.dir), ec);
    if (ec) {
        dir = pathOf(options.dir);
    }
    auto started = qd::startTest(
        dir, options.window,
        [&charWidth](int fontSize, bool bold) { return charWidth(fontSize, bold); },
        seed.value_or(clock.calendarSeconds()));
    if (!started.ok()) {
        printFault(started.fault());
        return kExitFault;
    }

    DryRun run(std::move(started).value(), clock, options, dir, examPort);
    if (!run.play(actions)) {
        return kExitFault;
    }
    run.printResults();
    return kExitOk;
}

} // namespace qdtool
