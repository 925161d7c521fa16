#include "exam/ReplyFramer.h"

#include "exam/ServerReply.h"

#include <algorithm>

namespace qd {

std::size_t ReplyFramer::append(std::string_view bytes)
{
    // Records already handed out make room first.
    m_buf.erase(0, m_start);
    m_start = 0;
    const std::size_t n = std::min(bytes.size(), room());
    m_buf.append(bytes.substr(0, n));
    return n;
}

std::optional<std::string> ReplyFramer::next()
{
    if (pending() < std::size_t(ServerReply::kSize)) {
        return std::nullopt;
    }
    std::string record = m_buf.substr(m_start, ServerReply::kSize);
    m_start += ServerReply::kSize;
    if (m_start == m_buf.size()) {
        clear();
    }
    return record;
}

} // namespace qd
