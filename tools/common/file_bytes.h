// Whole-file reads and writes for the command-line programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace qvlink::tools {

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path);

// Writes `bytes` to `path`, replacing it. Returns false when any step fails.
bool WriteFileBytes(const std::filesystem::path& path, const std::uint8_t* bytes,
                    std::size_t count);

}  // namespace qvlink::tools
