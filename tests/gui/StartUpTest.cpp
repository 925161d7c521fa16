#include "app/ObjectNames.h"
#include "app/StartUp.h"

#include "FindWidget.h"
#include "MessageRecorder.h"

#include "app/MessageReporter.h"
#include "app/MainWindow.h"
#include "definition/Cp1251.h"

#include <QTemporaryDir>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

const fs::path kDemo = fs::path(QUIZDESK_SOURCE_DIR) / "examples" / "demo";

struct StartUpTest : ::testing::Test
{
    QTemporaryDir tmp;
    fs::path dir() const { return tmp.path().toStdString(); }
    void copyDemo(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            fs::copy_file(kDemo / name, dir() / name);
        }
    }
    QString discipline(const qd::MainWindow& form) const
    {
        return qdtest::child<QTextEdit>(form, qd::mainWindowNames::subjectBox)->toPlainText();
    }
};

TEST_F(StartUpTest, MissingQuestionsFileIsTheOnlyMessageAndIsFatal)
{
    MessageRecorder reports;
    qd::MainWindow form;
    const auto run = qd::startUp(form, reports.reporter(), dir(), QRect(0, 0, 1024, 768), 1);
    EXPECT_FALSE(run.has_value());
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_EQ(reports.shown[0].text, "В текущей директории нет файла VOPROSI.TXT!");
    EXPECT_TRUE(reports.shown[0].endedProgram);
    EXPECT_TRUE(discipline(form).isEmpty());
}

TEST_F(StartUpTest, AMissingPictureStopsTheProgramBeforeTheTitlePage)
{
    // Every demo question is asked, question 8 among them: no 8.bmp.
    copyDemo({"voprosi.txt", "otveti.txt", "7.jpg", "9.jpg"});
    MessageRecorder reports;
    qd::MainWindow form;
    const auto run = qd::startUp(form, reports.reporter(), dir(), QRect(0, 0, 1024, 768), 1);
    EXPECT_FALSE(run.has_value());
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_EQ(reports.shown[0].text, "Не удалось загрузить файл 8.jpg либо 8.bmp!");
    EXPECT_TRUE(reports.shown[0].endedProgram);
    EXPECT_TRUE(discipline(form).isEmpty());
}

TEST_F(StartUpTest, DemoTestReachesItsTitlePageWithTheRunDrawn)
{
    MessageRecorder reports;
    qd::MainWindow form;
    const auto run = qd::startUp(form, reports.reporter(), kDemo, QRect(0, 0, 640, 480), 1917);
    ASSERT_TRUE(run.has_value());
    EXPECT_TRUE(reports.shown.empty());
    EXPECT_EQ(form.size(), QSize(640, 480));
    EXPECT_EQ(run->model->askCount, 12);
    EXPECT_EQ(run->state.askingOrder.size(), 12u);
    EXPECT_EQ(run->state.notStarted, 1);
    // The narrow screen takes 4 pixels off the test font.
    EXPECT_EQ(run->model->fontSize, 12);
    EXPECT_EQ(discipline(form).trimmed(), QStringLiteral("Географія України"));
}

} // namespace
