#include "definition/Cp1251.h"
#include "exam/Crc32.h"
#include "exam/ExamMessage.h"
#include "exam/MessageFramer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qd;

namespace {

ExamMessage message(int16_t kind, const char* name = "Bondar T.")
{
    ExamMessage m;
    m.hostName = "lab-07";
    m.studentName = toCp1251(name);
    m.kind = kind;
    m.answeredCount = 3;
    return m;
}

const std::string kTrailer = "\xE9\xC3\x17\x5A";

// Every frame of `stream` fed in pieces of `piece` bytes.
std::vector<MessageFramer::Frame> frames(const std::string& stream, std::size_t piece)
{
    MessageFramer f;
    std::vector<MessageFramer::Frame> out;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        std::string_view rest = std::string_view(stream).substr(at, piece);
        while (!rest.empty()) {
            const std::size_t took = f.append(rest);
            rest.remove_prefix(took);
            while (auto fr = f.next()) {
                out.push_back(std::move(*fr));
            }
            if (took == 0) {
                return out;
            }
        }
    }
    return out;
}

} // namespace

TEST(Crc32Update, CarriesTheRegisterAcrossPieces)
{
    const std::string data = "123456789 and then some more bytes";
    for (std::size_t cut = 0; cut <= data.size(); ++cut) {
        const uint32_t first = Crc32Update(kCrc32Start, data.data(), cut);
        EXPECT_EQ(Crc32Update(first, data.data() + cut, data.size() - cut), Crc32(data));
    }
}

TEST(MessageFramer, EveryMessageComesWholeHoweverTheStreamIsSplit)
{
    // A report holding the trailer's bytes, even behind four bytes that look
    // like a checksum: only the checksum that makes the prefix 0 ends it.
    std::string report = toCp1251("Прізвище та ім'я: Бондар Т.\n");
    report += "xxxx" + kTrailer + "tail" + kTrailer + "\n";
    const std::string stream = message(ExamMessage::Registration).bytes() +
                               message(ExamMessage::Progress).bytes() +
                               message(ExamMessage::Final).finalMessage(report) +
                               message(ExamMessage::Final).bytes() + // a final one without report
                               message(ExamMessage::Registration, "Koval I.").bytes();
    for (std::size_t piece : {std::size_t(1), std::size_t(7), std::size_t(162), std::size_t(163),
                              std::size_t(164), stream.size()}) {
        SCOPED_TRACE(piece);
        const auto got = frames(stream, piece);
        ASSERT_EQ(got.size(), 5u);
        for (const auto& f : got) {
            EXPECT_EQ(f.type, MessageFramer::Frame::Message);
        }
        EXPECT_EQ(got[0].fields.kind, ExamMessage::Registration);
        EXPECT_EQ(got[1].fields.kind, ExamMessage::Progress);
        EXPECT_EQ(got[1].fields.answeredCount, 3);
        EXPECT_EQ(got[2].fields.kind, ExamMessage::Final);
        EXPECT_EQ(got[2].report, report);
        EXPECT_EQ(got[2].length, report.size() + 163);
        EXPECT_EQ(got[3].fields.kind, ExamMessage::Final);
        EXPECT_EQ(got[3].report, "");
        EXPECT_EQ(got[4].fields.studentName, "Koval I.");
    }
}

TEST(MessageFramer, DamagedMessagesAreAskedAgainUntilTenInARow)
{
    std::string bad = message(ExamMessage::Progress).bytes();
    bad[70] = char(bad[70] ^ 0x04);
    std::string badTrailer = message(ExamMessage::Progress).bytes();
    badTrailer[162] = 0;
    const std::string good = message(ExamMessage::Progress).bytes();

    // Nine damaged, a good one (the count starts again), nine more: no drop.
    std::string stream;
    for (int i = 0; i < 9; ++i) {
        stream += i % 2 ? bad : badTrailer;
    }
    stream += good;
    for (int i = 0; i < 9; ++i) {
        stream += bad;
    }
    auto got = frames(stream, 100);
    ASSERT_EQ(got.size(), 19u);
    EXPECT_EQ(got[8].type, MessageFramer::Frame::Damaged);
    EXPECT_EQ(got[9].type, MessageFramer::Frame::Message);
    EXPECT_EQ(got[18].type, MessageFramer::Frame::Damaged);

    // The tenth in a row gives the peer up; nothing after it is framed.
    got = frames(stream + bad + good, 163);
    ASSERT_EQ(got.size(), 20u);
    EXPECT_EQ(got[19].type, MessageFramer::Frame::TooManyDamaged);
}

TEST(MessageFramer, AMessageOfAForeignKindGivesThePeerUp)
{
    const auto got = frames(message(7).bytes() + message(ExamMessage::Progress).bytes(), 500);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, MessageFramer::Frame::ForeignKind);
    // The same bytes damaged are only asked again: they may be a progress
    // message with a flipped bit.
    std::string bad = message(7).bytes();
    bad[0] = 'X';
    const auto again = frames(bad, 500);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].type, MessageFramer::Frame::Damaged);
}

TEST(MessageFramer, AFinalMessageThatNeverEndsIsBoundedAndKept)
{
    MessageFramer f;
    std::string head = message(ExamMessage::Final).header() + std::string(1000, 'r');
    ASSERT_EQ(f.append(head), head.size());
    EXPECT_FALSE(f.next());
    EXPECT_EQ(f.pendingBytes(), head);
    ASSERT_TRUE(f.pendingKind());
    EXPECT_EQ(*f.pendingKind(), ExamMessage::Final);

    const std::string chunk(64 * 1024, 'r');
    std::size_t taken = head.size();
    for (int i = 0; i < 100 && f.room() > 0; ++i) {
        taken += f.append(chunk);
        EXPECT_FALSE(f.failed());
        if (f.room() > 0) {
            EXPECT_FALSE(f.next());
        }
    }
    EXPECT_EQ(taken, MessageFramer::kCapacity);
    const auto last = f.next();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->type, MessageFramer::Frame::TooLong);
    EXPECT_TRUE(f.failed());
    EXPECT_EQ(f.append("more"), 0u);
}

TEST(MessageFramer, AFinalMessageOfAlmostTheWholeCapacityPasses)
{
    const std::string report(MessageFramer::kCapacity - 163, 'q');
    const auto got = frames(message(ExamMessage::Final).finalMessage(report), 4096);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, MessageFramer::Frame::Message);
    EXPECT_EQ(got[0].report.size(), report.size());
}
