#include "app/MainWindow.h"

#include "FindWidget.h"

#include "definition/Cp1251.h"
#include "definition/TestLoader.h"
#include "screen/TestFont.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <variant>
#include <vector>

namespace {

using qdtest::child;

QRect bounds(const QWidget& form, const char* name)
{
    return child(form, name)->geometry();
}

int points(const QWidget& form, const char* name)
{
    return child(form, name)->font().pointSize();
}

TEST(MainWindow, TitlePageShowsTheDemoTest)
{
    const std::filesystem::path demo = std::filesystem::path(QUIZDESK_SOURCE_DIR) / "examples/demo";
    auto loaded = qd::loadTestDir(demo, qd::WindowGeometry{0, 0, 1024, 768}, qd::testFontCharWidth);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<qd::TestModel>>(loaded));
    const auto& model = *std::get<std::unique_ptr<qd::TestModel>>(loaded);

    qd::MainWindow form;
    form.placeOnScreen(QRect(0, 0, 1024, 768));
    form.showTitlePage(model.subjectName, model.testName);

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Програма QUIZDESK"));
    EXPECT_EQ(child<QTextEdit>(form, "MDiscipline")->toPlainText().trimmed(),
              QStringLiteral("Географія України"));
    EXPECT_EQ(child<QTextEdit>(form, "MTestName")->toPlainText().trimmed(),
              QStringLiteral("Демонстраційний тест"));
    EXPECT_TRUE(child<QTextEdit>(form, "MDiscipline")->isReadOnly());
    EXPECT_EQ(child<QLabel>(form, "LNameD")->text(), QStringLiteral("Найменування дисципліни:"));
    EXPECT_EQ(child<QLabel>(form, "LTestName")->text(), QStringLiteral("Назва тесту:"));
    EXPECT_EQ(child<QLabel>(form, "LEnterName")->text(),
              QStringLiteral("Введіть Ваші прізвище та ім'я:"));
    EXPECT_EQ(child<QCheckBox>(form, "CB_ExamTest")->text(),
              QStringLiteral("Екзаменаційне тестування"));
    EXPECT_EQ(child<QPushButton>(form, "BeginTest")->text(), QStringLiteral("Почати тестування"));
    EXPECT_TRUE(child<QComboBox>(form, "EditStName")->isEditable());
    for (const char* name : {"LAcad", "PrName", "LAvtor"}) {
        EXPECT_FALSE(child<QLabel>(form, name)->text().isEmpty()) << name;
    }
    // The title picture, decoded from the program's resources.
    const QLabel* zast = child<QLabel>(form, "Zast");
    EXPECT_EQ(zast->pixmap().size(), QSize(600, 300));
    EXPECT_EQ(zast->geometry(), QRect(0, 0, 1024, 768));

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_TRUE(child(form, "GroupBoxA")->isVisible());
    EXPECT_TRUE(child(form, "GroupBoxZ")->isVisible());
    for (const char* hidden : {"GroupBox1", "GroupBox3", "ImageJPG"}) {
        EXPECT_FALSE(child(form, hidden)->isVisible()) << hidden;
    }
    EXPECT_EQ(bounds(form, "GroupBoxA"), QRect(0, 0, 1024, 90));
    EXPECT_EQ(bounds(form, "GroupBoxZ"), QRect(0, 768 - 228, 1024, 228));
    EXPECT_FALSE(child<QTimer>(form, "Timer")->isActive());
    EXPECT_FALSE(child<QTimer>(form, "TimerWaitServer")->isActive());
}

// The scaled title page and the status strip at a screen width: the values
// every screen shares, then those of a normal and of a narrow screen. The
// status strip takes its narrow layout on a screen too narrow for it at full
// size; the controls fitted into the window (the buttons, the check box, the
// values beside the button) are checked by the layout test below.
struct Scaled
{
    int w;
    bool narrow;
    bool narrowStrip;
};

