#pragma once

// How a fuzzer input is read: one byte choosing the window and charWidth, then
// the questions file, a separator, the answers file, another separator, and
// whatever follows as the actions of a session (unused by the load target,
// kept in the layout so that a session driver can be added without
// invalidating the corpus). A missing separator leaves the later parts empty.

#include "definition/TestLoader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qdfuzz {

// Unlikely in a test file, easy for the mutator to keep intact.
inline constexpr std::string_view kSeparator{"\0\xFFQD\xFF\0", 6};

struct FuzzInput
{
    qd::WindowGeometry window;
    int charW = 8;
    std::string voprosi;
    std::string otveti;
    std::string_view actions;
};

FuzzInput splitInput(const uint8_t* data, std::size_t size);

} // namespace qdfuzz
