// The check values of the device link: the block protocol's one-byte sum and two-byte CRC,
// and the bulk protocol's one-byte checksum.
#pragma once

#include <cstdint>

namespace qvlink {

// Sum of the bytes modulo 256.
std::uint8_t Sum8(const std::uint8_t* bytes, std::uint16_t count);

// CRC-16/XMODEM: polynomial 0x1021, initial value 0, not reflected, no final XOR.
std::uint16_t Crc16Xmodem(const std::uint8_t* bytes, std::size_t count);

// Sum modulo 256 of the first and last byte of each of the 256 chunks that start at `data`
// (image byte 12). Reads data[0 .. 0xFFFFF].
std::uint8_t BulkChecksum(const std::uint8_t* data);

}  // namespace qvlink
