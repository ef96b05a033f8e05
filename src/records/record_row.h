// One record line read back: every field of a receiver's line, checked and typed, as the
// database keeps it and as the report counts it; a line that passes is one the database takes.
// Lines of schema 1 (before record ids) are read too; their id is derived from their bytes, so the
// same old line sent twice is still one row.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qvlink::records {

struct RecordRow {
    std::string recordId;  // lower-case UUID
    int schema = 0;
    std::string station;  // schema 1: the host
    std::string start;    // "2025-03-01T12:34:56.789Z"
    std::string end;
    std::string port;
    std::string device;
    std::optional<std::string> protocol;
    int result = 0;
    std::string resultText;
    std::optional<double> transferSeconds;
    std::optional<double> burnSeconds;
    std::int64_t resent = 0;
    std::string firmware;
    std::int64_t firmwareSize = 0;
    std::string firmwareCrc32;   // 8 upper-case hex digits
    std::string firmwareSha256;  // 64 lower-case hex digits
    int receiver = 0;
    std::string phase;
    std::string host;
    std::string program;
    std::string version;
};

// The longest station name the database's index on it takes, with room to spare.
inline constexpr std::size_t MAX_STATION_BYTES = 1000;

// A line of a record file that did not reach the database, and why: no record, or a record the
// database refused.
struct SkippedLine {
    std::uint64_t line = 0;  // 1 for the file's first line
    std::string why;
};

// Reads one line (without its newline). False with `why` ("not JSON", "no field \"port\"",
// "schema 7 is not known") when the line is not a record this program knows.
bool ParseRecordLine(std::string_view line, RecordRow& row, std::string& why);

// The row as a JSON object with the database's column names, for a batch insert.
std::string RowJson(const RecordRow& row);

// Whether `text` is a UUID written as "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (hex digits).
bool IsUuidText(std::string_view text);

}  // namespace qvlink::records
