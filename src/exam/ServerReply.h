#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qd {

// The exam server's answer to every message: 7 bytes, little-endian.
// `accepted` 0 asks for the last message again; otherwise `code` is the
// verdict: 0 or more admits the student, -1 no permission, -2 not in the
// server's database, -3 a test of this student is already in progress;
// codes below -3 mean nothing. `crc` is the Crc32 of the first three bytes,
// so that the Crc32 of all seven is 0.
struct ServerReply
{
    static constexpr int kSize = 7;

    uint8_t accepted = 0;
    int16_t code = 0;
    uint32_t crc = 0;

    // Reads the first kSize bytes of `record` (which must hold them).
    static ServerReply parse(std::string_view record);
    // A reply with its checksum, as the server sends it.
    static std::string encode(uint8_t accepted, int16_t code);
};

// What the client does about one reply. The caller carries it out in this
// order: resend the last message; drop the link (with the refusal and
// whether it refuses the student altogether); show `message`.
struct ReplyAction
{
    bool badChecksum = false; // the reply did not check: nothing else applies
    bool resend = false;      // send the last message again
    bool permit = false;      // set examPermitted
    bool goToBegin = false;   // drop the link, title page usable again
    bool untickExamBox = false;
    int refusedCode = 0; // -1, -2 or -3 for a refusal, else 0
    std::string message; // non-fatal message box (code page 1251); empty: none
};

// The handling of one 7-byte reply record. `studentName` (code page 1251)
// names the student in the message of a test already in progress.
ReplyAction handleReply(std::string_view record, std::string_view studentName);

} // namespace qd
