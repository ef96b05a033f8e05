// On Windows a path holds UTF-16, the system's own form: our UTF-8 goes in and comes out through
// the wide text, never through the ANSI code page.
#include "file_path.h"
#include "wide_text.h"

namespace qvlink {

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(WideFromUtf8(utf8));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    return Utf8FromWide(path.native());
}

std::FILE* OpenFile(const std::string& utf8, const char* mode) {
    return _wfopen(WideFromUtf8(utf8).c_str(), WideFromUtf8(mode).c_str());
}

}  // namespace qvlink
