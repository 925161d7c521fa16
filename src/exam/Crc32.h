#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qd {

// The checksum of the exam-server messages: CRC-32/JAMCRC (reflected
// polynomial 0xEDB88320, register started at 0xFFFFFFFF, no final
// inversion). "123456789" gives 0x340BC6D9. Because the register is returned
// as it stands, data followed by its own Crc32 (little-endian) checks to 0:
// that is how a reply is validated.
uint32_t Crc32(const void* data, std::size_t length);

inline uint32_t Crc32(std::string_view bytes)
{
    return Crc32(bytes.data(), bytes.size());
}

} // namespace qd
