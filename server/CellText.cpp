#include "CellText.h"

namespace qd::server {

bool looksLikeFormula(std::string_view text)
{
    return !text.empty() &&
           std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

bool isPlainNumber(std::string_view text)
{
    std::size_t i = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9') {
            digits = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

std::string csvText(const std::string& text)
{
    return looksLikeFormula(text) && !isPlainNumber(text) ? "'" + text : text;
}

} // namespace qd::server
