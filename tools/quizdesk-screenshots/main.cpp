// quizdesk-screenshots TESTDIR OUTDIR: the pictures of the program's windows
// for the documentation. The real windows run the test in TESTDIR through
// the test session, off screen, on a fixed draw and a virtual clock; each
// screen is grabbed as the window paints it and saved as a PNG in OUTDIR:
// the title page, one screen of every kind of question (answered part way,
// one option under the pointer) and the results window; then the same test
// with accommodations: larger text in high contrast (the question's time
// bar empty, then half gone), and a quiet exam.
//
// quizdesk-screenshots TESTDIR OUTDIR --scale 2: the first question kind
// only, on a screen scaled by 2 (as a high-resolution screen with scaling
// shows it), in the screen's own pixels.
#include "app/ObjectNames.h"
#include "app/MessageReporter.h"
#include "app/QuizDeskApp.h"
#include "app/StartUp.h"
#include "app/MainWindow.h"
#include "app/ResultsWindow.h"
#include "definition/Accommodations.h"
#include "definition/Cp1251.h"
#include "definition/WholeFile.h"
#include "run/ManualClock.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
// The draw of the demo test that these pictures show.
constexpr uint32_t kSeed = 7;

class Shooter
{
public:
    Shooter(qd::TestSession& session, qd::MainWindow& form, qd::ManualClock& clock, const QDir& out)
        : m_session(session),
          m_form(form),
          m_clock(clock),
          m_out(out)
    {
    }

    bool save(QWidget& window, const char* name)
    {
        const QString path = m_out.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "quizdesk-screenshots: cannot write %s\n", qPrintable(path));
            return false;
        }
        std::printf("%s\n", qPrintable(path));
        return true;
    }

    // The middle of an option's text and of its marker cell, on the screen.
    QPoint text(int col, int row) const
    {
        const qd::AnswerSlot& s = m_session.slotAt(col, row);
        return QPoint(s.left + (s.right - s.left) / 2, s.top + (s.bottom - s.top) / 2);
    }
    QPoint marker(int row) const
    {
        const qd::AnswerSlot& s = m_session.slotAt(0, row);
        return QPoint(s.left - m_session.model().charWidth / 2, s.top + (s.bottom - s.top) / 2);
    }
    void press(QPoint p) { m_session.mouseDown(p.x(), p.y()); }
    void hover(QPoint p) { m_session.mouseMove(p.x(), p.y()); }
    void type(const char* utf8)
    {
        m_form.findChild<QLineEdit*>(QLatin1String(qd::mainWindowNames::answerEdit))
            ->setText(QString::fromUtf8(utf8));
    }

    // Answers the question on the screen part way, as a student would be
    // caught in the middle of it, and names its picture; "" once a question
    // of its kind has been shown.
    std::string answerPartWay()
    {
        const qd::Question& q =
            m_session.model().questions[std::size_t(m_session.state().currentQuestion)];
        std::string name;
        if (q.picture == qd::PictureMode::PictureOnly) {
            name = "picture-typed";
            type("А21; Б32; В13");
        } else if (q.picture == qd::PictureMode::WithOptions &&
                   q.type == qd::QuestionType::SingleChoice) {
            name = "picture";
            press(text(0, 2));
            hover(text(0, 0));
        } else {
            switch (q.type) {
            case qd::QuestionType::SingleChoice:
                name = "single-choice";
                press(text(0, 1));
                hover(text(0, 3));
                break;
            case qd::QuestionType::MultipleChoice:
                name = "multiple-choice";
                press(text(0, 2));
                press(text(0, 4));
                hover(text(0, 0));
                break;
            case qd::QuestionType::Ordering:
                name = "ordering";
                press(marker(0)); // a place picked, then the option moved there
                press(text(0, 3));
                press(marker(1));
                hover(text(0, 2));
                break;
            case qd::QuestionType::Matching:
                name = "matching";
                press(text(0, 1));
                press(text(1, 0));
                press(text(1, 1));
                hover(text(1, 2));
                break;
            case qd::QuestionType::TypedText:
                name = "typed";
                type("Говерла");
                break;
            case qd::QuestionType::MatchingColumns:
                name = "matching-columns";
                press(text(0, 0));
                press(text(1, 2));
                press(text(2, 0));
                hover(text(1, 1));
                break;
            default:
                break;
            }
        }
        if (!m_shown.insert(name).second) {
            return {};
        }
        return name;
    }

    // Through every question of the run, one picture of each kind numbered
    // from `number` on with `prefix` before the kind (at most `pictures`
    // of them); false when a picture could not be written.
    // Pictures after the first are taken `secondsIn` seconds into their
    // question, so that its time bar shows part of the time gone.
    bool questions(int number = 2, const char* prefix = "", int pictures = 100, int secondsIn = 0)
    {
        bool first = true;
        while (m_session.phase() == qd::TestSession::Phase::Question) {
            if (!first && secondsIn > 0) {
                m_clock.advance(uint32_t(secondsIn) * 1000u);
            }
            // The question's picture goes into the off-screen picture.
            if (!report(m_session.questionTick())) {
                return false;
            }
            const std::string name = answerPartWay();
            if (!name.empty()) {
                first = false;
            }
            if (!name.empty() && pictures-- > 0) {
                char file[96];
                std::snprintf(file, sizeof file, "%02d-%s%s", number++, prefix, name.c_str());
                if (!save(m_form, file)) {
                    return false;
                }
            }
            m_clock.advance(21'000);
            if (!report(m_session.clickNext())) {
                return false;
            }
        }
        return true;
    }

private:
    // Whether the session went on; a fault is printed.
    static bool report(const qd::Status& status)
    {
        if (!status.ok()) {
            std::fprintf(stderr, "quizdesk-screenshots: %s\n", status.fault().utf8().c_str());
            return false;
        }
        return true;
    }

    qd::TestSession& m_session;
    qd::MainWindow& m_form;
    qd::ManualClock& m_clock;
    QDir m_out;
    std::set<std::string> m_shown;
};

} // namespace

