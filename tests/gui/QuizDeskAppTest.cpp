// The program's window driven as a student drives it: synthetic mouse and
// key events on the real MainWindow, through the wiring to the test session.
// The demo test runs with its draws switched off, so questions and options
// come in file order; HOME is a temporary directory, where the report goes.
#include "app/ObjectNames.h"
#include "app/QuizDeskApp.h"

#include "FindWidget.h"
#include "MessageRecorder.h"

#include "app/MessageReporter.h"
#include "app/MainWindow.h"
#include "app/ResultsWindow.h"
#include "definition/Cp1251.h"
#include "run/ManualClock.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

const fs::path kDemo = fs::path(QUIZDESK_SOURCE_DIR) / "examples" / "demo";
constexpr int kW = 1024;
constexpr int kH = 768;
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kRed = qRgb(255, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The demo's plain answers file with its three "in random order" switches
// (the last three header lines) turned off.
std::string answersInFileOrder()
{
    std::string text = readFile(kDemo / "source" / "otveti.txt");
    std::size_t pos = 0;
    for (int line = 1; line <= 20; ++line) {
        const std::size_t end = text.find("\r\n", pos);
        if (line >= 18) {
            EXPECT_EQ(text[end - 1], '1') << "header line " << line;
            text[end - 1] = '0';
        }
        pos = end + 2;
    }
    return text;
}

// Key presses carrying any text, Cyrillic included (QTest::keyClicks takes
// ASCII only).
void typeText(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

struct QuizDeskAppTest : ::testing::Test
{
    QTemporaryDir tmp;
    QByteArray savedHome = qgetenv("HOME");
    MessageRecorder messages;
    std::vector<bool> timersAtBox; // whether either timer ran while a box was up
    qd::MessageReporter reporter = messages.reporter();
    qd::ManualClock clock{qd::LocalTime{2026, 12, 7, 10, 5, 9}};
    qd::MainWindow form;
    qd::ResultsWindow results;
    std::unique_ptr<qd::QuizDeskApp> app;

    fs::path dir() const { return fs::path(tmp.path().toStdString()) / "demo"; }
    fs::path home() const { return fs::path(tmp.path().toStdString()) / "home"; }

    void SetUp() override
    {
        messages.whileShown = [this] {
            timersAtBox.push_back(
                child<QTimer>(form, qd::mainWindowNames::questionTimer)->isActive() ||
                child<QTimer>(form, qd::mainWindowNames::serverWaitTimer)->isActive());
        };
        fs::create_directories(dir());
        fs::create_directories(home());
        qputenv("HOME", QByteArray::fromStdString(home().string()));
        fs::copy_file(kDemo / "source" / "voprosi.txt", dir() / "voprosi.txt");
        std::ofstream(dir() / "otveti.txt", std::ios::binary) << answersInFileOrder();
        for (const char* picture : {"7.jpg", "8.bmp", "9.jpg"}) {
            fs::copy_file(kDemo / picture, dir() / picture);
        }
        prepareDir();
        auto run = qd::startUp(form, reporter, dir(), QRect(0, 0, kW, kH), 1);
        ASSERT_TRUE(run.has_value());
        arrange(*run);
        app = std::make_unique<qd::QuizDeskApp>(std::move(*run), form, results, reporter, clock,
                                                dir());
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    void TearDown() override { qputenv("HOME", savedHome); }

    // A test's changes to the run before the window takes it over.
    virtual void arrange(qd::StartedTest&) {}
    // A test's files beside the demo's, before the start-up reads them.
    virtual void prepareDir() {}

    template <typename T = QWidget> static T* child(const QWidget& w, const char* name)
    {
        return qdtest::child<T>(w, name);
    }

    qd::TestSession& session() { return app->session(); }
    int current() { return session().state().currentQuestion + 1; } // the question's number

    // Types the name and presses "Почати тестування"; the start wait's
    // timer then shows the first question.
    void begin(const QString& name)
    {
        typeText(child<QComboBox>(form, qd::mainWindowNames::studentNameBox)->lineEdit(), name);
        QTest::mouseClick(child(form, qd::mainWindowNames::beginButton), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return session().phase() == qd::TestSession::Phase::Question; }, 2000));
    }

    void next() { QTest::mouseClick(child(form, qd::mainWindowNames::nextButton), Qt::LeftButton); }
    void nextUntil(int number)
    {
        while (current() != number && session().phase() == qd::TestSession::Phase::Question) {
            next();
        }
        ASSERT_EQ(current(), number);
    }

    // Where an option stands on the screen, on its text and in its marker
    // cell.
    QRect textRect(int col, int row)
    {
        const qd::AnswerSlot& s = session().slotAt(col, row);
        return QRect(QPoint(s.left, s.top), QPoint(s.right - 1, s.bottom - 1));
    }
    QPoint onText(int col, int row) { return textRect(col, row).center(); }
    QPoint onMarker(int row)
    {
        const QRect r = textRect(0, row);
        return QPoint(r.left() - session().model().charWidth / 2, r.center().y());
    }

    void press(QPoint p, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mousePress(&form, button, Qt::NoModifier, p);
        QTest::mouseRelease(&form, button, Qt::NoModifier, p);
    }

    // The one colour an option's text shows in the window (0 if it shows
    // none or several).
    QRgb ink(int col, int row)
    {
        const QImage shown = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QRect r = textRect(col, row);
        std::set<QRgb> colours;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                if (shown.pixel(x, y) != kWhite) {
                    colours.insert(shown.pixel(x, y));
                }
            }
        }
        return colours.size() == 1 ? *colours.begin() : 0;
    }
    QRgb markerColour(int row)
    {
        const QImage shown = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
        return shown.pixel(onMarker(row));
    }

    QString resultsText(const char* name)
    {
        if (auto* l = results.findChild<QLabel*>(QString::fromLatin1(name))) {
            return l->text();
        }
        return child<QTextEdit>(results, name)->toPlainText();
    }
    std::string report()
    {
        const fs::path dirOfReports = home() / "REZ_TEST";
        if (!fs::exists(dirOfReports)) {
            return {};
        }
        for (const auto& f : fs::directory_iterator(dirOfReports)) {
            return qd::fromCp1251(readFile(f.path()));
        }
        return {};
    }
};

