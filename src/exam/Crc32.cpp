#include "exam/Crc32.h"

#include <zlib.h>

namespace qd {

uint32_t Crc32(const void* data, std::size_t length)
{
    // zlib's CRC-32 is the same register with a final inversion; undoing it
    // gives JAMCRC.
    const uLong crc = crc32_z(0L, static_cast<const Bytef*>(data), z_size_t(length));
    return uint32_t(crc) ^ 0xFFFFFFFFu;
}

uint32_t Crc32Update(uint32_t reg, const void* data, std::size_t length)
{
    // zlib takes and returns the inverted register.
    const uLong crc =
        crc32_z(uLong(reg ^ 0xFFFFFFFFu), static_cast<const Bytef*>(data), z_size_t(length));
    return uint32_t(crc) ^ 0xFFFFFFFFu;
}

} // namespace qd
