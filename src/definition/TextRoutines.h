#pragma once

#include "definition/Fault.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qd {

// Text routines of both parsers, the typed-answer scoring and the report.
// Every routine works on code page 1251 bytes held in a view that carries
// the buffer's end: decoded buffers are not NUL-terminated, and no search or
// number conversion ever reads past the view.

// Expands tabs to blanks with tab stops every 6 columns (the column counts
// bytes since the last line feed).
std::string expandTabs(std::string_view text);

// Offset of the first occurrence of `key` lying wholly within the first
// `len` bytes of `data` (clipped to the view), or -1. An empty key is found
// at 0 (when len > 0).
int findWithin(std::string_view data, std::string_view key, int len);

// Searches `key` in buf[from .. limit] (limit inclusive, clipped to the
// buffer) and returns the offset just behind it, or -1.
int findBehind(std::string_view buf, int from, std::string_view key, int limit);

// A decimal integer as atoi reads it: white space (CR, LF included) skipped,
// optional sign, digits up to the first non-digit, no digits gives 0. A value
// too large for 32 bits saturates. `digits` tells whether any digit was read.
int32_t readInt(std::string_view text, bool* digits = nullptr);

// `copy` of kind 0: finds `key` in buf[from .. limit], reads the integer
// behind it into `out` and returns the offset behind the key; -1 (out left
// as it was) when the key is missing.
int copyInt(std::string_view buf, int from, std::string_view key, int limit, int32_t& out);

// Reads comma-separated integers. Commas are searched in the first `span`
// bytes; the number after the last comma is read wherever it ends (within
// the view). Returns the count, -1 when more than `max` numbers are given,
// -2 when a number is missing. `out` has room for `max` entries.
constexpr int32_t kNumberMarker = int32_t(0xEFEFEFEF);
int readNumbers(std::string_view text, int span, int max, int32_t* out);

// True when the `count` values are pairwise different.
bool allDifferent(const int32_t* values, int count);

// True when text[from .. to] holds only blanks, CR and LF (an empty range
// counts as blank).
bool isBlank(std::string_view text, int from, int to);

// The rest of the line at the start of `src` (the bytes before its CR LF;
// nothing when no line feed stands within 255 bytes or it is the first
// byte), blanks removed, into `dst`. A line of 128 bytes or more is refused
// with removeBlanks's message before anything is copied.
Status copyLineWithoutBlanks(std::string& dst, std::string_view src);

// Removes every blank (0x20) of `s`; a text of 128 bytes or more is refused.
Status removeBlanks(std::string& s);

// Makes a student's name usable as a file name: ".", "\" and "/" become
// "_", "і" and "І" become Latin "i" and "I", and it is cut to 20 bytes.
void makeFileNameSafe(std::string& s);

// Index of the first entry equal to `key` among the first `count`, or -1.
int indexOf(const int32_t* values, int32_t key, int count);

// The bytes a copy holds when it is read back as a C string: up to the
// first NUL. Texts of the model (names, stem, options, the typed answer)
// are such copies, so a NUL byte in a test file ends them there.
inline std::string_view cString(std::string_view bytes)
{
    return bytes.substr(0, bytes.find('\0'));
}

} // namespace qd