TEST_F(QuizDeskAppTest, HoverTurnsAnOptionBlueWithTheHandCursorAndBack)
{
    begin(QStringLiteral("Петренко"));
    ASSERT_EQ(current(), 1);
    EXPECT_EQ(ink(0, 0), kBlack);
    QTest::mouseMove(&form, onText(0, 0));
    EXPECT_EQ(ink(0, 0), kBlue);
    EXPECT_EQ(form.cursor().shape(), Qt::PointingHandCursor);
    // Straight to the next option: the first goes back to black.
    QTest::mouseMove(&form, onText(0, 1));
    EXPECT_EQ(ink(0, 0), kBlack);
    EXPECT_EQ(ink(0, 1), kBlue);
    // Off every option: black again, the arrow back.
    QTest::mouseMove(&form, QPoint(kW - 20, 300));
    EXPECT_EQ(ink(0, 1), kBlack);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    // The marker cell is no hover target.
    QTest::mouseMove(&form, onMarker(0));
    EXPECT_EQ(ink(0, 0), kBlack);
    // A chosen option stays red under the pointer and after it.
    press(onText(0, 0));
    QTest::mouseMove(&form, onText(0, 1));
    QTest::mouseMove(&form, onText(0, 0));
    EXPECT_EQ(ink(0, 0), kRed);
    QTest::mouseMove(&form, QPoint(kW - 20, 300));
    EXPECT_EQ(ink(0, 0), kRed);
}