class MainWindowScaling : public ::testing::TestWithParam<Scaled>
{};

TEST_P(MainWindowScaling, FollowsTheScalingAndNarrowScreenTables)
{
    const int w = GetParam().w;
    const bool narrow = GetParam().narrow;
    const bool narrowStrip = GetParam().narrowStrip;
    const bool fitted = w < 950;
    const int h = 480;
    qd::MainWindow form;
    form.placeOnScreen(QRect(0, 0, w, h));
    auto s = [w](int layout) { return w * layout / 800; };

    EXPECT_EQ(form.size(), QSize(w, h));
    EXPECT_EQ(bounds(form, "GroupBox1").width(), w);
    EXPECT_EQ(bounds(form, "GroupBox1").top(), h - 100);
    EXPECT_EQ(bounds(form, "MDiscipline").left(), s(8));
    EXPECT_EQ(bounds(form, "MDiscipline").width(), s(380));
    EXPECT_EQ(bounds(form, "LNameD").left(), s(80));
    EXPECT_EQ(bounds(form, "EditStName").left(), s(32));
    EXPECT_EQ(bounds(form, "EditStName").width(), s(345));
    EXPECT_EQ(bounds(form, "LEnterName").left(), s(72));
    EXPECT_EQ(bounds(form, "MTestName").left(), s(400));
    EXPECT_EQ(bounds(form, "MTestName").width(), s(380));
    EXPECT_EQ(bounds(form, "LTestName").left(), s(552));
    if (!fitted) {
        EXPECT_EQ(bounds(form, "BeginTest").left(), s(496));
        EXPECT_EQ(bounds(form, "BeginTest").width(), s(225));
    }
    // Placed after scaling, over the button.
    EXPECT_EQ(bounds(form, "CB_ExamTest").left(), bounds(form, "BeginTest").left());
    EXPECT_GE(bounds(form, "CB_ExamTest").width(), bounds(form, "BeginTest").width());
    const QRect box2 = bounds(form, "GroupBox2");
    for (const char* name : {"Label4", "Label6", "Label7"}) {
        EXPECT_EQ(bounds(form, name).left(), box2.left() + box2.width() + 10) << name;
    }
    const QRect box3 = bounds(form, "GroupBox3");
    EXPECT_EQ(box3, QRect(0, h - 100 - 50, w, 50));
    const QRect label5 = bounds(form, "Label5");
    EXPECT_EQ(label5.topLeft(), QPoint(5, 10));
    EXPECT_EQ(bounds(form, "Edit").left(), 5 + label5.width() + 5);
    EXPECT_EQ(bounds(form, "Edit").top(), 10);
    EXPECT_EQ(bounds(form, "Edit").width(), w - label5.width() - 20);

    const int d = narrow ? 1 : 0;
    const int ds = narrowStrip ? 1 : 0;
    EXPECT_EQ(box2.left(), 325 - 64 * ds);
    EXPECT_EQ(bounds(form, "ProgressBar").left(), 561 - 60 * ds);
    if (!fitted) {
        EXPECT_EQ(bounds(form, "Label8").left(), 650 - 100 * ds);
        EXPECT_EQ(bounds(form, "L_tend").left(), 610 - 100 * ds);
        EXPECT_EQ(bounds(form, "Smarks").left(), 551 - 100 * ds);
        EXPECT_EQ(bounds(form, "Ready"), QRect(807 - 200 * ds, 20 + 25 * ds, 139, 60 - 15 * ds));
    }
    EXPECT_EQ(bounds(form, "Ready").size(), QSize(139, 60 - 15 * ds));
    EXPECT_EQ(bounds(form, "Ready").top(), 20 + 25 * ds);
    EXPECT_EQ(bounds(form, "GroupBoxZ").height(), 228 - 40 * d);
    EXPECT_EQ(bounds(form, "GroupBoxZ").bottom(), h - 1);
    EXPECT_EQ(bounds(form, "MTestName").height(), 80 - 20 * d);
    EXPECT_EQ(bounds(form, "MDiscipline").height(), 80 - 20 * d);
    EXPECT_EQ(bounds(form, "EditStName").top(), 158 - 30 * d);
    EXPECT_EQ(bounds(form, "LEnterName").top(), 128 - 20 * d);
    EXPECT_EQ(bounds(form, "BeginTest").top(), 158 - 30 * d);
    for (const char* name :
         {"Label1", "Label2", "Label3", "Label4", "Label6", "Label7", "Label8", "Ready"}) {
        EXPECT_EQ(points(form, name) == 8, narrowStrip) << name;
    }
    for (const char* name :
         {"MTestName", "LNameD", "MDiscipline", "LEnterName", "LAvtor", "LTestName"}) {
        EXPECT_EQ(points(form, name) == 8, narrow) << name;
    }
    EXPECT_EQ(points(form, "BeginTest") == 14, narrow);
}

