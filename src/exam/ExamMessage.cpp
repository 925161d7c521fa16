#include "exam/ExamMessage.h"

#include "exam/Crc32.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace qd {

namespace {

void put16(std::string& out, int at, uint16_t v)
{
    out[std::size_t(at)] = char(v & 0xFF);
    out[std::size_t(at) + 1] = char(v >> 8);
}

void put32(std::string& out, int at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        out[std::size_t(at + i)] = char((v >> (8 * i)) & 0xFF);
    }
}

void putText(std::string& out, int at, int size, std::string_view text)
{
    // Only what stands before a zero byte is text; one byte stays for the
    // terminator. The field was zeroed, so nothing of an older text remains.
    text = text.substr(0, std::min(text.find('\0'), std::size_t(size - 1)));
    std::memcpy(out.data() + at, text.data(), text.size());
}

void appendCrcAndTrailer(std::string& out)
{
    const std::size_t at = out.size();
    out.resize(at + 8, '\0');
    put32(out, int(at), Crc32(out.data(), at));
    put32(out, int(at) + 4, ExamMessage::kTrailer);
}

uint8_t byteAt(std::string_view in, int at)
{
    return std::size_t(at) < in.size() ? uint8_t(in[std::size_t(at)]) : 0;
}

uint32_t get32(std::string_view in, int at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | byteAt(in, at + i);
    }
    return v;
}

int16_t get16(std::string_view in, int at)
{
    return int16_t(uint16_t(byteAt(in, at) | (byteAt(in, at + 1) << 8)));
}

std::string getText(std::string_view in, int at, int size)
{
    if (std::size_t(at) >= in.size()) {
        return {};
    }
    const std::string_view field = in.substr(std::size_t(at), std::size_t(size));
    return std::string(field.substr(0, field.find('\0')));
}

} // namespace

std::string ExamMessage::header() const
{
    std::string out(kHeader, '\0');
    putText(out, kHostNameAt, kHostNameSize, hostName);
    putText(out, kStudentNameAt, kStudentNameSize, studentName);
    put16(out, kKindAt, uint16_t(kind));
    put16(out, kAnsweredCountAt, uint16_t(answeredCount));
    out[kLastRightAt] = char(lastRight);
    put32(out, kScoreValueAt, std::bit_cast<uint32_t>(scoreValue));
    putText(out, kGradeTextAt, kGradeTextSize, gradeText);
    return out;
}

std::string ExamMessage::bytes() const
{
    std::string out = header();
    appendCrcAndTrailer(out);
    return out;
}

std::string ExamMessage::finalMessage(std::string_view report) const
{
    std::string out = header();
    out.reserve(out.size() + report.size() + 8);
    out.append(report);
    appendCrcAndTrailer(out);
    return out;
}

ExamMessage ExamMessage::fromHeader(std::string_view bytes)
{
    ExamMessage m;
    m.hostName = getText(bytes, kHostNameAt, kHostNameSize);
    m.studentName = getText(bytes, kStudentNameAt, kStudentNameSize);
    m.kind = get16(bytes, kKindAt);
    m.answeredCount = get16(bytes, kAnsweredCountAt);
    m.lastRight = byteAt(bytes, kLastRightAt);
    m.scoreValue = std::bit_cast<float>(get32(bytes, kScoreValueAt));
    m.gradeText = getText(bytes, kGradeTextAt, kGradeTextSize);
    return m;
}

} // namespace qd
