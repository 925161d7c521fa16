#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qd {

// The exam server's TCP port: the one the clients always connect to, and
// the server listens on unless told otherwise.
inline constexpr uint16_t kExamPort = 1023;

// The record the client sends to the exam server: 163 bytes, packed,
// little-endian, texts in code page 1251 zero-terminated inside their
// fields. It is written and read byte by byte at the offsets below, never
// through a struct's memory layout.
//
// Registration (kind 0) and progress (kind 1) travel as bytes(): the 155
// bytes of fields, their Crc32, the trailer. The final message (kind 2)
// carries the results report between the fields and the checksum:
// finalMessage(report), 163 + report length bytes.
struct ExamMessage
{
    static constexpr int kLength = 163;
    static constexpr int kHeader = 155; // everything the checksum covers
    static constexpr uint32_t kTrailer = 0x5A17C3E9;

    static constexpr int kHostNameAt = 0;
    static constexpr int kHostNameSize = 64;
    static constexpr int kStudentNameAt = 64;
    static constexpr int kStudentNameSize = 50;
    static constexpr int kKindAt = 114;
    static constexpr int kAnsweredCountAt = 116;
    static constexpr int kLastRightAt = 118;
    static constexpr int kScoreValueAt = 119;
    static constexpr int kGradeTextAt = 123;
    static constexpr int kGradeTextSize = 32;
    static constexpr int kCrcAt = 155;
    static constexpr int kTrailerAt = 159;

    enum Kind : int16_t { Registration = 0, Progress = 1, Final = 2 };

    // Texts in code page 1251. A text longer than its field less the
    // terminator is cut; the rest of a field is zero.
    std::string hostName;
    std::string studentName;
    int16_t kind = Registration;
    int16_t answeredCount = 0;
    uint8_t lastRight = 0;
    float scoreValue = 0.0f; // points so far; the percentage in the final one
    std::string gradeText;

    // The 155 bytes of fields.
    std::string header() const;
    // Registration or progress: header, its Crc32, the trailer.
    std::string bytes() const;
    // The final message: header, the report's bytes, the Crc32 of both, the
    // trailer.
    std::string finalMessage(std::string_view report) const;

    // The fields of a received message (at least kHeader bytes; a shorter
    // one reads as zeros where it ends). Texts end at their first zero byte.
    static ExamMessage fromHeader(std::string_view bytes);
};

} // namespace qd
