#include "file_bytes.h"

#include <fstream>
#include <iterator>

namespace qvlink::tools {

std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

bool WriteFileBytes(const std::filesystem::path& path, const std::uint8_t* bytes,
                    std::size_t count) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
    out.close();
    return !out.fail();
}

}  // namespace qvlink::tools