namespace {

// One run of the test in `testDir`: the title page as `title`, the
// questions from `first` on (`prefix`, at most `pictures`), the results as
// `resultsName` (none when null). Returns the exit code.
int shoot(const std::filesystem::path& testDir, const QDir& out, const char* title, int first,
          const char* prefix, int pictures, const char* resultsName, int secondsIn = 0)
{
    int failed = 0;
    qd::MessageReporter::Actions actions;
    actions.box = [&failed](const QString&, const QString& text) {
        std::fprintf(stderr, "quizdesk-screenshots: %s\n", qPrintable(text));
        failed = 1;
    };
    actions.exit = [](int) { std::exit(1); };
    const qd::MessageReporter reporter(actions);
    qd::MainWindow form;
    qd::ResultsWindow results;
    qd::ManualClock clock(qd::LocalTime{2026, 12, 7, 10, 5, 9});
    auto run = qd::startUp(form, reporter, testDir, QRect(0, 0, kWidth, kHeight), kSeed);
    if (!run) {
        return 1;
    }
    qd::QuizDeskApp app(std::move(*run), form, results, reporter, clock, testDir);
    Shooter shooter(app.session(), form, clock, out);
    form.show();

    form.findChild<QComboBox*>(QLatin1String(qd::mainWindowNames::studentNameBox))
        ->setEditText(QStringLiteral("Петренко П.І."));
    if (title != nullptr && !shooter.save(form, title)) {
        return 1;
    }
    app.session().setAccommodation(
        qd::AccommodationTable::load(testDir).value().forStudent(form.studentName()));
    app.session().clickBegin(form.studentName(), false);
    app.session().waitTick();
    if (!shooter.questions(first, prefix, pictures, secondsIn) ||
        (resultsName != nullptr && !shooter.save(results, resultsName))) {
        return 1;
    }
    return failed;
}

// A copy of the test in `from` with `accommodations` beside it.
bool withAccommodations(const std::filesystem::path& from, const QTemporaryDir& to,
                        const char* accommodations)
{
    // In a folder named as the test's, so that the results name it alike.
    const QDir source(QString::fromStdString(from.string()));
    const QDir copy(to.filePath(QStringLiteral("demo")));
    if (!copy.mkpath(QStringLiteral("."))) {
        return false;
    }
    for (const QString& name : source.entryList(QDir::Files)) {
        if (!QFile::copy(source.filePath(name), copy.filePath(name))) {
            return false;
        }
    }
    return qd::writeWholeFile(
               QFile::encodeName(copy.filePath(QStringLiteral("accommodations.txt"))).toStdString(),
               accommodations)
        .ok();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const bool scaled =
        argc == 5 && std::string(argv[3]) == "--scale" && std::string(argv[4]) == "2";
    if (scaled) {
        qputenv("QT_SCALE_FACTOR", "2");
    }
    QApplication application(argc, argv);
    if (argc != 3 && !scaled) {
        std::fprintf(stderr, "usage: quizdesk-screenshots TESTDIR OUTDIR [--scale 2]\n");
        return 2;
    }
    const std::filesystem::path testDir = argv[1];
    QDir out(QString::fromLocal8Bit(argv[2]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "quizdesk-screenshots: cannot create %s\n", argv[2]);
        return 1;
    }
    // The run's report goes to a home of its own, thrown away afterwards.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());

    if (scaled) {
        return shoot(testDir, out, nullptr, 21, "scale-2-", 1, nullptr);
    }
    if (int rc = shoot(testDir, out, "01-title", 2, "", 100, "10-results")) {
        return rc;
    }
    // Larger text in high contrast for everyone (the title page too), and
    // a quiet exam, each on a copy of the test.
    QTemporaryDir large;
    QTemporaryDir quiet;
    if (!withAccommodations(testDir, large, "*; text=1.5; contrast=high\n") ||
        !withAccommodations(testDir, quiet, "*; quiet\n")) {
        std::fprintf(stderr, "quizdesk-screenshots: cannot copy the test\n");
        return 1;
    }
    if (int rc = shoot(large.filePath(QStringLiteral("demo")).toStdString(), out,
                       "13-large-contrast-title", 14, "large-contrast-", 2,
                       "16-large-contrast-results", 60)) {
        return rc;
    }
    return shoot(quiet.filePath(QStringLiteral("demo")).toStdString(), out, nullptr, 17, "quiet-",
                 2, "19-quiet-results");
}