INSTANTIATE_TEST_SUITE_P(Widths, MainWindowScaling,
                         ::testing::Values(Scaled{640, true, true}, Scaled{649, true, true},
                                           Scaled{650, false, true}, Scaled{800, false, false},
                                           Scaled{1024, false, false}, Scaled{1280, false, false}),
                         [](const auto& p) { return "W" + std::to_string(p.param.w); });

// What a control shows must fit it: a button's or a check box's caption, a
// label's text. Boxes of any contents and the time bar have no such need.
bool captionFits(const QWidget* w)
{
    const bool captioned = qobject_cast<const QLabel*>(w) != nullptr ||
                           qobject_cast<const QAbstractButton*>(w) != nullptr;
    return !captioned || w->width() >= w->sizeHint().width();
}

// Every control of the title page, the answer strip and the status strip
// lies wholly inside its panel (and so inside the window), covers none of
// its neighbours and is wide enough for its caption; the status strip with
// the widest values it shows in a run.
class MainWindowLayout : public ::testing::TestWithParam<QSize>
{};

TEST_P(MainWindowLayout, NoControlIsCutOrCovered)
{
    const QSize size = GetParam();
    qd::MainWindow form;
    form.placeOnScreen(QRect(QPoint(0, 0), size));
    form.showTitlePage("Discipline", "Test");
    form.setQuestionCount(5000);
    form.setQuestionNumber(5000);
    form.setScoreText("999.99");
    form.setMinutesLeft(600);
    const QRect window(QPoint(0, 0), size);
    for (const char* panelName :
         {"GroupBoxA", "GroupBoxZ", "GroupBox3", "GroupBox1", "GroupBox2"}) {
        const QWidget* panel = child(form, panelName);
        ASSERT_NE(panel, nullptr);
        const QRect inWindow(panel->mapTo(&form, QPoint(0, 0)), panel->size());
        EXPECT_TRUE(window.contains(inWindow)) << panelName << " at " << size.width();
        std::vector<const QWidget*> parts;
        for (const QWidget* c : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!c->objectName().isEmpty() && !c->objectName().startsWith(QLatin1String("qt_"))) {
                parts.push_back(c);
            }
        }
        ASSERT_FALSE(parts.empty()) << panelName;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const QWidget* a = parts[i];
            const std::string name = a->objectName().toStdString();
            EXPECT_TRUE(panel->rect().contains(a->geometry()))
                << name << " " << a->geometry().x() << "," << a->geometry().y() << " " << a->width()
                << "x" << a->height() << " out of " << panelName << " at " << size.width();
            EXPECT_TRUE(captionFits(a)) << name << " is cut at " << size.width();
            for (std::size_t j = i + 1; j < parts.size(); ++j) {
                EXPECT_FALSE(a->geometry().intersects(parts[j]->geometry()))
                    << name << " and " << parts[j]->objectName().toStdString() << " at "
                    << size.width();
            }
        }
    }
    EXPECT_GE(bounds(form, "ProgressBar").width(), 60);
}

