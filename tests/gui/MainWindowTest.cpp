#include "app/ObjectNames.h"
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
    EXPECT_EQ(child<QTextEdit>(form, qd::mainWindowNames::subjectBox)->toPlainText().trimmed(),
              QStringLiteral("Географія України"));
    EXPECT_EQ(child<QTextEdit>(form, qd::mainWindowNames::testNameBox)->toPlainText().trimmed(),
              QStringLiteral("Демонстраційний тест"));
    EXPECT_TRUE(child<QTextEdit>(form, qd::mainWindowNames::subjectBox)->isReadOnly());
    EXPECT_EQ(child<QLabel>(form, qd::mainWindowNames::subjectCaption)->text(),
              QStringLiteral("Найменування дисципліни:"));
    EXPECT_EQ(child<QLabel>(form, qd::mainWindowNames::testNameCaption)->text(),
              QStringLiteral("Назва тесту:"));
    EXPECT_EQ(child<QLabel>(form, qd::mainWindowNames::enterNameCaption)->text(),
              QStringLiteral("Введіть Ваші прізвище та ім'я:"));
    EXPECT_EQ(child<QCheckBox>(form, qd::mainWindowNames::examCheckBox)->text(),
              QStringLiteral("Екзаменаційне тестування"));
    EXPECT_EQ(child<QPushButton>(form, qd::mainWindowNames::beginButton)->text(),
              QStringLiteral("Почати тестування"));
    EXPECT_TRUE(child<QComboBox>(form, qd::mainWindowNames::studentNameBox)->isEditable());
    for (const char* name :
         {qd::mainWindowNames::centreLabel, qd::mainWindowNames::programNameLabel,
          qd::mainWindowNames::authorLabel}) {
        EXPECT_FALSE(child<QLabel>(form, name)->text().isEmpty()) << name;
    }
    // The title picture, decoded from the program's resources.
    const QLabel* zast = child<QLabel>(form, qd::mainWindowNames::titlePicture);
    EXPECT_EQ(zast->pixmap().size(), QSize(600, 300));
    EXPECT_EQ(zast->geometry(), QRect(0, 0, 1024, 768));

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_TRUE(child(form, qd::mainWindowNames::headerPanel)->isVisible());
    EXPECT_TRUE(child(form, qd::mainWindowNames::titlePanel)->isVisible());
    for (const char* hidden : {qd::mainWindowNames::statusStrip, qd::mainWindowNames::answerStrip,
                               qd::mainWindowNames::cornerImage}) {
        EXPECT_FALSE(child(form, hidden)->isVisible()) << hidden;
    }
    EXPECT_EQ(bounds(form, qd::mainWindowNames::headerPanel), QRect(0, 0, 1024, 90));
    EXPECT_EQ(bounds(form, qd::mainWindowNames::titlePanel), QRect(0, 768 - 228, 1024, 228));
    EXPECT_FALSE(child<QTimer>(form, qd::mainWindowNames::questionTimer)->isActive());
    EXPECT_FALSE(child<QTimer>(form, qd::mainWindowNames::serverWaitTimer)->isActive());
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
    EXPECT_EQ(bounds(form, qd::mainWindowNames::statusStrip).width(), w);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::statusStrip).top(), h - 100);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::subjectBox).left(), s(8));
    EXPECT_EQ(bounds(form, qd::mainWindowNames::subjectBox).width(), s(380));
    EXPECT_EQ(bounds(form, qd::mainWindowNames::subjectCaption).left(), s(80));
    EXPECT_EQ(bounds(form, qd::mainWindowNames::studentNameBox).left(), s(32));
    EXPECT_EQ(bounds(form, qd::mainWindowNames::studentNameBox).width(), s(345));
    EXPECT_EQ(bounds(form, qd::mainWindowNames::enterNameCaption).left(), s(72));
    EXPECT_EQ(bounds(form, qd::mainWindowNames::testNameBox).left(), s(400));
    EXPECT_EQ(bounds(form, qd::mainWindowNames::testNameBox).width(), s(380));
    EXPECT_EQ(bounds(form, qd::mainWindowNames::testNameCaption).left(), s(552));
    if (!fitted) {
        EXPECT_EQ(bounds(form, qd::mainWindowNames::beginButton).left(), s(496));
        EXPECT_EQ(bounds(form, qd::mainWindowNames::beginButton).width(), s(225));
    }
    // Placed after scaling, over the button.
    EXPECT_EQ(bounds(form, qd::mainWindowNames::examCheckBox).left(),
              bounds(form, qd::mainWindowNames::beginButton).left());
    EXPECT_GE(bounds(form, qd::mainWindowNames::examCheckBox).width(),
              bounds(form, qd::mainWindowNames::beginButton).width());
    const QRect box2 = bounds(form, qd::mainWindowNames::countersBox);
    for (const char* name :
         {qd::mainWindowNames::scoreCaption, qd::mainWindowNames::questionTimeCaption,
          qd::mainWindowNames::testEndCaption}) {
        EXPECT_EQ(bounds(form, name).left(), box2.left() + box2.width() + 10) << name;
    }
    const QRect box3 = bounds(form, qd::mainWindowNames::answerStrip);
    EXPECT_EQ(box3, QRect(0, h - 100 - 50, w, 50));
    const QRect label5 = bounds(form, qd::mainWindowNames::answerCaption);
    EXPECT_EQ(label5.topLeft(), QPoint(5, 10));
    EXPECT_EQ(bounds(form, qd::mainWindowNames::answerEdit).left(), 5 + label5.width() + 5);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::answerEdit).top(), 10);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::answerEdit).width(), w - label5.width() - 20);

    const int d = narrow ? 1 : 0;
    const int ds = narrowStrip ? 1 : 0;
    EXPECT_EQ(box2.left(), 325 - 64 * ds);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::questionTimeBar).left(), 561 - 60 * ds);
    if (!fitted) {
        EXPECT_EQ(bounds(form, qd::mainWindowNames::minutesCaption).left(), 650 - 100 * ds);
        EXPECT_EQ(bounds(form, qd::mainWindowNames::minutesLeftLabel).left(), 610 - 100 * ds);
        EXPECT_EQ(bounds(form, qd::mainWindowNames::scoreLabel).left(), 551 - 100 * ds);
        EXPECT_EQ(bounds(form, qd::mainWindowNames::nextButton),
                  QRect(807 - 200 * ds, 20 + 25 * ds, 139, 60 - 15 * ds));
    }
    EXPECT_EQ(bounds(form, qd::mainWindowNames::nextButton).size(), QSize(139, 60 - 15 * ds));
    EXPECT_EQ(bounds(form, qd::mainWindowNames::nextButton).top(), 20 + 25 * ds);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::titlePanel).height(), 228 - 40 * d);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::titlePanel).bottom(), h - 1);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::testNameBox).height(), 80 - 20 * d);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::subjectBox).height(), 80 - 20 * d);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::studentNameBox).top(), 158 - 30 * d);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::enterNameCaption).top(), 128 - 20 * d);
    EXPECT_EQ(bounds(form, qd::mainWindowNames::beginButton).top(), 158 - 30 * d);
    for (const char* name :
         {qd::mainWindowNames::questionCountCaption, qd::mainWindowNames::questionNumberCaption,
          qd::mainWindowNames::lastAnswerCaption, qd::mainWindowNames::scoreCaption,
          qd::mainWindowNames::questionTimeCaption, qd::mainWindowNames::testEndCaption,
          qd::mainWindowNames::minutesCaption, qd::mainWindowNames::nextButton}) {
        EXPECT_EQ(points(form, name) == 8, narrowStrip) << name;
    }
    for (const char* name :
         {qd::mainWindowNames::testNameBox, qd::mainWindowNames::subjectCaption,
          qd::mainWindowNames::subjectBox, qd::mainWindowNames::enterNameCaption,
          qd::mainWindowNames::authorLabel, qd::mainWindowNames::testNameCaption}) {
        EXPECT_EQ(points(form, name) == 8, narrow) << name;
    }
    EXPECT_EQ(points(form, qd::mainWindowNames::beginButton) == 14, narrow);
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
         {qd::mainWindowNames::headerPanel, qd::mainWindowNames::titlePanel,
          qd::mainWindowNames::answerStrip, qd::mainWindowNames::statusStrip,
          qd::mainWindowNames::countersBox}) {
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
    EXPECT_GE(bounds(form, qd::mainWindowNames::questionTimeBar).width(), 60);
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
    child(form, qd::mainWindowNames::titlePicture)->hide();
    const QImage without = form.grab().toImage();
    const QRect picture(QPoint((800 - 600) / 2, (400 - 300) / 2), QSize(600, 300));
    for (const char* panelName :
         {qd::mainWindowNames::headerPanel, qd::mainWindowNames::titlePanel}) {
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
    auto* button = child<QPushButton>(form, qd::mainWindowNames::beginButton);
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
    auto* edit = child<QLineEdit>(form, qd::mainWindowNames::answerEdit);
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
    auto* edit = child<QLineEdit>(form, qd::mainWindowNames::answerEdit);
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
    const QRect strip = bounds(form, qd::mainWindowNames::statusStrip);
    QTest::mouseClick(child(form, qd::mainWindowNames::statusStrip), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, 5));
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
    EXPECT_EQ(child<QLabel>(form, qd::mainWindowNames::questionCountLabel)->text(),
              QStringLiteral("12"));
    EXPECT_EQ(child<QLabel>(form, qd::mainWindowNames::questionNumberLabel)->text(),
              QStringLiteral("3"));
    EXPECT_EQ(child<QLabel>(form, qd::mainWindowNames::scoreLabel)->text(), QStringLiteral("7.50"));
    EXPECT_EQ(child<QLabel>(form, qd::mainWindowNames::minutesLeftLabel)->text(),
              QStringLiteral("-1"));
    EXPECT_EQ(child<QProgressBar>(form, qd::mainWindowNames::questionTimeBar)->value(), 7);
    EXPECT_EQ(child<QProgressBar>(form, qd::mainWindowNames::questionTimeBar)->maximum(), 120);
    EXPECT_EQ(child(form, qd::mainWindowNames::answerShape)->palette().color(QPalette::Window),
              QColor(0, 128, 0));
    form.setAnswerColour(0xFF);
    EXPECT_EQ(child(form, qd::mainWindowNames::answerShape)->palette().color(QPalette::Window),
              QColor(255, 0, 0));

    form.setHandCursor(true);
    EXPECT_EQ(form.cursor().shape(), Qt::PointingHandCursor);
    form.setHandCursor(false);
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);

    form.setWaitTimer(true);
    EXPECT_TRUE(child<QTimer>(form, qd::mainWindowNames::serverWaitTimer)->isActive());
    EXPECT_EQ(child<QTimer>(form, qd::mainWindowNames::serverWaitTimer)->interval(), 100);
    form.setQuestionTimer(true);
    EXPECT_EQ(child<QTimer>(form, qd::mainWindowNames::questionTimer)->interval(), 50);
    form.hideForResults();
    EXPECT_FALSE(child<QTimer>(form, qd::mainWindowNames::questionTimer)->isActive());
    EXPECT_EQ(child<QProgressBar>(form, qd::mainWindowNames::questionTimeBar)->value(), 0);
}

} // namespace
