#include "definition/TerminalText.h"

#include <cstdio>

namespace qd {

namespace {

// The length of the UTF-8 sequence at `s[i]` and its code point; 0 when the
// bytes there are not one.
std::size_t sequence(std::string_view s, std::size_t i, char32_t* code)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char lead = b(0);
    std::size_t n = 0;
    char32_t c = 0;
    if (lead < 0x80) {
        *code = lead;
        return 1;
    }
    if ((lead & 0xe0) == 0xc0) {
        n = 2;
        c = lead & 0x1f;
    } else if ((lead & 0xf0) == 0xe0) {
        n = 3;
        c = lead & 0x0f;
    } else if ((lead & 0xf8) == 0xf0) {
        n = 4;
        c = lead & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xc0) != 0x80) {
            return 0;
        }
        c = (c << 6) | (b(k) & 0x3f);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    static const char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[n] || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) {
        return 0;
    }
    *code = c;
    return n;
}

} // namespace

std::string terminalSafe(std::string_view s, bool keepLineBreaks)
{
    std::string out;
    out.reserve(s.size());
    char hex[16];
    for (std::size_t i = 0; i < s.size();) {
        char32_t c = 0;
        const std::size_t n = sequence(s, i, &c);
        if (n == 0) {
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(s[i]));
            out += hex;
            ++i;
            continue;
        }
        if (keepLineBreaks && (c == '\n' || (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n'))) {
            out += char(c);
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == 0x1b) {
            out += "\\e";
        } else if (c < 0x20 || c == 0x7f) {
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(c));
            out += hex;
        } else if (c >= 0x80 && c <= 0x9f) {
            std::snprintf(hex, sizeof hex, "\\u{%04X}", unsigned(c));
            out += hex;
        } else {
            out.append(s.substr(i, n));
        }
        i += n;
    }
    return out;
}

} // namespace qd
