#include "screen/AnswerLayout.h"

#include <string_view>

namespace qd {

void fillcoord(Question& q, const char* block, int len, int char_w, int line_h)
{
    const int nans = int(q.ans.size()) < q.nans ? int(q.ans.size()) : q.nans;
    int i = 0;
    int line = 0;
    int column = 0;
    bool inside = false; // between an option's "<" and its ">"
    for (int j = 0; j < len && i < nans; ++j) {
        const char c = block[j];
        if (c == '\n') {
            ++line;
            column = 0;
        }
        if (!inside && c == '<') {
            q.ans[i].row1 = line + 1;
            q.ans[i].col1 = column;
            inside = true;
        } else if (inside && c == '>') {
            q.ans[i].row2 = line + 1;
            q.ans[i].col2 = column;
            inside = false;
            ++i;
        }
        ++column;
    }
    for (int k = 0; k < nans; ++k) {
        rect(q.ans[k], char_w, line_h);
    }
}

void rect(AnswerSlot& slot, int char_w, int line_h)
{
    slot.top = (slot.row1 - 1) * line_h;
    slot.bottom = slot.row2 * line_h - 2;
    slot.left = (slot.col1 - 1) * char_w;
    slot.right = slot.col2 * char_w;
    if (slot.row2 <= slot.row1) {
        return;
    }
    // Every line that ends in CR LF; the last line ends at col2 already.
    // Later lines are drawn from x = 0, so their extent is their own length.
    const std::string_view s = slot.str;
    std::size_t start = 0;
    bool first = true;
    for (std::size_t crlf = s.find("\r\n"); crlf != std::string_view::npos;
         crlf = s.find("\r\n", start)) {
        std::size_t end = crlf;
        while (end > start && s[end - 1] == ' ') {
            --end;
        }
        const int d = int(end - start);
        const int extent = first ? slot.col1 + d : d;
        if (extent > slot.col2) {
            slot.col2 = extent;
            slot.right = extent * char_w;
        }
        first = false;
        start = crlf + 2;
    }
}

} // namespace qd
