#include "record_id.h"

#include <cctype>
#include <cstdio>
#include <random>

#include "sha256.h"

namespace qvlink::record {

std::string NewRecordId() {
    // Ids from stations that started at the same moment never meet.
    std::random_device source;
    std::array<std::uint8_t, 16> bytes;
    for (std::size_t i = 0; i < bytes.size(); i += 4) {
        const std::uint32_t word = source();
        for (std::size_t k = 0; k < 4; ++k) bytes[i + k] = static_cast<std::uint8_t>(word >> 8 * k);
    }
    return UuidText(bytes, 4);
}

std::string DerivedRecordId(std::string_view line) {
    const Sha256Digest digest =
        Sha256(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    std::array<std::uint8_t, 16> bytes;
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = digest[i];
    return UuidText(bytes, 8);
}

std::string UuidText(std::array<std::uint8_t, 16> bytes, int version) {
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | (version << 4));
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    std::string id;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) id += '-';
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        id += hex;
    }
    return id;
}

bool IsUuidText(std::string_view text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash != (text[i] == '-')) return false;
        if (!dash && !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

}  // namespace qvlink::record
