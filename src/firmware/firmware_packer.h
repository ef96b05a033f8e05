// Building firmware files: wraps image data in the inner header and CRC, then stores the
// payload reversed and masked behind the outer magic. The inverse of UnpackFirmware.
#pragma once

#include <cstdint>
#include <vector>

namespace qvlink {

// The payload for `data`: inner magic, big-endian length (data + 4), data, big-endian CRC.
std::vector<std::uint8_t> BuildPayload(const std::vector<std::uint8_t>& data);

// The firmware file that carries `payload` (any bytes; nothing is checked).
std::vector<std::uint8_t> ScramblePayload(const std::vector<std::uint8_t>& payload);

}  // namespace qvlink
