// The bytes of the device link: the handshake, the block protocol (an XMODEM-1K variant), the
// bulk protocol, and the burn reports that both protocols end with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvlink {

// Handshake.
inline constexpr std::uint8_t NAK = 0x15;           // block protocol, one check byte
inline constexpr std::uint8_t START_CRC = 'C';      // block protocol, two check bytes
inline constexpr std::uint8_t BULK_REQUEST = 0x77;  // device asks for the bulk protocol
inline constexpr std::uint8_t CAN = 0x18;           // device gives up; sender's stop (twice)
inline constexpr std::uint8_t BLOCK_ACCEPT = 0x77;  // answer to NAK or 'C'
inline constexpr std::uint8_t BULK_ACCEPT = 0x78;   // answer to BULK_REQUEST

// Block protocol.
inline constexpr std::uint8_t STX = 0x02;
inline constexpr std::uint8_t EOT = 0x04;
inline constexpr std::uint8_t ACK = 0x06;
inline constexpr std::uint8_t SUB = 0x1A;
inline constexpr std::size_t BLOCK_DATA_SIZE = 1024;
inline constexpr std::size_t BLOCK_HEADER_SIZE = 3;
inline constexpr std::size_t BLOCK_SIZE_SUM = 1028;  // header, data, Sum8
inline constexpr std::size_t BLOCK_SIZE_CRC = 1029;  // header, data, CRC-16 high byte first
inline constexpr std::size_t TRANSFER_SIZE = 0x100010;
inline constexpr int BLOCK_COUNT = 1025;

// Bulk protocol.
inline constexpr std::uint8_t BULK_READY = 0x88;
inline constexpr std::uint8_t BULK_GO = 0x99;
inline constexpr std::uint8_t CHUNK_ACK = 0x66;
inline constexpr std::size_t CHUNK_SIZE = 4096;
inline constexpr int CHUNK_COUNT = 256;
inline constexpr std::size_t BULK_DATA_OFFSET = 12;

// Burn phase.
inline constexpr std::uint8_t BURN_PROGRESS_FIRST = 0x80;
inline constexpr std::uint8_t BURN_PROGRESS_LAST = 0x8F;
inline constexpr std::uint8_t BURN_DONE = 0xA0;
inline constexpr std::uint8_t BURN_FAILED = 0xA1;

}  // namespace qvlink
