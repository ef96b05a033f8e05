#include "file_bytes.h"

#include <fstream>
#include <iterator>

#include "file_path.h"

namespace qvlink::tools {

Status ReadFileBytes(const std::filesystem::path& path, std::vector<std::uint8_t>* bytes) {
    const Status cannot = Status::Error(StatusKind::Io, "cannot read " + Utf8FromPath(path));
    std::ifstream in(path, std::ios::binary);
    if (!in) return cannot;
    std::vector<std::uint8_t> read((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
    if (in.bad()) return cannot;
    *bytes = std::move(read);
    return Status::Ok();
}

Status WriteFileBytes(const std::filesystem::path& path, const std::uint8_t* bytes,
                      std::size_t count) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
    out.close();
    if (out.fail()) return Status::Error(StatusKind::Io, "cannot write " + Utf8FromPath(path));
    return Status::Ok();
}

}  // namespace qvlink::tools
