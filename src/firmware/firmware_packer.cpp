#include "firmware_packer.h"

#include "crc32_mpeg2.h"
#include "firmware_format.h"

namespace qvlink {
namespace {

void AppendBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace

std::vector<std::uint8_t> BuildPayload(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> payload(INNER_MAGIC.begin(), INNER_MAGIC.end());
    payload.reserve(INNER_HEADER_SIZE + data.size() + 4);
    AppendBigEndian32(payload, static_cast<std::uint32_t>(data.size() + 4));
    payload.insert(payload.end(), data.begin(), data.end());
    AppendBigEndian32(payload,
                      FirmwareCrc32(payload.data(), static_cast<std::int64_t>(payload.size())));
    return payload;
}

std::vector<std::uint8_t> ScramblePayload(const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> file(OUTER_MAGIC.begin(), OUTER_MAGIC.end());
    file.reserve(OUTER_MAGIC.size() + payload.size());
    for (auto it = payload.rbegin(); it != payload.rend(); ++it)
        file.push_back(*it ^ SCRAMBLE_MASK);
    return file;
}

}  // namespace qvlink