TEST_F(QuizDeskAppTest, PressesTurnOptionsRedOnEveryMouseAnsweredType)
{
    begin(QStringLiteral("Петренко"));

    // 1, single choice: any button chooses; another press moves the choice.
    ASSERT_EQ(current(), 1);
    press(onText(0, 2), Qt::RightButton);
    EXPECT_EQ(ink(0, 2), kRed);
    press(onText(0, 0));
    EXPECT_EQ(ink(0, 0), kRed);
    EXPECT_EQ(ink(0, 2), kBlack);
    next();

    // 2, multiple choice: presses toggle; a double click toggles twice.
    ASSERT_EQ(current(), 2);
    press(onText(0, 0));
    press(onMarker(3), Qt::MiddleButton); // the marker cell chooses too
    // As the window system delivers it: press, release, double click,
    // release.
    QSignalSpy presses(&form, &qd::MainWindow::mousePressed);
    QTest::mouseDClick(form.windowHandle(), Qt::LeftButton, Qt::NoModifier, onText(0, 1));
    EXPECT_EQ(presses.count(), 2);
    EXPECT_EQ(ink(0, 0), kRed);
    EXPECT_EQ(ink(0, 3), kRed);
    EXPECT_EQ(ink(0, 1), kBlack);
    press(onText(0, 0));
    EXPECT_EQ(ink(0, 0), kBlack);
    next();

    // 3, ordering: blue bars; a bar press turns it red, a text press then
    // moves that option to the bar's place, red.
    ASSERT_EQ(current(), 3);
    const std::string moved = session().slotAt(0, 3).text;
    EXPECT_EQ(markerColour(2), kBlue);
    press(onMarker(2));
    EXPECT_EQ(markerColour(2), kRed);
    press(onText(0, 3));
    EXPECT_EQ(session().slotAt(0, 2).text, moved);
    EXPECT_EQ(ink(0, 2), kRed);
    EXPECT_EQ(ink(0, 3), kBlack);
    EXPECT_EQ(markerColour(2), kBlue);
    next();

    // 4, matching: a row of the first column, then its cells; another row
    // shows its own cells.
    ASSERT_EQ(current(), 4);
    press(onText(1, 0)); // no row chosen yet: nothing
    EXPECT_EQ(ink(1, 0), kBlack);
    press(onText(0, 1));
    press(onText(1, 0));
    press(onText(1, 2));
    EXPECT_EQ(ink(0, 1), kRed);
    EXPECT_EQ(ink(1, 0), kRed);
    EXPECT_EQ(ink(1, 2), kRed);
    press(onText(0, 2));
    EXPECT_EQ(ink(0, 1), kBlack);
    EXPECT_EQ(ink(0, 2), kRed);
    EXPECT_EQ(ink(1, 0), kBlack);
    EXPECT_EQ(ink(1, 2), kBlack);
    press(onText(0, 1));
    EXPECT_EQ(ink(1, 0), kRed);
    EXPECT_EQ(ink(1, 2), kRed);

    // 6, one match per column: another cell of a column moves the choice.
    nextUntil(6);
    press(onText(0, 2));
    press(onText(1, 0));
    press(onText(2, 1));
    EXPECT_EQ(ink(0, 2), kRed);
    EXPECT_EQ(ink(1, 0), kRed);
    EXPECT_EQ(ink(2, 1), kRed);
    press(onText(1, 2));
    EXPECT_EQ(ink(1, 0), kBlack);
    EXPECT_EQ(ink(1, 2), kRed);
    next();

    // 7, single choice under a picture: the options stand lower by the
    // picture's height and 10 pixels.
    ASSERT_EQ(current(), 7);
    EXPECT_GT(session().state().stemTop, 0);
    // The picture is copied into the off-screen picture at the question timer's tick.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !app->view().paintHold(); }, 2000));
    press(onText(0, 1));
    EXPECT_EQ(ink(0, 1), kRed);
}

TEST_F(QuizDeskAppTest, TypedAnswerGoesThroughTheAnswerBoxAndEnter)
{
    begin(QStringLiteral("Петренко"));
    auto* edit = child<QLineEdit>(form, qd::mainWindowNames::answerEdit);
    EXPECT_FALSE(edit->isVisible());
    nextUntil(5);
    EXPECT_TRUE(edit->isVisible());
    typeText(edit, QStringLiteral(" гОВерла "));
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(current(), 6);
    EXPECT_FLOAT_EQ(session().lastPoints(), 2.0f);
    EXPECT_FALSE(edit->isVisible());
    // A later typed question clears the box; its answer is scored alone.
    nextUntil(9);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_TRUE(edit->text().isEmpty());
    typeText(edit, QStringLiteral("А21; Б32; В13"));
    QTest::keyClick(edit, Qt::Key_Enter);
    ASSERT_EQ(current(), 10);
    EXPECT_FLOAT_EQ(session().lastPoints(), 3.0f);
}

