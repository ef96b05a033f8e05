#include "firmware_fixtures.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <stdexcept>

#include "byte_order.h"
#include "crc32_mpeg2.h"
#include "firmware_packer.h"

namespace qvlink::test {

std::vector<std::uint8_t> PatternData(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    std::uint32_t state = 0x12345678u;
    for (auto& byte : data) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return data;
}

std::vector<std::uint8_t> StandardPayload() {
    return BuildPayload(PatternData(0x100000));
}

std::vector<std::uint8_t> PatternFirmwareFile(std::size_t dataSize) {
    return ScramblePayload(BuildPayload(PatternData(dataSize)));
}

std::vector<std::uint8_t> FlipByte(std::vector<std::uint8_t> bytes, std::size_t at,
                                   std::uint8_t mask) {
    bytes.at(at) ^= mask;
    return bytes;
}

std::vector<std::uint8_t> CutTail(std::vector<std::uint8_t> bytes, std::size_t count) {
    if (count > bytes.size()) throw std::out_of_range("cut longer than the bytes");
    bytes.resize(bytes.size() - count);
    return bytes;
}

std::vector<std::uint8_t> SwapRanges(std::vector<std::uint8_t> bytes, std::size_t first,
                                     std::size_t second, std::size_t length) {
    if (first > second) std::swap(first, second);
    if (first + length > second || second + length > bytes.size())
        throw std::out_of_range("ranges overlap or run past the end");
    std::swap_ranges(bytes.begin() + first, bytes.begin() + first + length, bytes.begin() + second);
    return bytes;
}

std::vector<std::uint8_t> ResealCrc(std::vector<std::uint8_t> payload) {
    if (payload.size() < 4) throw std::out_of_range("payload has no CRC");
    const std::size_t covered = payload.size() - 4;
    StoreBigEndian32(payload.data() + covered,
                     FirmwareCrc32(payload.data(), static_cast<std::int64_t>(covered)));
    return payload;
}

ScratchDir::ScratchDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / ("qvlink-test-" + std::to_string(random()));
    if (!std::filesystem::create_directory(path_)) throw std::runtime_error("scratch dir exists");
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path ScratchDir::Write(const std::string& name,
                                        const std::vector<std::uint8_t>& bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return file;
}

}  // namespace qvlink::test
