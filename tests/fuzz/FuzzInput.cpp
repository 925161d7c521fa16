#include "FuzzInput.h"

#include <array>

namespace qdfuzz {

namespace {

// Both sides of the narrow-screen rule (650) and of the usual sizes.
constexpr std::array<std::array<int, 2>, 8> kWindows{{
    {1024, 768},
    {640, 480},
    {800, 600},
    {649, 500},
    {650, 500},
    {1920, 1080},
    {320, 200},
    {1, 1},
}};
constexpr std::array<int, 4> kCharWidths{8, 7, 10, 1};

std::string_view takeUntilSeparator(std::string_view& rest)
{
    const std::size_t at = rest.find(kSeparator);
    if (at == std::string_view::npos) {
        const std::string_view all = rest;
        rest = {};
        return all;
    }
    const std::string_view part = rest.substr(0, at);
    rest.remove_prefix(at + kSeparator.size());
    return part;
}

} // namespace

FuzzInput splitInput(const uint8_t* data, std::size_t size)
{
    FuzzInput in;
    if (size == 0) {
        return in;
    }
    const uint8_t choice = data[0];
    const auto& w = kWindows[choice % kWindows.size()];
    in.window.width = w[0];
    in.window.height = w[1];
    in.charW = kCharWidths[(choice / kWindows.size()) % kCharWidths.size()];
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    in.voprosi = std::string(takeUntilSeparator(rest));
    in.otveti = std::string(takeUntilSeparator(rest));
    in.actions = rest;
    return in;
}

} // namespace qdfuzz
