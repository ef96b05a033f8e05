// Whole-file reads and writes for the command-line programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "status.h"

namespace qvlink::tools {

// The whole of `path` into `*bytes`; Io ("cannot read PATH") when it cannot be opened or read.
Status ReadFileBytes(const std::filesystem::path& path, std::vector<std::uint8_t>* bytes);

// Writes `bytes` to `path`, replacing it; Io ("cannot write PATH") when any step fails.
Status WriteFileBytes(const std::filesystem::path& path, const std::uint8_t* bytes,
                      std::size_t count);

}  // namespace qvlink::tools
