#include "firmware_format.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "crc32_mpeg2.h"

namespace qvlink {
namespace {

std::uint32_t ReadBigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

bool StartsWith(const std::uint8_t* bytes, std::string_view magic) {
    return std::memcmp(bytes, magic.data(), magic.size()) == 0;
}

}  // namespace

LoadResult UnpackFirmware(FirmwareImage& slot, std::size_t fileLength) {
    const std::uint8_t* raw = slot.bytes.get();
    if (fileLength < MIN_FILE_SIZE || raw == nullptr || slot.size < fileLength)
        return LoadResult::Refused("file size error [1]", MessageChannel::Dialog);
    if (!StartsWith(raw, OUTER_MAGIC))
        return LoadResult::Refused("File Data Error [1]", MessageChannel::Application);

    const std::size_t n = fileLength - OUTER_MAGIC.size();
    std::unique_ptr<std::uint8_t[]> payload(new (std::nothrow) std::uint8_t[n]);
    if (!payload)
        return LoadResult::Refused("Alloc Memory error 'pDataOutput'", MessageChannel::Application);
    // Payload byte k is file byte L - 1 - k, unmasked: reverse first, then unmask in one
    // straight pass that the compiler can vectorise.
    std::reverse_copy(raw + OUTER_MAGIC.size(), raw + fileLength, payload.get());
    for (std::size_t k = 0; k < n; ++k) payload[k] ^= SCRAMBLE_MASK;

    LoadResult verdict = VerifyFirmware(payload.get(), n);
    slot.Take(std::move(payload), n,
              verdict.ok ? ImageState::ValidPayload : ImageState::RejectedPayload);
    return verdict;
}

LoadResult VerifyFirmware(const std::uint8_t* payload, std::size_t n) {
    if (n < MIN_FILE_SIZE - OUTER_MAGIC.size())
        return LoadResult::Refused("file size error [1]", MessageChannel::Dialog);
    if (!StartsWith(payload, INNER_MAGIC))
        return LoadResult::Refused("File Data Error [2]", MessageChannel::Application);
    const std::uint32_t declared = ReadBigEndian32(payload + INNER_MAGIC.size());
    if (static_cast<std::uint32_t>(declared + INNER_HEADER_SIZE) != n)
        return LoadResult::Refused("File Data Error [3]", MessageChannel::Dialog);
    const std::uint32_t stored = ReadBigEndian32(payload + n - 4);
    if (FirmwareCrc32(payload, static_cast<std::int64_t>(n - 4)) != stored)
        return LoadResult::Refused("File Data Error [4]", MessageChannel::Dialog);
    return LoadResult::Accepted();
}

}  // namespace qvlink
