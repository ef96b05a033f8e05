// The file a production line's record goes to. Lines are only ever appended, each is on disk
// before Append returns (where the file can be synced), and the file only ever holds whole
// lines: a line that could not be written whole is cut away again, and a file found ending in
// the middle of a line (a crash, an earlier tool) has the first new line start on a line of its
// own. A crash or a power cut loses at most the receivers still in progress.
// The record follows its path, as log rotation and an operator's "archive the day's file"
// expect: a regular file moved away or deleted while it is open is left as it is, and the next
// line starts the file again under its path (Append says so once, in `notice`). Each append
// holds a lock on the file against other processes (flock, LockFileEx), so that a second
// program appending to the same record by mistake never cuts a line of this one's, or the
// other way round. A pipe with no reader yet is refused rather than waited for.
// Instances are thread-safe: lines from several ports never interleave (guarded by mutex_).
#pragma once

#include <memory>
#include <string>

#include "annotated_mutex.h"
#include "status.h"

namespace qvlink::station {

class RecordFile {
  public:
    // Opens `path` for appending, creating it when missing. Anything that takes lines will do:
    // a regular file, /dev/null, a pipe that a program reads.
    static Status Open(const std::string& path, std::unique_ptr<RecordFile>* file);
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    const std::string& Path() const { return path_; }

    // Appends `line` and a newline and waits until they are on disk. On a failure nothing of
    // the line stays in a regular file, and the status says why (and that it was cut away).
    // When the file had to be started again under its path first, `notice` (if given) says so.
    Status Append(const std::string& line, std::string* notice = nullptr);

  private:
    struct Handle;
    RecordFile(std::string path, std::unique_ptr<Handle> handle);
    // Platform parts; mutex_ held. Follow opens the file under path_ again when that is no
    // longer the open file, and says so in `notice`.
    Status FollowLocked(std::string* notice) QV_REQUIRES(mutex_);
    Status AppendLocked(const std::string& text) QV_REQUIRES(mutex_);

    const std::string path_;
    Mutex mutex_;
    std::unique_ptr<Handle> handle_ QV_GUARDED_BY(mutex_);
};

}  // namespace qvlink::station
