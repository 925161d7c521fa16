// The run host's start-up and title-page rules, which the window and the
// dry run both rely on (their own tests play whole runs through them).
#include "host/RunHost.h"

#include "EventWait.h"
#include "FakeExamServer.h"
#include "ModelBuilder.h"
#include "RecordingView.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <string>
#include <variant>
#include <vector>

namespace {

// What the host asked of its title page.
struct RecordingTitlePage : qd::TitlePageView
{
    bool enabled = true;
    int unticked = 0;
    int namesShown = 0;
    std::vector<std::string> messages;

    void setTitleControlsEnabled(bool on) override { enabled = on; }
    void untickExamBox() override { ++unticked; }
    void setStudentNames(const std::vector<std::string>&) override { ++namesShown; }
    void examLinkUp() override {}
    void message(const std::string& text) override { messages.push_back(text); }
};

int fixedCharWidth(int, bool)
{
    return 8;
}

class RunHostTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { qd::test::ensureCoreApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        dir = tmp.path().toStdString();
        std::filesystem::copy(std::filesystem::path(QUIZDESK_SOURCE_DIR) / "tests/fixtures/minimal",
                              dir, std::filesystem::copy_options::recursive);
        auto started = qd::startTest(dir, qd::WindowGeometry{}, fixedCharWidth, 1);
        ASSERT_TRUE(std::holds_alternative<qd::StartedTest>(started));
        run = std::move(std::get<qd::StartedTest>(started));
        host = std::make_unique<qd::RunHost>(*run.model, std::move(run.state), clock, clock, view,
                                             titlePage, dir);
    }

    QTemporaryDir tmp;
    std::filesystem::path dir;
    qdtest::FixedClock clock;
    RecordingView view;
    RecordingTitlePage titlePage;
    qd::StartedTest run;
    std::unique_ptr<qd::RunHost> host;
};

TEST(RunHostStartTest, AFolderWithoutATestStopsAtTheLoad)
{
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    const auto started =
        qd::startTest(empty.path().toStdString(), qd::WindowGeometry{}, fixedCharWidth, 1);
    EXPECT_TRUE(std::holds_alternative<qd::Fault>(started));
}

TEST_F(RunHostTest, BeginActsOnTheTitlePageOnly)
{
    EXPECT_TRUE(host->beginClicked("Ivanov", false));
    EXPECT_NE(host->session().phase(), qd::TestSession::Phase::TitlePage);
    EXPECT_FALSE(host->beginClicked("Ivanov", false));
    EXPECT_TRUE(titlePage.enabled); // no link is being opened
}

TEST_F(RunHostTest, TheExamBoxReadsTheStudentListAgainOnEveryClick)
{
    // No students.dbf: each click reads it again and says so.
    EXPECT_TRUE(host->examBoxClicked());
    EXPECT_TRUE(host->examBoxClicked());
    EXPECT_EQ(titlePage.namesShown, 2);
    EXPECT_EQ(titlePage.messages.size(), 2u);
}

TEST_F(RunHostTest, TheTitlePageIsGreyedOutWhileTheLinkIsOpened)
{
    qd::test::FakeExamServer server;
    ASSERT_TRUE(server.listen());
    std::ofstream(dir / "IPaddress.txt", std::ios::binary) << "127.0.0.1\r\n";
    host->examLink().setPort(server.port());

    ASSERT_TRUE(host->beginClicked("Ivanov", true));
    EXPECT_EQ(host->session().phase(), qd::TestSession::Phase::Waiting);
    EXPECT_FALSE(titlePage.enabled);
    EXPECT_FALSE(host->titleControlsEnabled());
    // Neither control does anything until the link has been decided on.
    EXPECT_FALSE(host->examBoxClicked());
    EXPECT_FALSE(host->beginClicked("Ivanov", true));
    EXPECT_EQ(titlePage.namesShown, 0);
}

} // namespace
