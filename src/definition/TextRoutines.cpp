#include "definition/TextRoutines.h"

#include <algorithm>
#include <limits>

namespace qd {

namespace {

constexpr int kTabStop = 6;
constexpr std::size_t kLongestBlankFreeText = 127;
constexpr std::size_t kLineScan = 255;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

Fault tooLong()
{
    return fault("В функции delsp() сишком длинная строка!");
}

} // namespace

std::string expandTabs(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 5 * std::size_t(std::count(text.begin(), text.end(), '\t')));
    int column = 0;
    for (char c : text) {
        if (c == '\t') {
            const int blanks = kTabStop - column % kTabStop;
            out.append(std::size_t(blanks), ' ');
            column += blanks;
            continue;
        }
        out.push_back(c);
        column = c == '\n' ? 0 : column + 1;
    }
    return out;
}

int findWithin(std::string_view data, std::string_view key, int len)
{
    if (len <= 0) {
        return -1;
    }
    const std::size_t n = std::min(std::size_t(len), data.size());
    if (key.size() > n) {
        return -1;
    }
    const std::size_t at = data.substr(0, n).find(key);
    return at == std::string_view::npos ? -1 : int(at);
}

int findBehind(std::string_view buf, int from, std::string_view key, int limit)
{
    if (from < 0 || std::size_t(from) > buf.size()) {
        return -1;
    }
    const int64_t len = int64_t(limit) - from + 1;
    const int at = findWithin(buf.substr(std::size_t(from)), key,
                              int(std::min<int64_t>(len, std::numeric_limits<int>::max())));
    return at < 0 ? -1 : from + at + int(key.size());
}

int32_t readInt(std::string_view text, bool* digits)
{
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    bool any = false;
    constexpr int64_t kCap = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        any = true;
        value = std::min<int64_t>(value * 10 + (text[i] - '0'), kCap);
        ++i;
    }
    if (digits) {
        *digits = any;
    }
    if (negative) {
        return int32_t(std::max<int64_t>(-value, std::numeric_limits<int32_t>::min()));
    }
    return int32_t(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

int copyInt(std::string_view buf, int from, std::string_view key, int limit, int32_t& out)
{
    const int p = findBehind(buf, from, key, limit);
    if (p >= 0) {
        out = readInt(buf.substr(std::size_t(p)));
    }
    return p;
}

int readNumbers(std::string_view text, int span, int max, int32_t* out)
{
    std::fill(out, out + max, kNumberMarker);
    const std::size_t end = std::min(text.size(), std::size_t(std::max(span, 0)));
    std::size_t pos = 0;
    int count = 0;
    while (true) {
        bool digits = false;
        const int32_t v = pos <= text.size() ? readInt(text.substr(pos), &digits) : 0;
        if (!digits) {
            return -2;
        }
        out[count++] = v;
        const std::size_t comma =
            pos < end ? text.substr(0, end).find(',', pos) : std::string_view::npos;
        if (comma == std::string_view::npos) {
            return count;
        }
        if (count == max) {
            return -1;
        }
        pos = comma + 1;
    }
}

bool allDifferent(const int32_t* values, int count)
{
    for (int i = 0; i < count; ++i) {
        for (int j = i + 1; j < count; ++j) {
            if (values[i] == values[j]) {
                return false;
            }
        }
    }
    return true;
}

bool isBlank(std::string_view text, int from, int to)
{
    int i = from;
    while (i <= to && i >= 0 && std::size_t(i) < text.size() &&
           (text[std::size_t(i)] == ' ' || text[std::size_t(i)] == '\r' ||
            text[std::size_t(i)] == '\n')) {
        ++i;
    }
    return i == to + 1;
}

Status copyLineWithoutBlanks(std::string& dst, std::string_view src)
{
    const std::size_t lf = src.substr(0, kLineScan).find('\n');
    if (lf == std::string_view::npos || lf == 0) {
        return {};
    }
    std::string_view line = src.substr(0, lf - 1);
    // The copy is read back as a C string: it ends at a NUL byte.
    line = line.substr(0, line.find('\0'));
    if (line.size() > kLongestBlankFreeText) {
        return tooLong();
    }
    dst.assign(line);
    return removeBlanks(dst);
}

Status removeBlanks(std::string& s)
{
    if (s.size() > kLongestBlankFreeText) {
        return tooLong();
    }
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return {};
}

void makeFileNameSafe(std::string& s)
{
    for (char& c : s) {
        switch (static_cast<unsigned char>(c)) {
        case '.':
        case '\\':
        case '/':
            c = '_';
            break;
        case 0xB3:
            c = 'i';
            break;
        case 0xB2:
            c = 'I';
            break;
        default:
            break;
        }
    }
    if (s.size() > 20) {
        s.resize(20);
    }
}

int indexOf(const int32_t* values, int32_t key, int count)
{
    for (int i = 0; i < count; ++i) {
        if (values[i] == key) {
            return i;
        }
    }
    return -1;
}

} // namespace qd
