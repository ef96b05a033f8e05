#include "transcript.h"

#include "file_path.h"

namespace qvlink::tools {

namespace {
constexpr std::size_t BYTES_PER_LINE = 32;
}

Transcript::Transcript(const std::string& path) : file_(OpenFile(path, "w")) {}

Transcript::~Transcript() {
    if (file_ != nullptr) std::fclose(file_);
}

double Transcript::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Transcript::Record(const char* arrow, const std::uint8_t* bytes, std::size_t count) {
    if (file_ == nullptr || count == 0) return;
    std::lock_guard lock(mutex_);
    std::fprintf(file_, "%12.6f %s %zu byte%s", Seconds(), arrow, count, count == 1 ? "" : "s");
    for (std::size_t i = 0; i < count; ++i) {
        if (i % BYTES_PER_LINE == 0) std::fputs(i == 0 ? ":" : "\n                      ", file_);
        std::fprintf(file_, " %02X", bytes[i]);
    }
    std::fputc('\n', file_);
    std::fflush(file_);
}

void Transcript::Note(const std::string& text) {
    if (file_ == nullptr) return;
    std::lock_guard lock(mutex_);
    std::fprintf(file_, "%12.6f    %s\n", Seconds(), text.c_str());
    std::fflush(file_);
}

}  // namespace qvlink::tools
