// Firmware files for tests: deterministic image data, packed files and a scratch directory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qvlink::test {

// `size` bytes of image data that differ from block to block and chunk to chunk.
std::vector<std::uint8_t> PatternData(std::size_t size);

// The descrambled payload of a standard 1 MiB firmware with PatternData.
std::vector<std::uint8_t> StandardPayload();

// A complete, valid firmware file for PatternData(dataSize).
std::vector<std::uint8_t> PatternFirmwareFile(std::size_t dataSize);

// A fresh directory under the system's temporary folder, removed with the object.
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Writes `bytes` to `name` inside the directory and returns its path.
    std::filesystem::path Write(const std::string& name,
                                const std::vector<std::uint8_t>& bytes) const;

  private:
    std::filesystem::path path_;
};

}  // namespace qvlink::test
