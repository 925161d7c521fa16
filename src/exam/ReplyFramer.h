#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qd {

// TCP keeps no message boundaries: two replies may come in one read and one
// reply in two. The framer collects received bytes and hands out whole
// 7-byte reply records; an incomplete tail waits for the next read.
//
// It holds at most kCapacity bytes: the reader takes no more than room()
// bytes at a time and takes every whole record out before reading again, so
// a server that floods the connection never grows it.
class ReplyFramer
{
public:
    static constexpr std::size_t kRead = 1024;          // one read
    static constexpr std::size_t kCapacity = kRead + 6; // a read behind a partial reply

    // Bytes that may be appended now.
    std::size_t room() const { return kCapacity - pending(); }
    // Appends at most room() bytes of `bytes`; returns how many it took.
    std::size_t append(std::string_view bytes);
    // The next whole record, oldest first.
    std::optional<std::string> next();
    // Forgets every buffered byte (after a reply that did not check, or on a
    // new connection).
    void clear()
    {
        m_buf.clear();
        m_start = 0;
    }
    std::size_t pending() const { return m_buf.size() - m_start; }

private:
    std::string m_buf;
    std::size_t m_start = 0; // records before this were handed out
};

} // namespace qd
