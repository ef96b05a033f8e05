// CRC-32/MPEG-2 as the firmware file uses it: polynomial 0x04C11DB7, register starting at
// 0xFFFFFFFF, bits taken most significant first, nothing XORed onto the result.
#pragma once

#include <array>
#include <cstdint>

namespace qvlink {

namespace detail {
constexpr std::array<std::uint32_t, 256> MakeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t reg = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x80000000u) ? (reg << 1) ^ 0x04C11DB7u : reg << 1;
        table[i] = reg;
    }
    return table;
}
}  // namespace detail

// Entry i is byte value i shifted through eight MSB-first steps of the polynomial.
inline constexpr std::array<std::uint32_t, 256> CRC_TABLE = detail::MakeCrcTable();

// The CRC of `count` bytes; a count of 0 or less yields the initial register 0xFFFFFFFF.
std::uint32_t FirmwareCrc32(const std::uint8_t* bytes, std::int64_t count);

}  // namespace qvlink
