#include "firmware_packer.h"

#include <algorithm>

#include "byte_order.h"
#include "crc32_mpeg2.h"
#include "firmware_format.h"

namespace qvlink {
namespace {

void AppendBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.resize(out.size() + 4);
    StoreBigEndian32(out.data() + out.size() - 4, value);
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
    std::vector<std::uint8_t> file(OUTER_MAGIC.size() + payload.size());
    std::copy(OUTER_MAGIC.begin(), OUTER_MAGIC.end(), file.begin());
    ReverseMasked(payload.data(), payload.size(), file.data() + OUTER_MAGIC.size());
    return file;
}

}  // namespace qvlink
