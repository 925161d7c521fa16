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

// The register start value: Crc32(data) == Crc32Update(kCrc32Start, data).
constexpr uint32_t kCrc32Start = 0xFFFFFFFFu;

// Carries a register on over more bytes, so that a receiver checks a long
// message as it arrives instead of again from its first byte:
// Crc32Update(Crc32(a), b) == Crc32(a + b).
uint32_t Crc32Update(uint32_t reg, const void* data, std::size_t length);

} // namespace qd
