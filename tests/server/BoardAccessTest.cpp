#include "BoardAccess.h"

#include <gtest/gtest.h>

#include <QHostInfo>
#include <QTemporaryDir>

#include <fstream>
#include <sys/stat.h>

using namespace qd::server;

namespace {

BoardAccess board(const char* address, quint16 port, std::string token = {})
{
    BoardAccess a(std::move(token));
    a.setListening(QHostAddress(QString::fromLatin1(address)), port);
    return a;
}

const std::string kToken = "0123456789abcdef0123456789abcdef";

} // namespace

TEST(BoardAccess, HostHeaderMustNameTheBoard)
{
    const BoardAccess loop = board("127.0.0.1", 8023);
    const BoardAccess lab = board("10.1.2.3", 8023, kToken);
    const BoardAccess v6 = board("::1", 8023);
    struct Case
    {
        const BoardAccess& access;
        const char* host;
        bool named;
    } cases[] = {
        {loop, "127.0.0.1:8023", true},
        {loop, "localhost:8023", true},
        {loop, "LocalHost:8023", true},
        {loop, "127.0.0.1", true},          // no port: the name decides
        {loop, "127.0.0.1:8024", false},    // another port
        {loop, "evil.example:8023", false}, // a name that rebinds to us
        {loop, "127.0.0.2:8023", false},
        {loop, "", false},
        {loop, "127.0.0.1:80x", false},
        {lab, "10.1.2.3:8023", true},
        {lab, "localhost:8023", false}, // not the address it listens on
        {lab, "10.1.2.30:8023", false},
        {v6, "[::1]:8023", true},
        {v6, "[::1]", true},
        {v6, "[::2]:8023", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.access.hostNamesBoard(c.host), c.named) << c.host;
    }
    const QByteArray self = QHostInfo::localHostName().toUtf8();
    if (!self.isEmpty()) {
        EXPECT_TRUE(lab.hostNamesBoard(self + ":8023"));
        EXPECT_FALSE(lab.hostNamesBoard("x" + self + ":8023"));
    }
}

TEST(BoardAccess, TokenFromQueryCookieOrBearer)
{
    const BoardAccess lab = board("10.1.2.3", 8023, kToken);
    const QByteArray host = "10.1.2.3:8023";
    const QByteArray token = QByteArray::fromStdString(kToken);
    struct Case
    {
        BoardRequestHead head;
        BoardVerdict verdict;
    } cases[] = {
        {{host, {}, {}, {}}, BoardVerdict::NoToken},
        {{host, {}, {}, QString::fromStdString(kToken)}, BoardVerdict::Allow},
        {{host, {}, {}, QString::fromStdString(kToken + "x")}, BoardVerdict::NoToken},
        {{host, {}, {}, QString::fromStdString(kToken.substr(1))}, BoardVerdict::NoToken},
        {{host, "a=1; quizdesk_board=" + token + "; b=2", {}, {}}, BoardVerdict::Allow},
        {{host, "quizdesk_boardx=" + token, {}, {}}, BoardVerdict::NoToken},
        {{host, {}, "Bearer " + token, {}}, BoardVerdict::Allow},
        {{host, {}, "Basic " + token, {}}, BoardVerdict::NoToken},
        // The Host check comes first: a token does not open a rebinding.
        {{"evil.example:8023", {}, {}, QString::fromStdString(kToken)}, BoardVerdict::WrongHost},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(int(lab.judge(c.head)), int(c.verdict))
            << c.head.cookie.constData() << " " << c.head.authorization.constData() << " "
            << c.head.queryToken.toStdString();
    }
    // Without a token (loopback) only the Host is checked.
    EXPECT_EQ(int(board("127.0.0.1", 8023).judge({"127.0.0.1:8023", {}, {}, {}})),
              int(BoardVerdict::Allow));
    EXPECT_EQ(lab.url(), "http://10.1.2.3:8023/?token=" + kToken);
    EXPECT_EQ(board("::1", 8023).url(), "http://[::1]:8023/");
}

TEST(BoardAccess, TokenFileIsMadeOnceAndKeptPrivate)
{
    QTemporaryDir dir;
    const std::filesystem::path path =
        dir.filePath(QStringLiteral("exam.sqlite.board-token")).toStdString();
    auto made = boardToken(path);
    ASSERT_TRUE(made.ok()) << made.fault().message;
    EXPECT_EQ(made.value().size(), 64u);
    struct stat st
    {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    auto again = boardToken(path);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value(), made.value()); // the same token at every start

    ::chmod(path.c_str(), 0644);
    auto open = boardToken(path);
    ASSERT_FALSE(open.ok());
    EXPECT_NE(open.fault().message.find("chmod 600"), std::string::npos);

    const std::filesystem::path own = dir.filePath(QStringLiteral("mine")).toStdString();
    for (const char* text : {"short\n", "has a blank in it but long enough\n"}) {
        std::ofstream(own) << text;
        ::chmod(own.c_str(), 0600);
        EXPECT_FALSE(boardToken(own).ok()) << text;
    }
    std::ofstream(own) << "examiner-chose-this-token\n";
    auto chosen = boardToken(own);
    ASSERT_TRUE(chosen.ok());
    EXPECT_EQ(chosen.value(), "examiner-chose-this-token");

    EXPECT_EQ(defaultBoardTokenPath("/srv/exam.sqlite"), "/srv/exam.sqlite.board-token");
    EXPECT_EQ(defaultBoardTokenPath("postgresql://u@h/db"), "quizdesk-exam.board-token");
}
