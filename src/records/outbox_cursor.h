// How far a station's record file has reached the database: which file (its identity on the
// disk, and where it was last seen when it is no longer under the record's path), the byte and
// line after the last line the database has, and a fingerprint of the bytes just before that
// point, so that a file rewritten in place (copied over, deleted and made again with the same
// identity, cut short and grown again) is known and sent from its beginning. Kept in a small
// file beside the record, written to a new file and renamed over the old one only after the
// database committed, so that a crash at any moment leaves the old cursor or the new one, never
// half of one; at worst a batch is sent again, and the database keeps each record once.
#pragma once

#include <cstdint>
#include <string>

#include "status.h"

namespace qvlink::records {

struct OutboxCursor {
    std::string file;          // identity of the file read; empty: none yet
    std::uint64_t offset = 0;  // the byte after the last line sent
    std::uint64_t line = 0;    // whole lines before `offset`
    std::string tail{};        // TailPrint of the bytes before `offset`; empty: not known
    std::string path{};        // where that file is when it was moved away; empty: the record

    bool operator==(const OutboxCursor&) const = default;
};

// How many bytes before the cursor its fingerprint covers.
inline constexpr std::size_t TAIL_BYTES = 256;
// The fingerprint of `bytes` (the TAIL_BYTES before a cursor, or fewer at a file's start).
std::string TailPrint(const std::string& bytes);

// The cursor file beside a record: "upgrades.jsonl" → "upgrades.jsonl.sent".
std::string CursorPathFor(const std::string& recordPath);

// The cursor in `path`; none (the start) if there is no such file. A file that cannot be read
// as a cursor is the start as well, and `*notice` says so. A cursor written before fingerprints
// were kept has none, and is trusted as it is.
OutboxCursor LoadCursor(const std::string& path, std::string* notice);
Status SaveCursor(const std::string& path, const OutboxCursor& cursor);

}  // namespace qvlink::records
