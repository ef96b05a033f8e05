#include "link_settings.h"

#include <cstdint>
#include <fstream>

namespace qvlink {
namespace {

const std::string FULLWIDTH_BANG = "\xEF\xBC\x81";

}  // namespace

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

std::optional<SaveFailure> LinkSettings::Save() const {
    if (!configPath_) return std::nullopt;
    std::ofstream file(*configPath_, std::ios::binary | std::ios::trunc);
    if (!file.is_open())
        return SaveFailure{"save config info error" + FULLWIDTH_BANG, "Quorvane Link 1.1"};
    const auto value = static_cast<std::uint32_t>(selectedPort);
    const char bytes[4] = {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                           static_cast<char>((value >> 16) & 0xFF),
                           static_cast<char>((value >> 24) & 0xFF)};
    file.write(bytes, 4);
    file.close();
    if (file.fail()) return SaveFailure{"save data error" + FULLWIDTH_BANG, "error"};
    return std::nullopt;
}

}  // namespace qvlink
