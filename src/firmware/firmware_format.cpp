#include "firmware_format.h"

#include <cstring>
#include <new>

#include "byte_order.h"
#include "crc32_mpeg2.h"

namespace qvlink {
namespace {

bool StartsWith(const std::uint8_t* bytes, std::string_view magic) {
    return std::memcmp(bytes, magic.data(), magic.size()) == 0;
}

}  // namespace

void ReverseMasked(const std::uint8_t* source, std::size_t n, std::uint8_t* target) {
    constexpr std::uint64_t WIDE_MASK = 0x0101010101010101u * SCRAMBLE_MASK;
    // Eight bytes at a time: a word loaded from the end of the source and byte-swapped holds
    // those bytes in reverse order, whatever the host's byte order.
    std::size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        std::uint64_t word;
        std::memcpy(&word, source + n - k - 8, 8);
        word = __builtin_bswap64(word) ^ WIDE_MASK;
        std::memcpy(target + k, &word, 8);
    }
    for (; k < n; ++k) target[k] = source[n - 1 - k] ^ SCRAMBLE_MASK;
}

Status UnpackFirmware(FirmwareImage& slot, std::size_t fileLength) {
    const std::uint8_t* raw = slot.bytes.get();
    if (fileLength < MIN_FILE_SIZE || raw == nullptr || slot.size < fileLength)
        return Status::Error(StatusKind::Invalid, "file size error [1]");
    if (!StartsWith(raw, OUTER_MAGIC))
        return Status::Error(StatusKind::Foreign, "File Data Error [1]");

    const std::size_t n = fileLength - OUTER_MAGIC.size();
    std::unique_ptr<std::uint8_t[]> payload(new (std::nothrow) std::uint8_t[n]);
    if (!payload) return Status::Error(StatusKind::Exhausted, "Alloc Memory error 'pDataOutput'");
    // Payload byte k is file byte L - 1 - k, unmasked.
    ReverseMasked(raw + OUTER_MAGIC.size(), n, payload.get());

    Status verdict = VerifyFirmware(payload.get(), n);
    slot.Take(std::move(payload), n,
              verdict.ok() ? ImageState::ValidPayload : ImageState::RejectedPayload);
    return verdict;
}

Status VerifyFirmware(const std::uint8_t* payload, std::size_t n) {
    if (n < MIN_FILE_SIZE - OUTER_MAGIC.size())
        return Status::Error(StatusKind::Invalid, "file size error [1]");
    if (!StartsWith(payload, INNER_MAGIC))
        return Status::Error(StatusKind::Foreign, "File Data Error [2]");
    const std::uint32_t declared = ReadBigEndian32(payload + INNER_MAGIC.size());
    if (static_cast<std::uint32_t>(declared + INNER_HEADER_SIZE) != n)
        return Status::Error(StatusKind::Invalid, "File Data Error [3]");
    const std::uint32_t stored = ReadBigEndian32(payload + n - 4);
    if (FirmwareCrc32(payload, static_cast<std::int64_t>(n - 4)) != stored)
        return Status::Error(StatusKind::Invalid, "File Data Error [4]");
    return Status::Ok();
}

}  // namespace qvlink
