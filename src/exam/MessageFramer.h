#pragma once

#include "exam/ExamMessage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qd {

// The exam server's side of the client's byte stream: TCP keeps no message
// boundaries, so received bytes are collected here and handed out as whole
// messages, however they were split across reads.
//
// Registration (kind 0) and progress (kind 1) are 163 bytes. The final
// message (kind 2) carries no length: it ends at the first trailer whose
// preceding four bytes make the Crc32 of everything before the trailer 0.
// The report inside it may hold the trailer's bytes; only the checksum tells
// the real end, and it is carried along as bytes arrive, so a long final
// message costs one pass however it is split.
//
// Bounded: at most kCapacity bytes are held; a peer that sends that much
// without completing a message is given up (TooLong). After a frame that
// gives the peer up nothing more is framed.
class MessageFramer
{
public:
    static constexpr std::size_t kCapacity = 1u << 20; // 1 MiB
    static constexpr int kMaxDamagedInARow = 10;

    struct Frame
    {
        enum Type {
            Message,        // a message that checks: fields (and a final one's report)
            Damaged,        // 163 bytes that do not check: answer "accepted 0"
            ForeignKind,    // a message that checks but of no known kind: give up
            TooManyDamaged, // kMaxDamagedInARow damaged messages in a row: give up
            TooLong,        // kCapacity bytes without a whole message: give up
        };
        Type type = Message;
        ExamMessage fields;     // Message (and ForeignKind): the 155 bytes of fields
        std::string report;     // a final message's report bytes
        std::size_t length = 0; // bytes the frame took from the stream

        bool givesUp() const
        {
            return type == ForeignKind || type == TooManyDamaged || type == TooLong;
        }
    };

    // Bytes that may be appended now.
    std::size_t room() const { return m_failed ? 0 : kCapacity - pending(); }
    // Appends at most room() bytes; returns how many it took.
    std::size_t append(std::string_view bytes);
    // The next frame, oldest first; nullopt while the next message is
    // incomplete (or after a frame that gave up).
    std::optional<Frame> next();

    std::size_t pending() const { return m_buf.size() - m_start; }
    // The bytes of the incomplete message (kept with an incident when a
    // connection ends in the middle of one).
    std::string_view pendingBytes() const { return std::string_view(m_buf).substr(m_start); }
    // The kind field of the incomplete message, when that much has come.
    std::optional<int16_t> pendingKind() const;
    bool failed() const { return m_failed; }

private:
    void consume(std::size_t n);
    std::optional<std::size_t> finalEnd();

    std::string m_buf;
    std::size_t m_start = 0;
    // The search for a final message's end: the Crc32 register over the
    // message's first m_crcLength bytes, and where the trailer search goes on.
    uint32_t m_crc = 0;
    std::size_t m_crcLength = 0;
    std::size_t m_searchFrom = 0;
    int m_damagedInARow = 0;
    bool m_failed = false;
};

} // namespace qd
