// The firmware file format: a 22-byte outer magic followed by the payload stored back to front
// with every byte XORed with 0xD3. The payload is the inner magic "QuorVane", a big-endian
// declared length D (= payload length - 12), the image data, and a big-endian CRC-32/MPEG-2.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "firmware_image.h"
#include "status.h"

namespace qvlink {

inline constexpr std::string_view OUTER_MAGIC = "Quorvane DVB##########";
inline constexpr std::string_view INNER_MAGIC = "QuorVane";
inline constexpr std::uint8_t SCRAMBLE_MASK = 0xD3;
inline constexpr std::size_t INNER_HEADER_SIZE = 12;  // inner magic and declared length
inline constexpr std::size_t MIN_FILE_SIZE = 39;      // outer magic and a 17-byte payload
// The payload of a 1 MiB firmware; both transfer protocols read it up to its last byte.
inline constexpr std::size_t STANDARD_PAYLOAD_SIZE = 0x100010;
inline constexpr std::size_t STANDARD_DATA_SIZE = 0x100000;

// Writes the n bytes of `source` into `target` in reverse order, each XORed with SCRAMBLE_MASK.
// The operation is its own inverse: it scrambles a payload into file order and back. The two
// buffers must not overlap.
void ReverseMasked(const std::uint8_t* source, std::size_t n, std::uint8_t* target);

// Descrambles the raw file held in `slot` (fileLength bytes) and verifies the payload.
// The slot holds the payload afterwards whenever the outer magic matched and the payload buffer
// could be obtained (RejectedPayload or ValidPayload); otherwise it still holds the raw file.
// A refusal carries the operator's exact text; its kind is Foreign for a wrong magic (not a
// firmware file at all), Exhausted when no buffer could be had, Invalid for a wrong size, length
// or CRC.
Status UnpackFirmware(FirmwareImage& slot, std::size_t fileLength);

// Checks the inner magic, the declared length and the CRC of a payload of n bytes, with the
// refusals of UnpackFirmware. Reads nothing outside payload[0, n).
Status VerifyFirmware(const std::uint8_t* payload, std::size_t n);

}  // namespace qvlink