// Lab screens of 640 x 480, 800 x 600 and 1024 x 768, each without and with
// a window manager's frame, 150 % scaling of 1024 and 1280 pixels, and the
// narrow-screen threshold.
INSTANTIATE_TEST_SUITE_P(Screens, MainWindowLayout,
                         ::testing::Values(QSize(640, 480), QSize(638, 457), QSize(649, 480),
                                           QSize(650, 480), QSize(683, 512), QSize(700, 500),
                                           QSize(760, 560), QSize(798, 577), QSize(800, 600),
                                           QSize(853, 640), QSize(900, 700), QSize(950, 700),
                                           QSize(1022, 745), QSize(1024, 768), QSize(1280, 1024)),
                         [](const auto& p) {
                             return std::to_string(p.param.width()) + "x" +
                                    std::to_string(p.param.height());
                         });

// Where a panel leaves a control's place free, the panel's own background
// shows, not the title picture behind it: the panels look the same with the
// picture and without it.
TEST(MainWindow, PanelsHideTheTitlePictureBehindThem)
{
    qd::MainWindow form;
    form.placeOnScreen(QRect(0, 0, 800, 400)); // the picture reaches into both panels
    form.showTitlePage("Discipline", "Test");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QImage withPicture = form.grab().toImage();
    child(form, "Zast")->hide();
    const QImage without = form.grab().toImage();
    const QRect picture(QPoint((800 - 600) / 2, (400 - 300) / 2), QSize(600, 300));
    for (const char* panelName : {"GroupBoxA", "GroupBoxZ"}) {
        const QRect shared = bounds(form, panelName).intersected(picture);
        ASSERT_FALSE(shared.isEmpty()) << panelName;
        int differ = 0;
        for (int x = shared.left(); x <= shared.right(); ++x) {
            for (int y = shared.top(); y <= shared.bottom(); ++y) {
                differ += withPicture.pixel(x, y) != without.pixel(x, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(differ, 0) << panelName;
    }
}

TEST(MainWindow, EnterOnTheFocusedBeginButtonPressesIt)
{
    qd::MainWindow form;
    form.placeOnScreen(QRect(0, 0, 1024, 768));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QSignalSpy begin(&form, &qd::MainWindow::beginClicked);
    auto* button = child<QPushButton>(form, "BeginTest");
    button->setFocus();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        QTest::keyClick(button, key);
    }
    EXPECT_EQ(begin.count(), 3);
}

TEST(MainWindow, AnswerBoxTakesAtMost127Characters)
{
    qd::MainWindow form;
    form.placeOnScreen(QRect(0, 0, 800, 600));
    form.setAnswerBox(true, true);
    auto* edit = child<QLineEdit>(form, "Edit");
    QTest::keyClicks(edit, QString(200, QLatin1Char('x')));
    EXPECT_EQ(edit->text().size(), 127);
    EXPECT_EQ(form.answerText(), std::string(127, 'x'));
}

TEST(MainWindow, EnterPressesNextQuestionOnlyWhileItIsShown)
{
    qd::MainWindow form;
    form.placeOnScreen(QRect(0, 0, 1024, 600));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QSignalSpy ready(&form, &qd::MainWindow::readyClicked);
    QTest::keyClick(&form, Qt::Key_Return);
    EXPECT_EQ(ready.count(), 0); // the title page

    form.showQuestionScreen();
    form.setAnswerBox(true, true);
    auto* edit = child<QLineEdit>(form, "Edit");
    QTest::keyClicks(edit, QStringLiteral("A21; B32"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(ready.count(), 1);
    QTest::keyClick(&form, Qt::Key_Enter);
    EXPECT_EQ(ready.count(), 2);
    EXPECT_EQ(form.answerText(), "A21; B32");
    edit->setText(QStringLiteral("Говерла"));
    EXPECT_EQ(form.answerText(), qd::toCp1251("Говерла"));
    // A new typed question clears the box.
    form.setAnswerBox(true, false);
    EXPECT_TRUE(edit->text().isEmpty());
}

TEST(MainWindow, EveryButtonPressAndTheSecondPressOfADoubleClickArePresses)
{
    qd::MainWindow form;
    form.placeOnScreen(QRect(0, 0, 1024, 600));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.showQuestionScreen();
    QSignalSpy presses(&form, &qd::MainWindow::mousePressed);
    QSignalSpy moves(&form, &qd::MainWindow::mouseMoved);
    const QPoint p(120, 200);
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        QTest::mousePress(&form, b, Qt::ShiftModifier, p);
        QTest::mouseRelease(&form, b, Qt::ShiftModifier, p);
    }
    QTest::mouseDClick(&form, Qt::LeftButton, Qt::NoModifier, p);
    ASSERT_EQ(presses.count(), 4);
    EXPECT_EQ(presses.at(3).at(0).toInt(), 120);
    EXPECT_EQ(presses.at(3).at(1).toInt(), 200);
    QTest::mouseMove(&form, QPoint(130, 210));
    ASSERT_GE(moves.count(), 1);
    EXPECT_EQ(moves.last().at(0).toInt(), 130);

    // Presses on the window's own controls are theirs.
    const QRect strip = bounds(form, "GroupBox1");
    QTest::mouseClick(child(form, "GroupBox1"), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(presses.count(), 4);
    EXPECT_GT(strip.height(), 0);
}

TEST(MainWindow, CloseIsARequestTheWindowDoesNotGrantByItself)
{
    qd::MainWindow form;
    form.placeOnScreen(QRect(0, 0, 800, 600));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QSignalSpy close(&form, &qd::MainWindow::closeRequested);
    EXPECT_FALSE(form.close());
    EXPECT_EQ(close.count(), 1);
    EXPECT_TRUE(form.isVisible());
}

TEST(MainWindow, StatusStripShowsWhatItIsTold)
{
    qd::MainWindow form;
    form.placeOnScreen(QRect(0, 0, 1024, 600));
    form.setQuestionCount(12);
    form.setQuestionNumber(3);
    form.setScoreText("7.50");
    form.setMinutesLeft(-1);
    form.setProgress(7, 120);
    form.setAnswerColour(0x8000);
    EXPECT_EQ(child<QLabel>(form, "N_quest")->text(), QStringLiteral("12"));
    EXPECT_EQ(child<QLabel>(form, "I_quest")->text(), QStringLiteral("3"));
    EXPECT_EQ(child<QLabel>(form, "Smarks")->text(), QStringLiteral("7.50"));
    EXPECT_EQ(child<QLabel>(form, "L_tend")->text(), QStringLiteral("-1"));
    EXPECT_EQ(child<QProgressBar>(form, "ProgressBar")->value(), 7);
    EXPECT_EQ(child<QProgressBar>(form, "ProgressBar")->maximum(), 120);
    EXPECT_EQ(child(form, "Answer")->palette().color(QPalette::Window), QColor(0, 128, 0));
    form.setAnswerColour(0xFF);
    EXPECT_EQ(child(form, "Answer")->palette().color(QPalette::Window), QColor(255, 0, 0));

    form.setHandCursor(true);
    EXPECT_EQ(form.cursor().shape(), Qt::PointingHandCursor);
    form.setHandCursor(false);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);

    form.setWaitTimer(true);
    EXPECT_TRUE(child<QTimer>(form, "TimerWaitServer")->isActive());
    EXPECT_EQ(child<QTimer>(form, "TimerWaitServer")->interval(), 100);
    form.setQuestionTimer(true);
    EXPECT_EQ(child<QTimer>(form, "Timer")->interval(), 50);
    form.hideForResults();
    EXPECT_FALSE(child<QTimer>(form, "Timer")->isActive());
    EXPECT_EQ(child<QProgressBar>(form, "ProgressBar")->value(), 0);
}

} // namespace
