// The lines of a record file that have not reached the database yet: whole lines only (a line
// still being written waits for its newline), each read as a row or skipped and named by its
// line number, so that one bad line never holds up the ones after it. Follows the file under its
// path: a file moved away is read to its end before the new one is begun; a new or shortened
// file is read from its beginning (the database keeps each record once). One thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "outbox_cursor.h"
#include "outbox_file.h"
#include "record_row.h"

namespace qvlink::records {

struct SkippedLine {
    std::uint64_t line = 0;  // 1 for the file's first line
    std::string why;
};

struct OutboxBatch {
    std::vector<RecordRow> rows;
    std::vector<SkippedLine> skipped;
    OutboxCursor next;  // after the last line taken
};

class OutboxReader {
  public:
    explicit OutboxReader(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // Makes `cursor` fit the file under the path (see above); a change of file is said in
    // `notice`. An error when there is no file to read (yet).
    Status Follow(OutboxCursor& cursor, std::string& notice);
    // Whole lines after `cursor` (Follow first).
    std::uint64_t Backlog(const OutboxCursor& cursor);
    // The next whole lines after `cursor`, at most `maxLines` of them (rows and skipped lines).
    OutboxBatch Read(const OutboxCursor& cursor, std::size_t maxLines);

    // The longest line taken as a record; a longer one is skipped.
    static constexpr std::size_t MAX_LINE = 1 << 20;

  private:
    void StartAgain(OutboxCursor& cursor);

    std::string path_;
    OutboxFile file_;
    std::uint64_t scanOffset_ = 0;  // Backlog has counted the whole lines before this byte
    std::uint64_t scanLine_ = 0;
};

// Every line of a file, read as OutboxReader reads it, batch by batch: for `qvlink-records`.
// `each` gets every batch; an error if the file cannot be read.
template <typename Each>
Status ReadWholeFile(const std::string& path, std::size_t batchLines, Each each) {
    OutboxReader reader(path);
    OutboxCursor cursor;
    std::string notice;
    if (Status status = reader.Follow(cursor, notice); !status.ok()) return status;
    for (;;) {
        OutboxBatch batch = reader.Read(cursor, batchLines);
        if (batch.next == cursor) return Status::Ok();
        cursor = batch.next;
        each(batch);
    }
}

}  // namespace qvlink::records