// The run asks the typed question 5 first.
struct TypedFirstQuestion : QuizDeskAppTest
{
    void arrange(qd::StartedTest& run) override
    {
        std::vector<int>& order = run.state.askingOrder;
        ASSERT_GT(order.size(), 4u);
        std::rotate(order.begin(), order.begin() + 4, order.end());
    }
};

// The keys the student presses first, sent to the window as the keyboard
// sends them, land in the answer box.
TEST_F(TypedFirstQuestion, TheAnswerBoxHasTheFocusOnTheFirstQuestion)
{
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    begin(QStringLiteral("Петренко"));
    ASSERT_EQ(current(), 5);
    ASSERT_TRUE(child(form, qd::mainWindowNames::answerEdit)->isVisible());
    for (char c : std::string("abc")) {
        QTest::keyClick(form.windowHandle(), c);
    }
    EXPECT_EQ(form.answerText(), "abc");
    EXPECT_EQ(QApplication::focusWidget(), child(form, qd::mainWindowNames::answerEdit));
}

TEST_F(QuizDeskAppTest, ClosingOnTheTitlePageEndsTheProgram)
{
    QSignalSpy ended(app.get(), &qd::QuizDeskApp::programEnded);
    form.close();
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(results.isVisible());
    EXPECT_FALSE(fs::exists(home() / "REZ_TEST"));
}

TEST_F(QuizDeskAppTest, ClosingDuringTheTestShowsTheResultsOnce)
{
    QSignalSpy ended(app.get(), &qd::QuizDeskApp::programEnded);
    begin(QStringLiteral("Петренко"));
    press(onText(0, 0));
    next();
    clock.advance(65'000);
    form.close();
    EXPECT_EQ(ended.count(), 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&results));
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(child<QTimer>(form, qd::mainWindowNames::questionTimer)->isActive());
    // Question 2, open when the window was closed, is not scored.
    EXPECT_EQ(resultsText(qd::resultsWindowNames::scoreLabel), QStringLiteral("2.00"));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::maxScoreLabel), QStringLiteral("2"));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::percentLabel), QStringLiteral("100"));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::minutesLabel), QStringLiteral("1"));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::secondsLabel), QStringLiteral("5"));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::gradeLabel),
              QStringLiteral("Тест не завершено!"));
    EXPECT_EQ(results.height(), 210);

    form.close();
    const std::string text = report();
    EXPECT_NE(text.find("Оцінка: Тест не завершено!"), std::string::npos) << text;
    EXPECT_EQ(text.find("Всього балів"), text.rfind("Всього балів")) << text;

    results.close();
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(QuizDeskAppTest, ResultsWindowAfterARunWithoutAnAnswer)
{
    begin(QStringLiteral("Петренко"));
    for (int i = 0; i < 12; ++i) {
        clock.advance(10'000);
        next();
    }
    ASSERT_EQ(session().phase(), qd::TestSession::Phase::Finished);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&results));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::scoreLabel), QStringLiteral("0.00"));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::maxScoreLabel), QStringLiteral("27"));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::percentLabel), QStringLiteral("0"));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::minutesLabel), QStringLiteral("2"));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::secondsLabel), QStringLiteral("0"));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::gradeLabel), QStringLiteral("Незадовільно"));
    EXPECT_EQ(resultsText(qd::resultsWindowNames::wrongListBox),
              QStringLiteral("  1,   2,   3,   4,   5,   6,   7,   8,   9,  10,  11,  12, "));
    EXPECT_EQ(results.height(), 470);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(QuizDeskAppTest, AFatalFaultOfTheRunStopsBothTimersBeforeItsBox)
{
    begin(QStringLiteral("Петренко"));
    nextUntil(5);
    // The box itself takes no more than 127 characters; the engine still
    // refuses a longer answer should one ever reach it.
    emit form.answerTextChanged(QString(128, QLatin1Char('x')));
    next();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Переполнение буфера для Edit->Text!");
    EXPECT_TRUE(messages.shown[0].endedProgram);
    EXPECT_FALSE(child<QTimer>(form, qd::mainWindowNames::questionTimer)->isActive());
    EXPECT_FALSE(child<QTimer>(form, qd::mainWindowNames::serverWaitTimer)->isActive());
}

