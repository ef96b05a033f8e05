#include "firmware_loader.h"

#include <cstdint>
#include <fstream>
#include <limits>
#include <new>
#include <system_error>

#include "firmware_format.h"

namespace qvlink {
namespace {

// U+FF01, the full-width exclamation mark that ends some of the operator's messages.
constexpr const char* FULLWIDTH_BANG = "\xEF\xBC\x81";

std::string FullPath(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return (error ? path : absolute).string();
}

}  // namespace

LoadResult LoadFirmwareFile(const std::filesystem::path& path, FirmwareImage& slot,
                            Sha256Digest* fileDigest) {
    // Only a regular file (or a link to one) is opened: opening a FIFO would block until a
    // writer appears, and directories and devices hold no firmware.
    std::error_code error;
    std::ifstream file;
    if (std::filesystem::is_regular_file(path, error))
        file.open(path, std::ios::binary | std::ios::ate);
    if (!file.is_open()) {
        return LoadResult::Refused("Open file<" + FullPath(path) + "> error" + FULLWIDTH_BANG,
                                   MessageChannel::Dialog);
    }

    const std::streamoff length = file.tellg();
    if (length < static_cast<std::streamoff>(MIN_FILE_SIZE) ||
        static_cast<std::uint64_t>(length) > std::numeric_limits<std::uint32_t>::max()) {
        return LoadResult::Refused("file size error [1]", MessageChannel::Dialog);
    }

    const auto fileLength = static_cast<std::size_t>(length);
    slot.Release();
    std::unique_ptr<std::uint8_t[]> raw(new (std::nothrow) std::uint8_t[fileLength]);
    if (!raw) return LoadResult::Refused("Alloc memory error [1]", MessageChannel::Application);
    slot.Take(std::move(raw), fileLength, ImageState::RawFile);

    file.seekg(0);
    file.read(reinterpret_cast<char*>(slot.bytes.get()), length);
    const bool complete = file.good() && file.gcount() == length;
    file.close();
    if (!complete)
        return LoadResult::Refused(std::string("read file data error") + FULLWIDTH_BANG,
                                   MessageChannel::Dialog);
    if (fileDigest != nullptr) *fileDigest = Sha256(slot.bytes.get(), fileLength);

    LoadResult unpacked = UnpackFirmware(slot, fileLength);
    if (!unpacked.ok) return unpacked;
    if (slot.size < STANDARD_PAYLOAD_SIZE) {
        slot.state = ImageState::RejectedPayload;
        return LoadResult::Refused("file size error [2]", MessageChannel::Dialog);
    }
    return unpacked;
}

}  // namespace qvlink
