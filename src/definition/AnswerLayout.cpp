#include "definition/AnswerLayout.h"

#include <string_view>

namespace qd {

void placeOptions(Question& q, const char* block, int len, int charWidth, int lineHeight)
{
    const int optionCount =
        int(q.options.size()) < q.optionCount ? int(q.options.size()) : q.optionCount;
    int i = 0;
    int line = 0;
    int column = 0;
    bool inside = false; // between an option's "<" and its ">"
    for (int j = 0; j < len && i < optionCount; ++j) {
        const char c = block[j];
        if (c == '\n') {
            ++line;
            column = 0;
        }
        if (!inside && c == '<') {
            q.options[i].startRow = line + 1;
            q.options[i].startColumn = column;
            inside = true;
        } else if (inside && c == '>') {
            q.options[i].endRow = line + 1;
            q.options[i].endColumn = column;
            inside = false;
            ++i;
        }
        ++column;
    }
    for (int k = 0; k < optionCount; ++k) {
        rect(q.options[k], charWidth, lineHeight);
    }
}

void rect(AnswerSlot& slot, int charWidth, int lineHeight)
{
    slot.top = (slot.startRow - 1) * lineHeight;
    slot.bottom = slot.endRow * lineHeight - 2;
    slot.left = (slot.startColumn - 1) * charWidth;
    slot.right = slot.endColumn * charWidth;
    if (slot.endRow <= slot.startRow) {
        return;
    }
    // Every line that ends in CR LF; the last line ends at col2 already.
    // Later lines are drawn from x = 0, so their extent is their own length.
    const std::string_view s = slot.text;
    std::size_t start = 0;
    bool first = true;
    for (std::size_t crlf = s.find("\r\n"); crlf != std::string_view::npos;
         crlf = s.find("\r\n", start)) {
        std::size_t end = crlf;
        while (end > start && s[end - 1] == ' ') {
            --end;
        }
        const int d = int(end - start);
        const int extent = first ? slot.startColumn + d : d;
        if (extent > slot.endColumn) {
            slot.endColumn = extent;
            slot.right = extent * charWidth;
        }
        first = false;
        start = crlf + 2;
    }
}

} // namespace qd
