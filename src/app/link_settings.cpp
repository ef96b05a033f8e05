#include "link_settings.h"

#include <cerrno>
#include <cstdint>
#include <fstream>

#include "os_error.h"

namespace qvlink {
namespace {

const std::string FULLWIDTH_BANG = "\xEF\xBC\x81";
// The two ways a save fails, each with its box.
const SaveFailure NOT_MADE{"save config info error" + FULLWIDTH_BANG, "Quorvane Link 1.1"};
const SaveFailure NOT_WRITTEN{"save data error" + FULLWIDTH_BANG, "error"};

// `box`'s text, with the kind and the words of the system's error `error` (an errno value; 0
// when the system gave none).
Status SaveError(const SaveFailure& box, int error) {
    return Status::Error(KindOfErrno(error), box.text, error != 0 ? ErrnoText(error) : "");
}

}  // namespace

SaveFailure SaveFailureBox(const Status& failed) {
    return failed.message() == NOT_WRITTEN.text ? NOT_WRITTEN : NOT_MADE;
}

std::optional<std::filesystem::path> CurrentDirectory() {
    std::error_code error;
    std::filesystem::path directory = std::filesystem::current_path(error);
    if (error || directory.empty()) return std::nullopt;
    return directory;
}

void LinkSettings::UseDirectory(const std::optional<std::filesystem::path>& directory) {
    if (directory)
        configPath_ = *directory / SETTINGS_FILE_NAME;
    else
        configPath_.reset();
}

void LinkSettings::Load() {
    if (!configPath_) return;
    selectedPort = 0;
    std::ifstream file(*configPath_, std::ios::binary);
    unsigned char bytes[4];
    if (!file.read(reinterpret_cast<char*>(bytes), 4)) return;
    const std::uint32_t value = std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
                                (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
    selectedPort = static_cast<std::int32_t>(value);
}

Status LinkSettings::Save() const {
    if (!configPath_) return Status::Ok();
    errno = 0;
    std::ofstream file(*configPath_, std::ios::binary | std::ios::trunc);
    if (!file.is_open()) return SaveError(NOT_MADE, errno);
    const auto value = static_cast<std::uint32_t>(selectedPort);
    const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                           static_cast<char>((value >> 16) & 0xFF),
                           static_cast<char>((value >> 24) & 0xFF)};
    errno = 0;
    file.write(bytes, 4);
    file.close();
    if (file.fail()) return SaveError(NOT_WRITTEN, errno);
    return Status::Ok();
}

}  // namespace qvlink
