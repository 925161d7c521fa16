#include "app/StartUp.h"

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

// A reporter that records its messages and does not end the test run.
struct Reports
{
    std::vector<std::pair<std::string, bool>> shown; // text (UTF-8), ended the program
    qd::MessageReporter reporter()
    {
        qd::MessageReporter::Actions a;
        a.box = [this](const QString&, const QString& text) {
            shown.emplace_back(text.toStdString(), false);
        };
        a.exit = [this](int code) {
            ASSERT_EQ(code, 0);
            shown.back().second = true;
        };
        return qd::MessageReporter(a);
    }
};

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
        return form.findChild<QTextEdit*>(QStringLiteral("MDiscipline"))->toPlainText();
    }
};

TEST_F(StartUpTest, MissingQuestionsFileIsTheOnlyMessageAndIsFatal)
{
    Reports reports;
    qd::MainWindow form;
    const auto run = qd::startUp(form, reports.reporter(), dir(), QRect(0, 0, 1024, 768), 1);
    EXPECT_FALSE(run.has_value());
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_EQ(reports.shown[0].first, "В текущей директории нет файла VOPROSI.TXT!");
    EXPECT_TRUE(reports.shown[0].second);
    EXPECT_TRUE(discipline(form).isEmpty());
}

TEST_F(StartUpTest, AMissingPictureStopsTheProgramBeforeTheTitlePage)
{
    // Every demo question is asked, question 8 among them: no 8.bmp.
    copyDemo({"voprosi.txt", "otveti.txt", "7.jpg", "9.jpg"});
    Reports reports;
    qd::MainWindow form;
    const auto run = qd::startUp(form, reports.reporter(), dir(), QRect(0, 0, 1024, 768), 1);
    EXPECT_FALSE(run.has_value());
    ASSERT_EQ(reports.shown.size(), 1u);
    EXPECT_EQ(reports.shown[0].first, "Не удалось загрузить файл 8.jpg либо 8.bmp!");
    EXPECT_TRUE(reports.shown[0].second);
    EXPECT_TRUE(discipline(form).isEmpty());
}

TEST_F(StartUpTest, DemoTestReachesItsTitlePageWithTheRunDrawn)
{
    Reports reports;
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
