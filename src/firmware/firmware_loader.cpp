#include "firmware_loader.h"

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <limits>
#include <new>
#include <system_error>

#include "file_path.h"
#include "firmware_format.h"
#include "os_error.h"

namespace qvlink {
namespace {

// U+FF01, the full-width exclamation mark that ends some of the operator's messages.
constexpr const char* FULLWIDTH_BANG = "\xEF\xBC\x81";

std::string FullPath(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return Utf8FromPath(error ? path : absolute);
}

Status Unopenable(const std::filesystem::path& path, StatusKind kind, std::string cause) {
    return Status::Error(kind, "Open file<" + FullPath(path) + "> error" + FULLWIDTH_BANG,
                         std::move(cause));
}

}  // namespace

Status LoadFirmwareFile(const std::filesystem::path& path, FirmwareImage& slot,
                        Sha256Digest* fileDigest) {
    // Only a regular file (or a link to one) is opened: opening a FIFO would block until a
    // writer appears, and directories and devices hold no firmware. Whatever else has the name,
    // there is no file of that name to load.
    std::error_code error;
    const std::filesystem::file_status found = std::filesystem::status(path, error);
    if (std::filesystem::exists(found) && !std::filesystem::is_regular_file(found))
        return Unopenable(path, StatusKind::NotFound, "not a regular file");
    if (!std::filesystem::exists(found)) {
        if (!error) return Unopenable(path, StatusKind::NotFound, "no such file");
        return Unopenable(path, KindOfError(error), error.message());
    }
    std::ifstream file;
    errno = 0;
    file.open(path, std::ios::binary | std::ios::ate);
    if (!file.is_open()) {
        const int cause = errno;
        if (cause == 0) return Unopenable(path, StatusKind::Io, "");
        return Unopenable(path, KindOfErrno(cause), ErrnoText(cause));
    }

    const std::streamoff length = file.tellg();
    if (length < static_cast<std::streamoff>(MIN_FILE_SIZE) ||
        static_cast<std::uint64_t>(length) > std::numeric_limits<std::uint32_t>::max()) {
        return Status::Error(StatusKind::Invalid, "file size error [1]");
    }

    const auto fileLength = static_cast<std::size_t>(length);
    slot.Release();
    std::unique_ptr<std::uint8_t[]> raw(new (std::nothrow) std::uint8_t[fileLength]);
    if (!raw) return Status::Error(StatusKind::Exhausted, "Alloc memory error [1]");
    slot.Take(std::move(raw), fileLength, ImageState::RawFile);

    file.seekg(0);
    file.read(reinterpret_cast<char*>(slot.bytes.get()), length);
    const bool complete = file.good() && file.gcount() == length;
    file.close();
    if (!complete)
        return Status::Error(StatusKind::Io, std::string("read file data error") + FULLWIDTH_BANG);
    if (fileDigest != nullptr) *fileDigest = Sha256(slot.bytes.get(), fileLength);

    Status unpacked = UnpackFirmware(slot, fileLength);
    if (!unpacked.ok()) return unpacked;
    if (slot.size < STANDARD_PAYLOAD_SIZE) {
        slot.state = ImageState::RejectedPayload;
        return Status::Error(StatusKind::Invalid, "file size error [2]");
    }
    return unpacked;
}

}  // namespace qvlink