TEST_F(QuizDeskAppTest, APictureThatVanishedStopsBothTimersBeforeItsBox)
{
    begin(QStringLiteral("Петренко"));
    // Start-up found the picture; it goes before its question is shown.
    fs::remove(dir() / "7.jpg");
    nextUntil(7);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Не удалось загрузить файл 7.jpg либо 7.bmp!");
    EXPECT_TRUE(messages.shown[0].endedProgram);
    EXPECT_FALSE(timersAtBox[0]);
}

} // namespace

// ---- Without a mouse, and with accommodations ---------------------------------

TEST_F(QuizDeskAppTest, KeysAnswerOnTheQuestionScreenAndF1ShowsThem)
{
    begin(QStringLiteral("Петренко"));
    ASSERT_EQ(current(), 1);
    EXPECT_FALSE(child(form, "KeyHelp")->isVisible());
    QTest::keyClick(&form, Qt::Key_F1);
    EXPECT_TRUE(child(form, "KeyHelp")->isVisible());
    QTest::keyClick(&form, Qt::Key_F1);
    EXPECT_FALSE(child(form, "KeyHelp")->isVisible());
    // The first arrow focuses the first option (blue, as under the
    // pointer); Space chooses as a click does.
    QTest::keyClick(&form, Qt::Key_Down);
    EXPECT_EQ(ink(0, 0), kBlue);
    QTest::keyClick(&form, Qt::Key_Down);
    QTest::keyClick(&form, Qt::Key_Space);
    EXPECT_EQ(session().state().picks[0], 1);
    EXPECT_EQ(ink(0, 1), kRed);
    EXPECT_EQ(ink(0, 0), kBlack);
    // Space on "Наст. питання" never: the button takes no focus.
    EXPECT_EQ(child<QPushButton>(form, qd::mainWindowNames::nextButton)->focusPolicy(),
              Qt::NoFocus);
    QTest::keyClick(&form, Qt::Key_Return);
    EXPECT_EQ(current(), 2);
}

static int pixelsOf(const QImage& image, QRgb colour)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            n += rgb.pixel(x, y) == colour ? 1 : 0;
        }
    }
    return n;
}

struct Accommodated : QuizDeskAppTest
{
    void prepareDir() override
    {
        std::ofstream(dir() / "accommodations.txt") << "Петренко; text=2; contrast=high; quiet\n";
    }
};

TEST_F(Accommodated, LargerTextKeepsEveryPointOnItsOptionAndQuietHidesTheScore)
{
    begin(QStringLiteral("Петренко"));
    ASSERT_EQ(current(), 1);
    // The screen is drawn twice as large: the point twice as far from the
    // corner is on the same option, and it shows chosen in bright green.
    const QPoint logical = onText(0, 2);
    press(logical * 2);
    EXPECT_EQ(session().state().picks[0], 2);
    const QImage shown = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect r = textRect(0, 2);
    bool green = false;
    for (int y = r.top() * 2; y <= r.bottom() * 2; ++y) {
        for (int x = r.left() * 2; x <= r.right() * 2; ++x) {
            green = green || shown.pixel(x, y) == qRgb(0, 255, 0);
        }
    }
    EXPECT_TRUE(green);
    EXPECT_EQ(shown.pixel(5, 5), qRgb(0, 0, 0)); // the black ground
    // The time bar shows at 0 % (its yellow frame) and fills in cyan.
    auto* bar = child<QProgressBar>(form, qd::mainWindowNames::questionTimeBar);
    ASSERT_EQ(bar->value(), 0);
    EXPECT_GT(pixelsOf(bar->grab().toImage(), qRgb(255, 255, 0)), 2 * bar->width());
    EXPECT_EQ(pixelsOf(bar->grab().toImage(), qRgb(0, 255, 255)), 0);
    bar->setValue(bar->maximum() / 2);
    EXPECT_GT(pixelsOf(bar->grab().toImage(), qRgb(0, 255, 255)), bar->width() / 4);
    next();
    // Quiet: neither the square nor the score, until the results.
    EXPECT_FALSE(child(form, "Answer")->isVisible());
    EXPECT_FALSE(child(form, "Smarks")->isVisible());
    EXPECT_TRUE(child(form, "I_quest")->isVisible());
    form.close();
    EXPECT_EQ(resultsText("Accommodations"),
              QStringLiteral("Пристосування: text=2; contrast=high; quiet"));
    EXPECT_NE(report().find("Пристосування: text=2; contrast=high; quiet\n"), std::string::npos);
}

