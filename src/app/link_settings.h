// The settings that survive from one run of the program to the next: the chosen port, kept in
// "QVLink.cfg" in the directory that was current at start, as 4 bytes (a little-endian signed
// 32-bit port index). Read once before the dialog opens, written once after it has closed.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qvlink {

inline constexpr const char* SETTINGS_FILE_NAME = "QVLink.cfg";

// A save that failed, with the text and caption of the plain box that reports it.
struct SaveFailure {
    std::string text;
    std::string caption;
    friend bool operator==(const SaveFailure&, const SaveFailure&) = default;
};

class LinkSettings {
  public:
    // The settings file in `directory`; with no directory, Load and Save do nothing.
    void UseDirectory(const std::optional<std::filesystem::path>& directory);
    const std::optional<std::filesystem::path>& ConfigPath() const { return configPath_; }

    // Reads the port index: 0 when the file is missing, unreadable or shorter than 4 bytes;
    // the first 4 bytes of a longer file. The value is taken as it is, in range or not.
    void Load();
    // Writes exactly the 4 bytes; nullopt on success.
    std::optional<SaveFailure> Save() const;

    int selectedPort = 0;  // 0 for COM1 to 7 for COM8

  private:
    std::optional<std::filesystem::path> configPath_;
};

// The directory that is current now, or nullopt when it cannot be had.
std::optional<std::filesystem::path> CurrentDirectory();

}  // namespace qvlink
