// The file a production run's record goes to. Lines are only ever appended, each whole, and
// each is on disk before Append returns, so a crash or a power cut loses at most the
// receivers still in progress.
#pragma once

#include <memory>
#include <string>

namespace qvlink::cli {

class RecordFile {
  public:
    // Opens `path` for appending, creating it when missing; nullptr with `why` when it cannot.
    static std::unique_ptr<RecordFile> Open(const std::string& path, std::string& why);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Appends `line` and a newline in one write and waits until they are on disk. Any thread
    // may call it; lines from several threads never interleave. False, with `why`, when the
    // line could not be written whole or not be flushed.
    bool Append(const std::string& line, std::string& why);

  private:
    struct Handle;
    explicit RecordFile(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> handle_;
};

}  // namespace qvlink::cli
