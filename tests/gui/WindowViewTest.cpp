#include "app/ObjectNames.h"
#include "app/WindowView.h"

#include "FindWidget.h"
#include "MessageRecorder.h"

#include "app/MessageReporter.h"
#include "app/MainWindow.h"
#include "app/ResultsWindow.h"
#include "definition/Cp1251.h"
#include "definition/TestLoader.h"
#include "screen/TestFont.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <variant>

namespace {

namespace fs = std::filesystem;

constexpr int kW = 1024;
constexpr int kH = 768;
const QRgb kSilver = qRgb(192, 192, 192);

struct WindowViewTest : ::testing::Test
{
    std::unique_ptr<qd::TestModel> model;
    MessageRecorder messages;
    qd::MessageReporter reporter = messages.reporter();
    qd::MainWindow form;
    qd::ResultsWindow results;

    void SetUp() override
    {
        const fs::path demo = fs::path(QUIZDESK_SOURCE_DIR) / "examples/demo";
        auto loaded =
            qd::loadTestDir(demo, qd::WindowGeometry{0, 0, kW, kH}, qd::testFontCharWidth);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<qd::TestModel>>(loaded));
        model = std::move(std::get<std::unique_ptr<qd::TestModel>>(loaded));
        form.placeOnScreen(QRect(0, 0, kW, kH));
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    QImage window() { return form.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QLabel* imageJpg() { return qdtest::child<QLabel>(form, qd::mainWindowNames::cornerImage); }
};

TEST_F(WindowViewTest, TheWindowPaintsScreenBmpOnlyOnTheQuestionScreen)
{
    qd::WindowView view(*model, form, results, reporter,
                        fs::path(QUIZDESK_SOURCE_DIR) / "examples/demo");
    EXPECT_EQ(view.image().size(), QSize(kW, kH));
    view.displayQuestion(0);
    view.repaint();
    // The title page is up: the window does not show the question.
    EXPECT_NE(window().pixel(kW - 5, 120), kSilver);

    view.showQuestionScreen();
    view.repaint();
    const QImage shown = window();
    EXPECT_EQ(shown.pixel(kW - 5, 120), kSilver);
    // Above the status strip the window is the off-screen picture.
    const QRect question(0, 0, kW, kH - 100 - 1);
    EXPECT_EQ(shown.copy(question), view.image().copy(question));
}

TEST_F(WindowViewTest, PictureQuestionShowsItsPictureCentredAndShiftsTheText)
{
    qd::WindowView view(*model, form, results, reporter,
                        fs::path(QUIZDESK_SOURCE_DIR) / "examples/demo");
    view.showQuestionScreen();
    // Question 7: 7.jpg, 240 x 160.
    EXPECT_EQ(view.displayQuestion(6), 170);
    QLabel* picture = imageJpg();
    EXPECT_TRUE(picture->isVisible());
    EXPECT_TRUE(picture->isEnabled());
    EXPECT_EQ(picture->geometry(), QRect((kW - 240) / 2, 10, 240, 160));
    // Until the capture the window shows the picture control itself and
    // not the off-screen picture.
    view.repaint();
    QImage shown = window();
    EXPECT_NE(shown.pixel(kW - 5, 200), kSilver);
    const QColor blue = shown.pixelColor((kW - 240) / 2 + 120, 40);
    EXPECT_GT(blue.blue(), 150);

    view.capturePicture();
    view.repaint();
    shown = window();
    EXPECT_EQ(shown.pixel(kW - 5, 200), kSilver);
    EXPECT_EQ(shown.copy(QRect(0, 0, kW, 400)), view.image().copy(QRect(0, 0, kW, 400)));
    // The stem starts right under the picture.
    bool stemAbove = false;
    for (int y = 0; y < 170; ++y) {
        for (int x = 0; x < kW; ++x) {
            stemAbove |= view.image().pixel(x, y) == qRgb(0, 0, 255);
        }
    }
    EXPECT_FALSE(stemAbove);

    // The next question without a picture hides the control again.
    view.displayQuestion(0);
    EXPECT_FALSE(picture->isVisible());
    EXPECT_FALSE(picture->isEnabled());
}

TEST_F(WindowViewTest, AnUnloadablePictureIsFatalThroughTheReporter)
{
    QTemporaryDir empty;
    qd::WindowView view(*model, form, results, reporter, empty.path().toStdString());
    EXPECT_EQ(view.displayQuestion(7), 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Не удалось загрузить файл 8.jpg либо 8.bmp!");
    EXPECT_TRUE(messages.shown[0].endedProgram);
}

TEST_F(WindowViewTest, ResultsReplaceTheMainWindow)
{
    qd::WindowView view(*model, form, results, reporter,
                        fs::path(QUIZDESK_SOURCE_DIR) / "examples/demo");
    view.setQuestionTimer(true);
    qd::ResultsSummary r;
    r.points = "27.00";
    r.maxScore = 27;
    r.percent = 100;
    r.grade = qd::toCp1251("Відмінно");
    r.everyPointEarned = true;
    view.showResults(r);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(results.isVisible());
    EXPECT_EQ(results.height(), 210);
}

} // namespace
