#include "check_codes.h"

#include <cstddef>

#include "protocol_bytes.h"

namespace qvlink {

std::uint8_t Sum8(const std::uint8_t* bytes, std::uint16_t count) {
    std::uint8_t sum = 0;
    for (std::uint16_t i = 0; i < count; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
    return sum;
}

std::uint16_t Crc16Xmodem(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= static_cast<std::uint16_t>(bytes[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
    }
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
