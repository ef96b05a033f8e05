#include "outbox_reader.h"

#include <algorithm>

namespace qvlink::records {
namespace {

constexpr std::size_t CHUNK = 1 << 16;

bool IsBlank(const std::string& line) {
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

}  // namespace

void OutboxReader::StartAgain(OutboxCursor& cursor) {
    cursor = OutboxCursor{file_.identity(), 0, 0};
    scanOffset_ = 0;
    scanLine_ = 0;
}

Status OutboxReader::Follow(OutboxCursor& cursor, std::string& notice) {
    if (file_.open()) {
        const std::string now = OutboxFile::IdentityAt(path_);
        // Moved away, deleted or replaced: its last lines first, then the new file.
        if (now != file_.identity() && !now.empty() && Backlog(cursor) == 0) {
            if (Status status = file_.Open(path_); !status.ok()) return status;
            StartAgain(cursor);
            notice = "the record file " + path_ + " is a new one: it is sent from its beginning";
            return Status::Ok();
        }
    } else {
        if (Status status = file_.Open(path_); !status.ok()) return status;
        scanOffset_ = 0;
        scanLine_ = 0;
        if (cursor.file != file_.identity()) {
            if (!cursor.file.empty())
                notice = "the record file " + path_ +
                         " is not the one sent before: it is sent from its beginning (the "
                         "database keeps each line once)";
            StartAgain(cursor);
        }
    }
    if (file_.Size() < cursor.offset) {
        notice = "the record file " + path_ +
                 " was cut short: it is sent again from its beginning (the database keeps each "
                 "line once)";
        StartAgain(cursor);
    }
    return Status::Ok();
}

std::uint64_t OutboxReader::Backlog(const OutboxCursor& cursor) {
    if (!file_.open()) return 0;
    if (scanOffset_ < cursor.offset) {
        scanOffset_ = cursor.offset;
        scanLine_ = cursor.line;
    }
    std::string chunk(CHUNK, '\0');
    for (std::uint64_t at = scanOffset_;;) {
        const long long got = file_.ReadAt(at, chunk.data(), chunk.size());
        if (got <= 0) break;
        for (long long i = 0; i < got; ++i) {
            if (chunk[static_cast<std::size_t>(i)] != '\n') continue;
            ++scanLine_;
            scanOffset_ = at + static_cast<std::uint64_t>(i) + 1;
        }
        at += static_cast<std::uint64_t>(got);
    }
    return scanLine_ > cursor.line ? scanLine_ - cursor.line : 0;
}

OutboxBatch OutboxReader::Read(const OutboxCursor& cursor, std::size_t maxLines) {
    OutboxBatch batch;
    batch.next = cursor;
    if (!file_.open()) return batch;
    std::string chunk(CHUNK, '\0');
    std::string line;
    bool tooLong = false;
    std::uint64_t at = cursor.offset;
    std::size_t taken = 0;
    while (taken < maxLines) {
        const long long got = file_.ReadAt(at, chunk.data(), chunk.size());
        if (got <= 0) break;
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
            if (upTo == end) break;  // the line goes on in the next chunk
            from = upTo + 1;
            ++batch.next.line;
            batch.next.offset = at + from;
            ++taken;
            RecordRow row;
            std::string why;
            if (tooLong) {
                batch.skipped.push_back({batch.next.line, "a line of more than 1 MiB"});
            } else if (IsBlank(line)) {
                --taken;  // an empty line is no record, and no fault
            } else if (ParseRecordLine(line, row, why)) {
                batch.rows.push_back(std::move(row));
            } else {
                batch.skipped.push_back({batch.next.line, why});
            }
            line.clear();
            tooLong = false;
        }
        if (taken >= maxLines) break;
        at += static_cast<std::uint64_t>(got);
    }
    return batch;
}

}  // namespace qvlink::records
