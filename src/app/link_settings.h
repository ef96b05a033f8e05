// The settings that survive from one run of the program to the next: the chosen port, kept in
// "QVLink.cfg" in the directory that was current at start, as 4 bytes (a little-endian signed
// 32-bit port index). Read once before the dialog opens, written once after it has closed.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "status.h"

namespace qvlink {

inline constexpr const char* SETTINGS_FILE_NAME = "QVLink.cfg";

// The plain box that reports a failed save: its text and its caption.
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
    // Writes exactly the 4 bytes. On a failure the message is the text of the box that reports
    // it (SaveFailureBox), the kind and the cause the system's.
    Status Save() const;

    int selectedPort = 0;  // 0 for COM1 to 7 for COM8

  private:
    std::optional<std::filesystem::path> configPath_;
};

// The box that reports `failed`, a failed Save: a file that cannot be made is reported under the
// program's title, bytes that cannot be written under "error".
SaveFailure SaveFailureBox(const Status& failed);

// The directory that is current now, or nullopt when it cannot be had.
std::optional<std::filesystem::path> CurrentDirectory();

}  // namespace qvlink
