#include "exam/MessageFramer.h"

#include "exam/Crc32.h"

#include <algorithm>
#include <cstring>

namespace qd {

namespace {

constexpr char kTrailerBytes[4] = {
    char(ExamMessage::kTrailer & 0xFF), char((ExamMessage::kTrailer >> 8) & 0xFF),
    char((ExamMessage::kTrailer >> 16) & 0xFF), char(ExamMessage::kTrailer >> 24)};
constexpr std::string_view kTrailer(kTrailerBytes, 4);

int16_t kindOf(std::string_view message)
{
    return int16_t(uint16_t(uint8_t(message[ExamMessage::kKindAt]) |
                            (uint8_t(message[ExamMessage::kKindAt + 1]) << 8)));
}

// 163 bytes whose checksum and trailer are as the client writes them.
bool checks(std::string_view message)
{
    return message.substr(ExamMessage::kTrailerAt, 4) == kTrailer &&
           Crc32(message.substr(0, ExamMessage::kTrailerAt)) == 0;
}

} // namespace

std::size_t MessageFramer::append(std::string_view bytes)
{
    // What was handed out makes room once it is a good part of the buffer,
    // so a stream of small messages is not moved byte by byte.
    if (m_start > 0 && (m_start >= 65536 || m_start * 2 >= m_buf.size())) {
        m_buf.erase(0, m_start);
        m_start = 0;
    }
    const std::size_t n = std::min(bytes.size(), room());
    m_buf.append(bytes.substr(0, n));
    return n;
}

std::optional<int16_t> MessageFramer::pendingKind() const
{
    if (pending() < std::size_t(ExamMessage::kKindAt + 2)) {
        return std::nullopt;
    }
    return kindOf(pendingBytes());
}

void MessageFramer::consume(std::size_t n)
{
    m_start += n;
    m_crc = 0;
    m_crcLength = 0;
    m_searchFrom = 0;
    if (m_start == m_buf.size()) {
        m_buf.clear();
        m_start = 0;
    }
}

std::optional<std::size_t> MessageFramer::finalEnd()
{
    const std::string_view msg = pendingBytes();
    if (m_crcLength == 0 && m_searchFrom == 0) {
        m_crc = kCrc32Start;
        m_searchFrom = ExamMessage::kTrailerAt; // the shortest: no report
    }
    while (true) {
        const std::size_t at = msg.find(kTrailer, m_searchFrom);
        if (at == std::string_view::npos) {
            // A trailer may begin in the last three bytes: look there again.
            m_searchFrom = std::max(m_searchFrom, msg.size() >= 3 ? msg.size() - 3 : 0);
            return std::nullopt;
        }
        m_crc = Crc32Update(m_crc, msg.data() + m_crcLength, at - m_crcLength);
        m_crcLength = at;
        m_searchFrom = at + 1;
        if (m_crc == 0) {
            return at + 4;
        }
    }
}

std::optional<MessageFramer::Frame> MessageFramer::next()
{
    if (m_failed || pending() < std::size_t(ExamMessage::kLength)) {
        if (!m_failed && pending() == kCapacity) {
            m_failed = true;
            return Frame{Frame::TooLong, {}, {}, 0};
        }
        return std::nullopt;
    }
    const std::string_view msg = pendingBytes();
    const int16_t kind = kindOf(msg);
    Frame f;
    if (kind == ExamMessage::Final) {
        const auto end = finalEnd();
        if (!end) {
            if (pending() == kCapacity) {
                m_failed = true;
                f.type = Frame::TooLong;
                return f;
            }
            return std::nullopt;
        }
        f.length = *end;
        f.fields = ExamMessage::fromHeader(msg.substr(0, ExamMessage::kHeader));
        f.report = std::string(msg.substr(ExamMessage::kHeader, *end - ExamMessage::kLength));
    } else {
        const std::string_view record = msg.substr(0, ExamMessage::kLength);
        f.length = ExamMessage::kLength;
        if (!checks(record)) {
            f.type = Frame::Damaged;
        } else {
            f.fields = ExamMessage::fromHeader(record);
            if (kind != ExamMessage::Registration && kind != ExamMessage::Progress) {
                f.type = Frame::ForeignKind;
            }
        }
    }
    consume(f.length);
    if (f.type == Frame::Damaged) {
        if (++m_damagedInARow >= kMaxDamagedInARow) {
            f.type = Frame::TooManyDamaged;
        }
    } else {
        m_damagedInARow = 0;
    }
    if (f.givesUp()) {
        m_failed = true;
    }
    return f;
}

} // namespace qd
