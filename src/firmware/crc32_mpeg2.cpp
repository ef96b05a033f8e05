#include "crc32_mpeg2.h"

namespace qvlink {

std::uint32_t FirmwareCrc32(const std::uint8_t* bytes, std::int64_t count) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::int64_t i = 0; i < count; ++i) crc = (crc << 8) ^ CRC_TABLE[(crc >> 24) ^ bytes[i]];
    return crc;
}

}  // namespace qvlink
