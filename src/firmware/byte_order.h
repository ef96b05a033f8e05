// Big-endian 32-bit fields as the firmware payload stores them (declared length and CRC, most
// significant byte first), read and written byte by byte so the host's byte order plays no part.
#pragma once

#include <cstdint>

namespace qvlink {

inline std::uint32_t ReadBigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

inline void StoreBigEndian32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

}  // namespace qvlink
