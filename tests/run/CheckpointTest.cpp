// The checkpoint file's format: what is written reads back the same, and
// every way a file can be cut, damaged or edited is refused with its
// reason. (The resumed run itself is tests/scripts/resume.sh.)

#include "definition/Cp1251.h"
#include "run/Checkpoint.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>

#include <string>

namespace {

qd::Checkpoint sample()
{
    qd::Checkpoint c;
    c.testId = std::string(64, 'a');
    c.studentName = qd::toCp1251("Петренко П.І.");
    c.examMode = true;
    c.seed = 4294967295u;
    c.askingOrder = {2, 0, 1};
    c.optionOrders = {{1, 0}, {}, {2, 0, 1}};
    c.answers = {{3, 0.1f, false}, {1, 2.0f, true}};
    c.finishedCount = 2;
    c.score = 0.1f + 2.0f;
    c.maxScore = 4;
    c.wrongQuestions = {3};
    c.openQuestion = 1;
    c.questionUsedMs = 4999;
    c.testUsedMs = 65000;
    c.writtenAtMs = 1796637909123;
    c.reportName = qd::fromCp1251(qd::toCp1251("ПетренкоП_I_.txt"));
    c.reportText = std::string("\xc4\xe0\xf2\xe0:\r\n\0\xff", 9);
    c.registered = true;
    c.acknowledged = true;
    c.resumeCount = 2;
    return c;
}

// A file with `body` behind a first line that tells its true length and sum.
std::string signedFile(const std::string& body)
{
    const QByteArray sum =
        QCryptographicHash::hash(QByteArray::fromStdString(body), QCryptographicHash::Sha256)
            .toHex();
    return "QuizDesk checkpoint 1 " + std::to_string(body.size()) + ' ' + sum.toStdString() + '\n' +
           body;
}

std::string replaced(std::string s, const std::string& from, const std::string& to)
{
    const std::size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
}

} // namespace

TEST(Checkpoint, ReadsBackWhatWasWritten)
{
    const qd::Checkpoint c = sample();
    const auto decoded = qd::decodeCheckpoint(qd::encodeCheckpoint(c));
    ASSERT_TRUE(std::holds_alternative<qd::Checkpoint>(decoded))
        << std::get<qd::CheckpointRefusal>(decoded).message;
    const qd::Checkpoint& d = std::get<qd::Checkpoint>(decoded);
    EXPECT_EQ(d.studentName, c.studentName);
    EXPECT_EQ(d.seed, c.seed);
    EXPECT_EQ(d.askingOrder, c.askingOrder);
    EXPECT_EQ(d.optionOrders, c.optionOrders);
    ASSERT_EQ(d.answers.size(), 2u);
    EXPECT_EQ(d.answers[0].points, 0.1f);
    EXPECT_FALSE(d.answers[0].right);
    EXPECT_EQ(d.score, c.score);
    EXPECT_EQ(d.wrongQuestions, c.wrongQuestions);
    EXPECT_EQ(d.openQuestion, 1);
    EXPECT_EQ(d.questionUsedMs, 4999u);
    EXPECT_EQ(d.testUsedMs, 65000u);
    EXPECT_EQ(d.writtenAtMs, c.writtenAtMs);
    EXPECT_EQ(d.reportName, c.reportName);
    EXPECT_EQ(d.reportText, c.reportText);
    EXPECT_TRUE(d.registered);
    EXPECT_TRUE(d.acknowledged);
    EXPECT_EQ(d.resumeCount, 2);
}

TEST(Checkpoint, RefusesWhatWasCutDamagedOrEdited)
{
    using P = qd::CheckpointProblem;
    const std::string file = qd::encodeCheckpoint(sample());
    const std::string body = file.substr(file.find('\n') + 1);
    std::string flipped = file;
    flipped[file.size() / 2] ^= 0x01;
    const struct
    {
        const char* what;
        std::string bytes;
        P problem;
    } cases[] = {
        {"empty", "", P::Truncated},
        {"cut in the first line", file.substr(0, 30), P::Truncated},
        {"cut in the body", file.substr(0, file.size() - 1), P::Truncated},
        {"a byte flipped", flipped, P::Damaged},
        {"a byte more", file + " ", P::Damaged},
        {"another format", replaced(file, "checkpoint 1 ", "checkpoint 2 "), P::Damaged},
        {"not a checkpoint", std::string(200, 'x'), P::Damaged},
        // Edited and signed anew: the fields themselves must still hold.
        {"not JSON", signedFile("{\"test\":"), P::Damaged},
        {"a field missing", signedFile(replaced(body, "\"exam\":true,", "")), P::Damaged},
        {"a count that does not add up",
         signedFile(replaced(body, "\"finished\":2", "\"finished\":1")), P::Damaged},
        {"an open question that is not next",
         signedFile(replaced(body, "\"openQuestion\":1", "\"openQuestion\":2")), P::Damaged},
        {"a report elsewhere", signedFile(replaced(body, "\"report\":\"", "\"report\":\"../")),
         P::Damaged},
        {"a seed out of range", signedFile(replaced(body, "4294967295", "4294967296")), P::Damaged},
        {"a fraction for a count", signedFile(replaced(body, "\"unasked\":0", "\"unasked\":0.5")),
         P::Damaged},
        {"a report of another length",
         signedFile(replaced(body, "\"reportLength\":9", "\"reportLength\":8")), P::Damaged},
        {"a name not in base64",
         signedFile(replaced(body, "\"studentBytes\":\"", "\"studentBytes\":\"*")), P::Damaged},
    };
    for (const auto& c : cases) {
        const auto decoded = qd::decodeCheckpoint(c.bytes);
        const auto* refused = std::get_if<qd::CheckpointRefusal>(&decoded);
        ASSERT_NE(refused, nullptr) << c.what;
        EXPECT_EQ(refused->problem, c.problem) << c.what;
        EXPECT_EQ(refused->message, qd::refusal(c.problem).message) << c.what;
    }
    // The signing itself is sound: the body unchanged reads.
    EXPECT_TRUE(std::holds_alternative<qd::Checkpoint>(qd::decodeCheckpoint(signedFile(body))));
}

TEST(Checkpoint, TellsTestsAndVersionsApart)
{
    qd::TestModel a;
    a.questionsText = "ab";
    a.answersText = "c";
    qd::TestModel b = a;
    EXPECT_EQ(qd::testIdentity(a), qd::testIdentity(b));
    b.answersText = "c ";
    EXPECT_NE(qd::testIdentity(a), qd::testIdentity(b));
    // A byte moved from one file to the other is another test too.
    b.questionsText = "a";
    b.answersText = "bc";
    EXPECT_NE(qd::testIdentity(a), qd::testIdentity(b));
    EXPECT_EQ(qd::testIdentity(a).size(), 64u);
}
