#include "utf8_output.h"

namespace qvlink {

bool WriteUtf8(std::FILE* stream, const std::string& text) {
    const bool written = text.empty() || std::fputs(text.c_str(), stream) >= 0;
    return std::fflush(stream) == 0 && written;
}

}  // namespace qvlink
