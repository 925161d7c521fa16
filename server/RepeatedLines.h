#pragma once

#include "run/Clock.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qd::server {

// The server's log lines, each text at most once a window: a fault that
// comes back with every retry (a full disk, a lost database) is printed
// once, and then how many times it came meanwhile, not a line a retry.
class RepeatedLines
{
public:
    static constexpr uint32_t kWindowMs = 10000;
    // Texts remembered at once (each fault's own wording).
    static constexpr std::size_t kMaxTexts = 1000;

    explicit RepeatedLines(const Clock& clock) : m_clock(clock) {}

    // The line to print now, or nothing: printed within the window already
    // (counted).
    std::optional<std::string> pass(const std::string& line);
    // For each line held back whose window has ended: how many times it
    // came (the server prints these every second).
    std::vector<std::string> due();

private:
    struct Seen
    {
        uint32_t printed = 0; // Clock ticks
        int heldBack = 0;
    };
    static std::string summary(const std::string& line, int times);

    const Clock& m_clock;
    std::map<std::string, Seen> m_seen;
};

} // namespace qd::server
