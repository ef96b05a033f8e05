// SHA-256 of a byte buffer, so that a record names the exact firmware that went out in a way
// anyone can check with a standard tool. Pure computation; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qvlink {

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256(const std::uint8_t* bytes, std::size_t size);

// A digest as 64 lower-case hex digits, as sha256sum prints it.
std::string HexDigest(const Sha256Digest& digest);
// The digest of `bytes` as hex digits.
std::string Sha256Hex(const std::uint8_t* bytes, std::size_t size);

}  // namespace qvlink
