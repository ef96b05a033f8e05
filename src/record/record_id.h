// A record's id: the UUID that makes one receiver's line one row wherever it is gathered,
// however often it is sent.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qvlink::record {

// A new random (version 4) UUID, "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx" in lower case. Every bit
// comes from the system's own source of randomness.
std::string NewRecordId();

// The id of a line written before lines had one (schema 1): a UUID made of the line's SHA-256,
// marked as version 8 (made by its own rule), so that it cannot meet a random one and the same
// line always gets the same id.
std::string DerivedRecordId(std::string_view line);

// `bytes` as a UUID of `version` (its version and variant bits set), written as above.
std::string UuidText(std::array<std::uint8_t, 16> bytes, int version);

// Whether `text` is a UUID written as "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (hex digits).
bool IsUuidText(std::string_view text);

}  // namespace qvlink::record
