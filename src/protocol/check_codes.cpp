#include "check_codes.h"

#include <array>
#include <cstddef>

#include "protocol_bytes.h"

namespace qvlink {

std::uint8_t Sum8(const std::uint8_t* bytes, std::uint16_t count) {
    std::uint8_t sum = 0;
    for (std::uint16_t i = 0; i < count; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
    return sum;
}

namespace {

// Entry i: the register after shifting byte i, in the top 8 bits, through 8 steps of 0x1021.
constexpr std::array<std::uint16_t, 256> MakeCrc16Table() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned reg = i << 8;
        for (int bit = 0; bit < 8; ++bit) reg = (reg & 0x8000) ? (reg << 1) ^ 0x1021 : reg << 1;
        table[i] = static_cast<std::uint16_t>(reg);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> CRC16_TABLE = MakeCrc16Table();

}  // namespace

std::uint16_t Crc16Xmodem(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < count; ++i)
        crc = static_cast<std::uint16_t>((crc << 8) ^ CRC16_TABLE[((crc >> 8) ^ bytes[i]) & 0xFF]);
    return crc;
}

std::uint8_t BulkChecksum(const std::uint8_t* data) {
    std::uint8_t sum = 0;
    for (std::size_t k = 0; k < CHUNK_COUNT; ++k)
        sum = static_cast<std::uint8_t>(sum + data[k * CHUNK_SIZE] +
                                        data[k * CHUNK_SIZE + CHUNK_SIZE - 1]);
    return sum;
}

}  // namespace qvlink
