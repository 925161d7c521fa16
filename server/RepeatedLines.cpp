#include "RepeatedLines.h"

namespace qd::server {

std::string RepeatedLines::summary(const std::string& line, int times)
{
    return line + " (" + std::to_string(times) + (times == 1 ? " more time" : " more times") +
           " within " + std::to_string(kWindowMs / 1000) + " s)";
}

std::optional<std::string> RepeatedLines::pass(const std::string& line)
{
    const uint32_t now = m_clock.ticks();
    const auto it = m_seen.find(line);
    if (it != m_seen.end() && now - it->second.printed < kWindowMs) {
        ++it->second.heldBack;
        return std::nullopt;
    }
    if (it != m_seen.end()) {
        const int held = it->second.heldBack;
        it->second = Seen{now, 0};
        return held > 0 ? summary(line, held) : line;
    }
    if (m_seen.size() >= kMaxTexts) {
        // Many texts at once: the oldest quiet ones are forgotten.
        for (auto s = m_seen.begin(); s != m_seen.end();) {
            s = s->second.heldBack == 0 ? m_seen.erase(s) : std::next(s);
        }
        if (m_seen.size() >= kMaxTexts) {
            return line; // printed, not remembered
        }
    }
    m_seen.emplace(line, Seen{now, 0});
    return line;
}

std::vector<std::string> RepeatedLines::due()
{
    const uint32_t now = m_clock.ticks();
    std::vector<std::string> out;
    for (auto it = m_seen.begin(); it != m_seen.end();) {
        if (now - it->second.printed < kWindowMs) {
            ++it;
            continue;
        }
        if (it->second.heldBack > 0) {
            out.push_back(summary(it->first, it->second.heldBack));
        }
        it = m_seen.erase(it);
    }
    return out;
}

} // namespace qd::server
