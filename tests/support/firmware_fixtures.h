// Firmware files for tests: deterministic image data, packed files, the corruptions a maintainer
// checks the loader against, and a scratch directory.
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

// Corruption helpers: each returns an edited copy, so that one valid file serves many cases.
// `bytes` with the byte at `at` XORed with `mask` (every bit by default).
std::vector<std::uint8_t> FlipByte(std::vector<std::uint8_t> bytes, std::size_t at,
                                   std::uint8_t mask = 0xFF);
// `bytes` without its last `count` bytes.
std::vector<std::uint8_t> CutTail(std::vector<std::uint8_t> bytes, std::size_t count);
// `bytes` with the `length` bytes at `first` and those at `second` exchanged; the two ranges
// must not overlap.
std::vector<std::uint8_t> SwapRanges(std::vector<std::uint8_t> bytes, std::size_t first,
                                     std::size_t second, std::size_t length);
// A payload whose trailing CRC is computed afresh over everything before it, so that an edit of
// its header or data is the only fault left in it.
std::vector<std::uint8_t> ResealCrc(std::vector<std::uint8_t> payload);

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
