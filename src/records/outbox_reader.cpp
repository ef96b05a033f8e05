#include "outbox_reader.h"

#include <algorithm>

#include "record_json.h"

namespace qvlink::records {
namespace {

constexpr std::size_t CHUNK = 1 << 16;

bool IsBlank(const std::string& line) {
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

// Counts the newlines after `scan.offset` to the end of `file`, moving `scan` past them.
void CountOn(const OutboxFile& file, std::uint64_t& offset, std::uint64_t& lines) {
    std::string chunk(CHUNK, '\0');
    for (std::uint64_t at = offset;;) {
        const long long got = file.ReadAt(at, chunk.data(), chunk.size());
        if (got <= 0) break;
        for (long long i = 0; i < got; ++i) {
            if (chunk[static_cast<std::size_t>(i)] != '\n') continue;
            ++lines;
            offset = at + static_cast<std::uint64_t>(i) + 1;
        }
        at += static_cast<std::uint64_t>(got);
    }
}

}  // namespace

void OutboxReader::StartAgain(OutboxCursor& cursor) {
    cursor = OutboxCursor{file_.identity(), 0, 0, {}, {}};
    scan_ = Scan{file_.identity(), 0, 0};
}

std::string OutboxReader::TailBefore(std::uint64_t offset) const {
    const std::uint64_t from = offset > TAIL_BYTES ? offset - TAIL_BYTES : 0;
    std::string bytes(static_cast<std::size_t>(offset - from), '\0');
    std::size_t have = 0;
    while (have < bytes.size()) {
        const long long got = file_.ReadAt(from + have, bytes.data() + have, bytes.size() - have);
        if (got <= 0) return {};
        have += static_cast<std::size_t>(got);
    }
    return TailPrint(bytes);
}

bool OutboxReader::HoldsLocked(const OutboxCursor& cursor) const {
    if (cursor.offset == 0 || cursor.tail.empty()) return true;
    return TailBefore(cursor.offset) == cursor.tail;
}

bool OutboxReader::Holds(const OutboxCursor& cursor) {
    MutexLock lock(mutex_);
    return file_.open() && cursor.file == file_.identity() && HoldsLocked(cursor);
}

Status OutboxReader::Follow(OutboxCursor& cursor, std::string* notice) {
    MutexLock lock(mutex_);
    if (file_.open()) {
        const std::string now = OutboxFile::IdentityAt(path_);
        if (now != file_.identity()) {
            // Moved away, deleted or replaced: its last lines first, then the new file.
            if (BacklogLocked(cursor) > 0) {
                // Where it went, so that the next run finishes it if this one does not.
                cursor.path = file_.CurrentPath();
            } else if (!now.empty()) {
                if (Status status = file_.Open(path_); !status.ok()) return status;
                StartAgain(cursor);
                *notice =
                    "the record file " + path_ + " is a new one: it is sent from its beginning";
                return Status::Ok();
            }
        }
    } else {
        // A file moved away in an earlier run before all of it was sent: finished first.
        const bool movedEarlier = !cursor.path.empty() && cursor.path != path_ &&
                                  OutboxFile::IdentityAt(cursor.path) == cursor.file &&
                                  file_.Open(cursor.path).ok();
        if (movedEarlier) {
            *notice = "the record file moved from " + path_ + " to " + cursor.path +
                      " has unsent lines: they are sent before those of " + path_;
        } else {
            if (Status status = file_.Open(path_); !status.ok()) return status;
            if (cursor.file != file_.identity()) {
                if (!cursor.path.empty())
                    *notice = "the record file moved from " + path_ + " to " + cursor.path +
                              " is no longer there: its lines after line " +
                              std::to_string(cursor.line) +
                              " were not sent (send it with qvlink-records push); " + path_ +
                              " is sent from its beginning";
                else if (!cursor.file.empty())
                    *notice = "the record file " + path_ +
                              " is not the one sent before: it is sent from its beginning (the "
                              "database keeps each line once)";
                StartAgain(cursor);
            }
        }
        scan_ = Scan{file_.identity(), cursor.offset, cursor.line};
    }
    if (file_.Size() < cursor.offset) {
        *notice = "the record file " + path_ +
                  " was cut short: it is sent again from its beginning (the database keeps each "
                  "line once)";
        StartAgain(cursor);
    } else if (!HoldsLocked(cursor)) {
        *notice = "the record file " + path_ +
                  " was written over: it is sent again from its beginning (the database keeps "
                  "each line once)";
        StartAgain(cursor);
    }
    return Status::Ok();
}

std::uint64_t OutboxReader::BacklogLocked(const OutboxCursor& cursor) {
    if (!file_.open()) return 0;
    if (scan_.file != file_.identity() || scan_.offset < cursor.offset)
        scan_ = Scan{file_.identity(), cursor.offset, cursor.line};
    CountOn(file_, scan_.offset, scan_.lines);
    return scan_.lines > cursor.line ? scan_.lines - cursor.line : 0;
}

std::uint64_t OutboxReader::LinesUnderPath() {
    const std::string now = OutboxFile::IdentityAt(path_);
    if (now.empty()) {
        next_.Close();
        return 0;
    }
    if (!next_.open() || next_.identity() != now || next_.Size() < nextScan_.offset) {
        if (!next_.Open(path_).ok()) return 0;
        nextScan_ = Scan{next_.identity(), 0, 0};
    }
    CountOn(next_, nextScan_.offset, nextScan_.lines);
    return nextScan_.lines;
}

std::uint64_t OutboxReader::Backlog(const OutboxCursor& cursor) {
    MutexLock lock(mutex_);
    return BacklogLocked(cursor);
}

std::optional<Unsent> OutboxReader::Count(const OutboxCursor& cursor) {
    MutexLock lock(mutex_);
    if (!file_.open() || cursor.file != file_.identity()) return std::nullopt;
    Unsent unsent;
    unsent.lines = BacklogLocked(cursor);
    if (OutboxFile::IdentityAt(path_) != file_.identity()) {
        unsent.movedLines = unsent.lines;
        if (unsent.movedLines > 0) unsent.movedTo = file_.CurrentPath();
        unsent.lines += LinesUnderPath();
    } else {
        next_.Close();
    }
    return unsent;
}

OutboxBatch OutboxReader::Read(const OutboxCursor& cursor, std::size_t maxLines, bool atRest) {
    MutexLock lock(mutex_);
    OutboxBatch batch;
    batch.next = cursor;
    if (!file_.open()) return batch;
    std::string chunk(CHUNK, '\0');
    std::string line;
    bool tooLong = false;
    std::uint64_t at = cursor.offset;
    std::size_t taken = 0;
    const auto take = [&] {
        ++batch.next.line;
        ++taken;
        record::RecordRow row;
        if (tooLong) {
            batch.skipped.push_back({batch.next.line, "a line of more than 1 MiB"});
        } else if (IsBlank(line)) {
            --taken;  // an empty line is no record, and no fault
        } else if (const Status read = record::ParseRecordLine(line, row); read.ok()) {
            batch.rows.push_back(std::move(row));
            batch.rowLines.push_back(batch.next.line);
        } else {
            batch.skipped.push_back({batch.next.line, read.message()});
        }
        line.clear();
        tooLong = false;
    };
    bool partial = false;  // bytes of a line without its newline are read
    while (taken < maxLines) {
        const long long got = file_.ReadAt(at, chunk.data(), chunk.size());
        if (got <= 0) {
            // A file at rest is whole: its last line counts without a newline.
            if (atRest && partial) {
                take();
                batch.next.offset = at;
            }
            break;
        }
        std::size_t from = 0;
        const auto end = static_cast<std::size_t>(got);
        while (from < end && taken < maxLines) {
            const auto newline = chunk.find('\n', from);
            const std::size_t upTo = newline == std::string::npos || newline >= end ? end : newline;
            if (!tooLong) {
                line.append(chunk, from, upTo - from);
                if (line.size() > MAX_LINE) {
                    tooLong = true;
                    line.clear();
                }
            }
            partial = true;
            if (upTo == end) break;  // the line goes on in the next chunk
            from = upTo + 1;
            batch.next.offset = at + from;
            partial = false;
            take();
        }
        if (taken >= maxLines) break;
        at += static_cast<std::uint64_t>(got);
    }
    if (batch.next.offset != cursor.offset) batch.next.tail = TailBefore(batch.next.offset);
    return batch;
}

}  // namespace qvlink::records
