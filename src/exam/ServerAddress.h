#pragma once

#include "definition/Fault.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace qd {

// The exam server's address, from IPaddress.txt in the working directory: a
// numeric address as plain text. The first 128 bytes of the file are read;
// the address ends at the first zero byte, blank, tab, CR or LF (an editor
// ends the line with a line break) and keeps at most 127 bytes.
inline constexpr const char* kServerAddressFile = "IPaddress.txt";
inline constexpr std::size_t kServerAddressSize = 128;

// The address in the first bytes of the file (at most kServerAddressSize
// of them are looked at).
std::string serverAddressOf(std::string_view head);

// Reads the address into `serverAddress`, which is cleared first, so that
// nothing of an earlier, longer address survives a retry. A file that
// cannot be opened gives the (not fatal) fault "Программа проведения
// экзамена не запущена!\nНе удается получить IP адрес.\n".
Status readServerAddress(const std::filesystem::path& dir, std::string& serverAddress);

} // namespace qd
