#include "app/ObjectNames.h"
#include "app/ResultsWindow.h"

#include "FindWidget.h"

#include "definition/Cp1251.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

using qdtest::child;

qd::ResultsSummary summary()
{
    qd::ResultsSummary r;
    r.testName = qd::toCp1251(" Демонстраційний тест\r\n(/home/student/demo)");
    r.points = "7.50";
    r.maxScore = 10;
    r.percent = 75;
    r.minutes = 62;
    r.seconds = 5;
    r.grade = qd::toCp1251("Добре");
    r.wrongList = "  3,   7,  12, ";
    return r;
}

TEST(ResultsWindow, ShowsTheResultsWithTheWrongAnswers)
{
    qd::ResultsWindow rez;
    EXPECT_FALSE(rez.isVisible());
    EXPECT_EQ(rez.windowTitle(), QStringLiteral("Результати тестування"));
    rez.showResults(summary());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rez));
    EXPECT_EQ(child<QTextEdit>(rez, qd::resultsWindowNames::testNameBox)->toPlainText(),
              QStringLiteral(" Демонстраційний тест\n(/home/student/demo)"));
    EXPECT_EQ(child<QLabel>(rez, qd::resultsWindowNames::scoreLabel)->text(),
              QStringLiteral("7.50"));
    EXPECT_EQ(child<QLabel>(rez, qd::resultsWindowNames::maxScoreLabel)->text(),
              QStringLiteral("10"));
    EXPECT_EQ(child<QLabel>(rez, qd::resultsWindowNames::percentLabel)->text(),
              QStringLiteral("75"));
    EXPECT_EQ(child<QLabel>(rez, qd::resultsWindowNames::minutesLabel)->text(),
              QStringLiteral("62"));
    EXPECT_EQ(child<QLabel>(rez, qd::resultsWindowNames::secondsLabel)->text(),
              QStringLiteral("5"));
    EXPECT_EQ(child<QLabel>(rez, qd::resultsWindowNames::gradeLabel)->text(),
              QStringLiteral("Добре"));
    EXPECT_TRUE(child(rez, qd::resultsWindowNames::wrongCaption)->isVisible());
    EXPECT_TRUE(child(rez, qd::resultsWindowNames::wrongListBox)->isVisible());
    EXPECT_EQ(child<QTextEdit>(rez, qd::resultsWindowNames::wrongListBox)->toPlainText(),
              QStringLiteral("  3,   7,  12, "));
    EXPECT_EQ(rez.size(), QSize(526, 470));
    // Everything down to the grade fits in the short window.
    EXPECT_LE(child(rez, qd::resultsWindowNames::gradeLabel)
                  ->mapTo(&rez, QPoint(0, child(rez, qd::resultsWindowNames::gradeLabel)->height()))
                  .y(),
              210);
}

TEST(ResultsWindow, EveryPointEarnedCutsTheWindowTo210Pixels)
{
    qd::ResultsSummary r = summary();
    r.points = "10.00";
    r.percent = 100;
    r.grade = qd::toCp1251("Відмінно");
    r.everyPointEarned = true;
    r.wrongList.clear();
    qd::ResultsWindow rez;
    rez.showResults(r);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rez));
    EXPECT_EQ(rez.height(), 210);
    EXPECT_FALSE(child(rez, qd::resultsWindowNames::wrongCaption)->isVisible());
    EXPECT_FALSE(child(rez, qd::resultsWindowNames::wrongListBox)->isVisible());
    EXPECT_EQ(child<QLabel>(rez, qd::resultsWindowNames::gradeLabel)->text(),
              QStringLiteral("Відмінно"));
}

TEST(ResultsWindow, AFixedDialogFrameWithoutMinimiseOrMaximise)
{
    qd::ResultsWindow rez;
    rez.showResults(summary());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&rez));
    const Qt::WindowFlags flags = rez.windowHandle()->flags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    // Only the hints asked for: without CustomizeWindowHint the platform adds
    // its own, minimise and maximise among them.
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    for (Qt::WindowType hint : {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint,
                                Qt::WindowFullscreenButtonHint}) {
        EXPECT_FALSE(flags.testFlag(hint)) << std::hex << hint;
    }
    EXPECT_EQ(rez.minimumSize(), rez.maximumSize());
}

// Whatever a window manager offers, the results window is not lost to a
// minimise, nor blown up to the whole screen.
TEST(ResultsWindow, ComesBackWhenMinimisedOrEnlarged)
{
    for (Qt::WindowState state : {Qt::WindowMinimized, Qt::WindowMaximized, Qt::WindowFullScreen}) {
        qd::ResultsWindow rez;
        rez.showResults(summary());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&rez));
        rez.setWindowState(state);
        EXPECT_TRUE(QTest::qWaitFor([&] { return rez.windowState() == Qt::WindowNoState; }, 2000))
            << state;
        EXPECT_TRUE(rez.isVisible());
        EXPECT_EQ(rez.size(), QSize(526, 470));
    }
}

TEST(ResultsWindow, ClosingItAsksToEndTheProgram)
{
    qd::ResultsWindow rez;
    rez.showResults(summary());
    QSignalSpy closing(&rez, &qd::ResultsWindow::closeRequested);
    rez.close();
    EXPECT_EQ(closing.count(), 1);
}

} // namespace
