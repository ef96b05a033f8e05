#include "firmware_fixtures.h"

#include <fstream>
#include <random>
#include <stdexcept>

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

std::vector<std::uint8_t> StandardPayload() { return BuildPayload(PatternData(0x100000)); }

std::vector<std::uint8_t> PatternFirmwareFile(std::size_t dataSize) {
    return ScramblePayload(BuildPayload(PatternData(dataSize)));
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
