// The file a production line's record goes to. Lines are only ever appended, each is on disk
// before Append returns (where the file can be synced), and the file only ever holds whole
// lines: a line that could not be written whole is cut away again, and a file found ending in
// the middle of a line (a crash, an earlier tool) has the first new line start on a line of its
// own. A crash or a power cut loses at most the receivers still in progress.
// Instances are thread-safe: lines from several ports never interleave (guarded by mutex_).
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "status.h"

namespace qvlink::station {

class RecordFile {
  public:
    // Opens `path` for appending, creating it when missing. Anything that takes lines will do:
    // a regular file, /dev/null, a pipe.
    static Status Open(const std::string& path, std::unique_ptr<RecordFile>* file);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Appends `line` and a newline and waits until they are on disk. On a failure nothing of
    // the line stays in a regular file, and the status says why (and that it was cut away).
    Status Append(const std::string& line);

  private:
    struct Handle;
    explicit RecordFile(std::unique_ptr<Handle> handle, bool needsNewline);
    Status AppendLocked(const std::string& text);  // platform part; mutex_ held

    std::mutex mutex_;
    std::unique_ptr<Handle> handle_;
    bool needsNewline_;  // the file ends in the middle of a line; guarded by mutex_
};

}  // namespace qvlink::station
