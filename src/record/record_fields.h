// The fields of a receiver's record, listed once. Each field's name in the line, its column in
// the database's table records, its SQL type, whether it may be null, the schema it came with
// and the form its text keeps: the line writer, the line reader, the database's row, the
// INSERT's columns and the CREATE TABLE all follow this one table, so a field added here reaches
// every one of them and a field missing from one of them cannot happen.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace qvlink::record {

// The schema this program writes. 2: every line has its own "record_id" (a random UUID) and the
// "station" that wrote it, so that one receiver's line is one row wherever it is gathered,
// however often it is sent. Lines of schema 1 (before record ids) are read too.
inline constexpr int RECORD_SCHEMA = 2;
inline constexpr int OLDEST_SCHEMA = 1;

// One receiver's record, every field typed as the database keeps it.
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

// The member of RecordRow a field is kept in; an optional one may be null in the line and in
// the database, every other one may not.
using FieldMember =
    std::variant<std::string RecordRow::*, std::optional<std::string> RecordRow::*,
                 int RecordRow::*, std::int64_t RecordRow::*, std::optional<double> RecordRow::*>;

// What a text field's value must be beyond text, and the words a reader refuses it with.
enum class TextForm { Any, UtcTime, Uuid, Crc32Hex, Sha256Hex };

struct RecordField {
    std::string_view name;     // in the line
    std::string_view column;   // in the table records
    std::string_view sqlType;  // the column's type
    FieldMember member;
    int since = OLDEST_SCHEMA;  // the first schema whose lines have it
    TextForm form = TextForm::Any;
    bool key = false;  // the table's primary key
};

constexpr bool Nullable(const RecordField& field) {
    return std::holds_alternative<std::optional<std::string> RecordRow::*>(field.member) ||
           std::holds_alternative<std::optional<double> RecordRow::*>(field.member);
}

// In the database's column order. A line opens with "schema", so that a reader knows the
// layout before anything else, and then has the others in this order.
inline constexpr std::array<RecordField, 22> RECORD_FIELDS{{
    {"record_id", "record_id", "uuid", &RecordRow::recordId, 2, TextForm::Uuid, true},
    {"schema", "schema", "integer", &RecordRow::schema},
    {"station", "station", "text", &RecordRow::station, 2},
    {"start", "start_time", "timestamptz", &RecordRow::start, 1, TextForm::UtcTime},
    {"end", "end_time", "timestamptz", &RecordRow::end, 1, TextForm::UtcTime},
    {"port", "port", "text", &RecordRow::port},
    {"device", "device", "text", &RecordRow::device},
    {"protocol", "protocol", "text", &RecordRow::protocol},
    {"result", "result", "integer", &RecordRow::result},
    {"result_text", "result_text", "text", &RecordRow::resultText},
    {"transfer_seconds", "transfer_seconds", "double precision", &RecordRow::transferSeconds},
    {"burn_seconds", "burn_seconds", "double precision", &RecordRow::burnSeconds},
    {"resent", "resent", "bigint", &RecordRow::resent},
    {"firmware", "firmware", "text", &RecordRow::firmware},
    {"firmware_size", "firmware_size", "bigint", &RecordRow::firmwareSize},
    {"firmware_crc32", "firmware_crc32", "text", &RecordRow::firmwareCrc32, 1, TextForm::Crc32Hex},
    {"firmware_sha256", "firmware_sha256", "text", &RecordRow::firmwareSha256, 1,
     TextForm::Sha256Hex},
    {"receiver", "receiver", "integer", &RecordRow::receiver},
    {"phase", "phase", "text", &RecordRow::phase},
    {"host", "host", "text", &RecordRow::host},
    {"program", "program", "text", &RecordRow::program},
    {"version", "version", "text", &RecordRow::version},
}};

// The field a line opens with.
inline constexpr const RecordField& SCHEMA_FIELD = RECORD_FIELDS[1];
static_assert(SCHEMA_FIELD.name == "schema");

}  // namespace qvlink::record
