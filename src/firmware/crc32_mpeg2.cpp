#include "crc32_mpeg2.h"

#include <cstddef>

#include "byte_order.h"

namespace qvlink {
namespace {

// Slicing by eight: entry [k][i] is the register after byte value i followed by k zero bytes, so
// eight table look-ups, independent of one another, advance the register by eight bytes.
using SliceTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr SliceTables MakeSliceTables() {
    SliceTables tables{};
    tables[0] = CRC_TABLE;
    for (std::size_t k = 1; k < tables.size(); ++k)
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t previous = tables[k - 1][i];
            tables[k][i] = (previous << 8) ^ CRC_TABLE[previous >> 24];
        }
    return tables;
}

constexpr SliceTables SLICES = MakeSliceTables();

}  // namespace

std::uint32_t FirmwareCrc32(const std::uint8_t* bytes, std::int64_t count) {
    std::uint32_t crc = 0xFFFFFFFFu;
    if (count <= 0) return crc;
    auto left = static_cast<std::uint64_t>(count);
    for (; left >= 8; left -= 8, bytes += 8) {
        const std::uint32_t head = crc ^ ReadBigEndian32(bytes);
        crc = SLICES[7][head >> 24] ^ SLICES[6][(head >> 16) & 0xFF] ^
              SLICES[5][(head >> 8) & 0xFF] ^ SLICES[4][head & 0xFF] ^ SLICES[3][bytes[4]] ^
              SLICES[2][bytes[5]] ^ SLICES[1][bytes[6]] ^ SLICES[0][bytes[7]];
    }
    for (; left > 0; --left, ++bytes) crc = (crc << 8) ^ CRC_TABLE[(crc >> 24) ^ *bytes];
    return crc;
}

}  // namespace qvlink
