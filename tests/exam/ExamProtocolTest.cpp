#include "definition/Cp1251.h"
#include "exam/Crc32.h"
#include "exam/ExamMessage.h"
#include "exam/ReplyFramer.h"
#include "exam/ServerReply.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace qd;

namespace {

std::string bytes(std::initializer_list<int> b)
{
    std::string s;
    for (int v : b) {
        s.push_back(char(v));
    }
    return s;
}

uint32_t le32(const std::string& s, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | uint8_t(s[at + std::size_t(i)]);
    }
    return v;
}

const std::string kTrailerBytes = bytes({0xE9, 0xC3, 0x17, 0x5A});

} // namespace

TEST(Crc32, IsJamcrcAndChecksToZeroWithItsValueAppended)
{
    EXPECT_EQ(Crc32("123456789"), 0x340BC6D9u);
    EXPECT_EQ(Crc32(""), 0xFFFFFFFFu);
    std::string data = "123456789";
    data += bytes({0xD9, 0xC6, 0x0B, 0x34});
    EXPECT_EQ(Crc32(data), 0u);
}

TEST(ExamMessage, RegistrationIsByteForByte)
{
    ExamMessage m;
    m.hostName = "lab-pc-07";
    m.studentName = toCp1251("Петренко П.І.");
    const std::string wire = m.bytes();
    ASSERT_EQ(wire.size(), 163u);

    std::string expect(155, '\0');
    std::memcpy(expect.data(), "lab-pc-07", 9);
    // П е т р е н к о   П . І . in code page 1251
    const std::string name =
        bytes({0xCF, 0xE5, 0xF2, 0xF0, 0xE5, 0xED, 0xEA, 0xEE, 0x20, 0xCF, 0x2E, 0xB2, 0x2E});
    std::memcpy(expect.data() + 64, name.data(), name.size());
    EXPECT_EQ(wire.substr(0, 155), expect); // zeros after each text and in 114..154
    EXPECT_EQ(le32(wire, 155), Crc32(expect));
    EXPECT_EQ(wire.substr(159), kTrailerBytes);
}

TEST(ExamMessage, FieldsSitAtTheirOffsetsLittleEndian)
{
    ExamMessage m;
    m.kind = ExamMessage::Progress;
    m.answeredCount = 0x0102;
    m.lastRight = 1;
    m.scoreValue = 2.5f; // 0x40200000
    m.gradeText = toCp1251("Добре");
    const std::string wire = m.bytes();
    EXPECT_EQ(wire.substr(114, 9), bytes({0x01, 0x00, 0x02, 0x01, 0x01, 0x00, 0x00, 0x20, 0x40}));
    EXPECT_EQ(wire.substr(123, 6), toCp1251("Добре") + '\0');

    const ExamMessage back = ExamMessage::fromHeader(wire);
    EXPECT_EQ(back.kind, 1);
    EXPECT_EQ(back.answeredCount, 0x0102);
    EXPECT_EQ(back.lastRight, 1);
    EXPECT_EQ(back.scoreValue, 2.5f);
    EXPECT_EQ(back.gradeText, toCp1251("Добре"));
}

TEST(ExamMessage, TextsAreCutToTheirFieldsAndLeaveNoOlderTail)
{
    ExamMessage m;
    m.hostName = std::string(100, 'h');
    m.studentName = std::string(60, 'n');
    m.gradeText = std::string(40, 'g');
    std::string wire = m.bytes();
    EXPECT_EQ(wire.substr(0, 64), std::string(63, 'h') + '\0');
    EXPECT_EQ(wire.substr(64, 50), std::string(49, 'n') + '\0');
    EXPECT_EQ(wire.substr(123, 32), std::string(31, 'g') + '\0');

    m.studentName = "Ivanov";
    wire = m.bytes();
    EXPECT_EQ(wire.substr(64, 50), "Ivanov" + std::string(44, '\0'));
}

TEST(ExamMessage, FinalMessageCarriesTheReport)
{
    ExamMessage m;
    m.hostName = "pc";
    m.studentName = "Ivanov";
    m.kind = ExamMessage::Final;
    m.scoreValue = 75.0f;
    m.gradeText = toCp1251("Добре");
    std::string report(1000, '\0');
    for (std::size_t i = 0; i < report.size(); ++i) {
        report[i] = char(i * 7 + 3);
    }
    const std::string wire = m.finalMessage(report);
    ASSERT_EQ(wire.size(), 1163u);
    EXPECT_EQ(wire.substr(0, 155), m.header());
    EXPECT_EQ(wire.substr(155, 1000), report);
    EXPECT_EQ(le32(wire, 1155), Crc32(wire.substr(0, 1155)));
    EXPECT_EQ(Crc32(wire.substr(0, 1159)), 0u);
    EXPECT_EQ(wire.substr(1159), kTrailerBytes);

    // Without a report the final message is as long as any other.
    const std::string empty = m.finalMessage({});
    ASSERT_EQ(empty.size(), 163u);
    EXPECT_EQ(empty, m.bytes());
}