struct ThreeTimesLarger : QuizDeskAppTest
{
    void prepareDir() override
    {
        std::ofstream(dir() / "accommodations.txt") << "Петренко; text=3\n";
    }
};

TEST_F(ThreeTimesLarger, AQuestionWiderThanAThirdOfTheWindowFitsItAndClicksStillPickTheirOption)
{
    begin(QStringLiteral("Петренко"));
    // Question 1 fits three times larger; question 6's three columns would
    // end past the right edge, so it is drawn as large as fits.
    const double first = app->view().bitmap().scale();
    EXPECT_EQ(first, 3.0);
    // The strip's controls, too large three times over for this window, are
    // as large as fits: every one within it, none over another.
    EXPECT_TRUE(form.controlsFit());
    for (const char* name :
         {qd::mainWindowNames::questionNumberLabel, qd::mainWindowNames::questionTimeBar,
          qd::mainWindowNames::scoreLabel, qd::mainWindowNames::nextButton}) {
        QWidget* w = child(form, name);
        const QRect onForm(w->mapTo(&form, QPoint(0, 0)), w->size());
        EXPECT_TRUE(QRect(0, 0, kW, kH).contains(onForm)) << name;
    }
    nextUntil(6);
    const double scale = app->view().bitmap().scale();
    EXPECT_LT(scale, 3.0);
    EXPECT_GT(scale, 1.0);
    const QImage shown = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int col = 0; col < 3; ++col) {
        for (int row = 0; row < 3; ++row) {
            const QRect r = textRect(col, row);
            const QRect onWindow(QPoint(int(r.left() * scale), int(r.top() * scale)),
                                 QPoint(int(r.right() * scale), int(r.bottom() * scale)));
            EXPECT_TRUE(QRect(0, 0, kW, kH).contains(onWindow)) << col << "," << row;
        }
    }
    // The last column's option is on the window, and the point the scale
    // puts it at picks it.
    const QRect last = textRect(2, 1);
    bool ink = false;
    for (int y = int(last.top() * scale); y <= int(last.bottom() * scale); ++y) {
        for (int x = int(last.left() * scale); x <= int(last.right() * scale); ++x) {
            ink = ink || shown.pixel(x, y) == kBlack;
        }
    }
    EXPECT_TRUE(ink);
    // A screen reader finds the option where the window shows it.
    QAccessibleInterface* area =
        QAccessible::queryAccessibleInterface(child(form, "QuestionScreen"));
    ASSERT_NE(area, nullptr);
    QAccessibleInterface* item = area->child(1 + 3 + 3 + 1); // column 3, row 2
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(QAccessible::Name), QStringLiteral("Закарпатська"));
    EXPECT_EQ(item->rect().topLeft(),
              form.mapToGlobal(QPoint(int(last.left() * scale), int(last.top() * scale))));
    press(QPoint(int(onText(0, 0).x() * scale), int(onText(0, 0).y() * scale)));
    press(QPoint(int(onText(2, 1).x() * scale), int(onText(2, 1).y() * scale)));
    EXPECT_EQ(session().state().activeRow, 0);
    EXPECT_EQ(session().state().picks[1], 1);
}
