// A timestamped record of every byte that crosses a line, one direction per record, for
// --log and --trace files. Times are seconds since the transcript was opened.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace qvlink::tools {

class Transcript {
  public:
    // Opens `path` for writing; Active() tells whether that worked.
    explicit Transcript(const std::string& path);
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    bool Active() const { return file_ != nullptr; }
    // Records `count` bytes; `arrow` is "->" for bytes sent and "<-" for bytes received.
    void Record(const char* arrow, const std::uint8_t* bytes, std::size_t count);
    // Records a line of text, such as a verdict.
    void Note(const std::string& text);

  private:
    double Seconds() const;

    std::FILE* file_ = nullptr;
    std::mutex mutex_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace qvlink::tools
