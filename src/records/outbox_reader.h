// The lines of a record file that have not reached the database yet: whole lines only (a line
// still being written waits for its newline), each read as a row or skipped and named by its
// line number, so that one bad line never holds up the ones after it. Follows the file under its
// path: a file moved away is read to its end before the new one is begun, in this run or, as the
// cursor says where it went, in the next; a new, shortened or rewritten file is read from its
// beginning (the database keeps each record once).
//
// Threads: Follow, Read and Holds on one thread (the forwarder's); Count on any thread, so that
// whoever shows how many lines are unsent counts them when it shows them. The open files and
// what was counted are guarded by the reader's mutex, held only while the disk is read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "annotated_mutex.h"
#include "outbox_cursor.h"
#include "outbox_file.h"
#include "record_fields.h"
#include "skipped_line.h"

namespace qvlink::records {

struct OutboxBatch {
    std::vector<record::RecordRow> rows;
    std::vector<std::uint64_t> rowLines;  // the line number of each row
    std::vector<SkippedLine> skipped;
    OutboxCursor next;  // after the last line taken
};

// The whole lines not yet in the database.
struct Unsent {
    std::uint64_t lines = 0;       // all of them
    std::uint64_t movedLines = 0;  // of them, in a file moved away from the record's path
    std::string movedTo;           // where that file is now; empty when it was deleted
};

class OutboxReader {
  public:
    explicit OutboxReader(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Makes `cursor` fit the file under the path (see above); a change of file is said in
    // `*notice` (left as it is otherwise). An error when there is no file to read (yet).
    Status Follow(OutboxCursor& cursor, std::string* notice) QV_EXCLUDES(mutex_);
    // Whole lines after `cursor` in the file being read.
    std::uint64_t Backlog(const OutboxCursor& cursor) QV_EXCLUDES(mutex_);
    // The lines after `cursor`, which Follow made, with those of the file under the path when
    // another one is being finished; none when the reader has no file open or has
    // turned to another file since.
    std::optional<Unsent> Count(const OutboxCursor& cursor) QV_EXCLUDES(mutex_);
    // The next whole lines after `cursor`, at most `maxLines` of them (rows and skipped lines).
    // `atRest`: the file is complete (brought to be sent), so a last line without its newline is
    // taken too; a station's record may be in the middle of writing one.
    OutboxBatch Read(const OutboxCursor& cursor, std::size_t maxLines, bool atRest = false)
        QV_EXCLUDES(mutex_);
    // Whether the bytes before `cursor` are still the ones it was made after; false when the
    // file was rewritten under it (the next Follow begins it again).
    bool Holds(const OutboxCursor& cursor) QV_EXCLUDES(mutex_);

    // The longest line taken as a record; a longer one is skipped.
    static constexpr std::size_t MAX_LINE = 1 << 20;

  private:
    // Whole lines of one file counted so far: those before `offset`.
    struct Scan {
        std::string file;
        std::uint64_t offset = 0;
        std::uint64_t lines = 0;
    };

    void StartAgain(OutboxCursor& cursor) QV_REQUIRES(mutex_);
    std::uint64_t BacklogLocked(const OutboxCursor& cursor) QV_REQUIRES(mutex_);
    std::uint64_t LinesUnderPath() QV_REQUIRES(mutex_);
    bool HoldsLocked(const OutboxCursor& cursor) const QV_REQUIRES(mutex_);
    std::string TailBefore(std::uint64_t offset) const QV_REQUIRES(mutex_);

    const std::string path_;
    Mutex mutex_;
    OutboxFile file_ QV_GUARDED_BY(mutex_);  // the file being sent
    Scan scan_ QV_GUARDED_BY(mutex_);
    // The file under the path while a file moved away is finished, for its count.
    OutboxFile next_ QV_GUARDED_BY(mutex_);
    Scan nextScan_ QV_GUARDED_BY(mutex_);
};

// Every line of a file at rest, read as OutboxReader reads it, batch by batch: for
// `qvlink-records`. `each` gets every batch; an error if the file cannot be read.
template <typename Each>
Status ReadWholeFile(const std::string& path, std::size_t batchLines, Each each) {
    OutboxReader reader(path);
    OutboxCursor cursor;
    std::string notice;
    if (Status status = reader.Follow(cursor, &notice); !status.ok()) return status;
    for (;;) {
        OutboxBatch batch = reader.Read(cursor, batchLines, true);
        if (batch.next == cursor) return Status::Ok();
        cursor = batch.next;
        each(batch);
    }
}

}  // namespace qvlink::records