TEST(ServerReply, VectorsOfTheProtocol)
{
    const std::string name = toCp1251("Петренко П.І.");
    struct Case
    {
        std::string record;
        bool permit, resend, goToBegin, untick;
        int refused;
        std::string message;
    };
    const std::vector<Case> cases = {
        {bytes({0x01, 0x00, 0x00, 0xDA, 0x4C, 0x7C, 0x01}), true, false, false, false, 0, ""},
        {bytes({0x01, 0xFE, 0xFF, 0x64, 0x6F, 0x41, 0xA6}), false, false, true, false, -2,
         "Ваші дані відсутні в БД!\nПеревірте правильність написання прізвища та ініціалів.\n"},
        {bytes({0x01, 0xFF, 0xFF, 0x25, 0x5E, 0x5A, 0xBF}), false, false, true, true, -1,
         "У Вас немає дозволу на проходження\nекзаменаційного тестування!\n"},
        {bytes({0x01, 0xFD, 0xFF, 0xA7, 0x3C, 0x6C, 0x8D}), false, false, true, true, -3,
         "Тестування студента Петренко П.І. вже проводиться!\n"},
        {bytes({0x00, 0x00, 0x00, 0xED, 0x26, 0xBE, 0x00}), false, true, false, false, 0, ""},
        {ServerReply::encode(1, 7), true, false, false, false, 0, ""},
        {ServerReply::encode(1, -4), false, false, false, false, 0, ""},
        {ServerReply::encode(1, -32768), false, false, false, false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message + " code " + std::to_string(ServerReply::parse(c.record).code));
        const ReplyAction a = handleReply(c.record, name);
        EXPECT_FALSE(a.badChecksum);
        EXPECT_EQ(a.permit, c.permit);
        EXPECT_EQ(a.resend, c.resend);
        EXPECT_EQ(a.goToBegin, c.goToBegin);
        EXPECT_EQ(a.untickExamBox, c.untick);
        EXPECT_EQ(a.refusedCode, c.refused);
        EXPECT_EQ(a.message, toCp1251(c.message));
    }
    EXPECT_EQ(ServerReply::encode(1, -3), cases[3].record);
    EXPECT_EQ(ServerReply::encode(0, 0), cases[4].record);
}

TEST(ServerReply, AnyFlippedBitIsAFaultyReplyThatRepeatsTheMessage)
{
    const std::string grant = ServerReply::encode(1, 0);
    for (int bit = 0; bit < 56; ++bit) {
        std::string r = grant;
        r[std::size_t(bit / 8)] = char(r[std::size_t(bit / 8)] ^ (1 << (bit % 8)));
        const ReplyAction a = handleReply(r, "x");
        EXPECT_TRUE(a.badChecksum) << bit;
        EXPECT_TRUE(a.resend) << bit;
        EXPECT_FALSE(a.permit || a.goToBegin) << bit;
        EXPECT_EQ(a.message, toCp1251("Сбойное сообщение от программы проведения экзамена!\n"));
    }
}

TEST(ServerReply, NameInTheMessageIsTakenLiterally)
{
    const ReplyAction a = handleReply(ServerReply::encode(1, -3), "%s%n%d");
    EXPECT_EQ(a.message, toCp1251("Тестування студента %s%n%d вже проводиться!\n"));
}

TEST(ReplyFramer, JoinsSplitRepliesAndSplitsJoinedOnes)
{
    const std::string a = ServerReply::encode(0, 0);
    const std::string b = ServerReply::encode(1, 0);
    ReplyFramer f;
    f.append(a.substr(0, 3));
    EXPECT_FALSE(f.next());
    f.append(a.substr(3) + b + b.substr(0, 2));
    EXPECT_EQ(f.next(), a);
    EXPECT_EQ(f.next(), b);
    EXPECT_FALSE(f.next());
    EXPECT_EQ(f.pending(), 2u);
    f.append(b.substr(2));
    EXPECT_EQ(f.next(), b);
    EXPECT_EQ(f.pending(), 0u);
}

TEST(ReplyFramer, NeverHoldsMoreThanItsCapacity)
{
    ReplyFramer f;
    const std::string flood(5000, 'x');
    EXPECT_EQ(f.append(flood), ReplyFramer::kCapacity);
    EXPECT_EQ(f.room(), 0u);
    EXPECT_EQ(f.append(flood), 0u);
    int records = 0;
    while (f.next()) {
        ++records;
    }
    EXPECT_EQ(records, int(ReplyFramer::kCapacity / 7));
    EXPECT_EQ(f.pending(), ReplyFramer::kCapacity % 7);
    f.clear();
    EXPECT_EQ(f.room(), ReplyFramer::kCapacity);
}
