#include "record_row.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "record_line.h"
#include "record_time.h"
#include "sha256.h"

namespace qvlink::records {
namespace {

using json = nlohmann::json;

bool IsHex(std::string_view text, std::size_t count, bool upper) {
    if (text.size() != count) return false;
    for (const char c : text) {
        const bool digit = c >= '0' && c <= '9';
        const bool letter = upper ? (c >= 'A' && c <= 'F') : (c >= 'a' && c <= 'f');
        if (!digit && !letter) return false;
    }
    return true;
}

// The id of a line written before lines had one: a UUID made of the line's SHA-256, marked as
// version 8 (made by its own rule), so that it cannot meet a random one.
std::string DerivedId(std::string_view line) {
    const Sha256Digest digest =
        Sha256(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    std::array<std::uint8_t, 16> bytes;
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = digest[i];
    return station::UuidText(bytes, 8);
}

// A database's text holds no NUL, and a batch with one is refused whole: a NUL becomes U+FFFD,
// as other bad bytes do.
std::string WithoutNul(std::string text) {
    for (std::size_t at; (at = text.find('\0')) != std::string::npos;)
        text.replace(at, 1, "\xEF\xBF\xBD");
    return text;
}

// Reads the fields one by one, so that the first one missing or of the wrong kind is named.
class FieldReader {
  public:
    explicit FieldReader(const json& object) : object_(object) {}

    bool Text(const char* name, std::string& out) {
        const json* value = Find(name);
        if (!value || !value->is_string()) return Fail(name, "text");
        out = WithoutNul(value->get<std::string>());
        return true;
    }
    bool OptionalText(const char* name, std::optional<std::string>& out) {
        const json* value = Find(name);
        if (value && value->is_null()) return (out.reset(), true);
        if (!value || !value->is_string()) return Fail(name, "text or null");
        out = WithoutNul(value->get<std::string>());
        return true;
    }
    template <typename Int>
    bool Integer(const char* name, Int& out) {
        const json* value = Find(name);
        if (!value || !value->is_number_integer()) return Fail(name, "a whole number");
        // Past the database's signed 64 bits a number would be kept as another (2^64 - 1 as -1).
        if (value->is_number_unsigned() &&
            value->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))
            return Fail(name, "a smaller number");
        const auto number = value->get<std::int64_t>();
        out = static_cast<Int>(number);
        if (static_cast<std::int64_t>(out) != number) return Fail(name, "a smaller number");
        return true;
    }
    bool OptionalNumber(const char* name, std::optional<double>& out) {
        const json* value = Find(name);
        if (value && value->is_null()) return (out.reset(), true);
        if (!value || !value->is_number()) return Fail(name, "a number or null");
        out = value->get<double>();
        return true;
    }
    bool Check(bool good, const char* name, const char* kind) { return good || Fail(name, kind); }
    const std::string& why() const { return why_; }

  private:
    const json* Find(const char* name) const {
        const auto at = object_.find(name);
        return at == object_.end() ? nullptr : &*at;
    }
    bool Fail(const char* name, const char* kind) {
        why_ = Find(name) ? std::string("field \"") + name + "\" is not " + kind
                          : std::string("no field \"") + name + "\"";
        return false;
    }

    const json& object_;
    std::string why_;
};

}  // namespace

bool IsUuidText(std::string_view text) {
    if (text.size() != 36) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash != (text[i] == '-')) return false;
        if (!dash && !std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return true;
}

bool ParseRecordLine(std::string_view line, RecordRow& row, std::string& why) {
    const json object = json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        why = "not a JSON object";
        return false;
    }
    FieldReader field(object);
    row = RecordRow{};
    if (!field.Integer("schema", row.schema)) return (why = field.why(), false);
    if (row.schema != 1 && row.schema != 2) {
        why = "schema " + std::to_string(row.schema) + " is not known to this program";
        return false;
    }
    bool good =
        field.Text("start", row.start) &&
        field.Check(UtcMicros(row.start).has_value(), "start", "a UTC time") &&
        field.Text("end", row.end) &&
        field.Check(UtcMicros(row.end).has_value(), "end", "a UTC time") &&
        field.Text("port", row.port) && field.Text("device", row.device) &&
        field.OptionalText("protocol", row.protocol) && field.Integer("result", row.result) &&
        field.Text("result_text", row.resultText) &&
        field.OptionalNumber("transfer_seconds", row.transferSeconds) &&
        field.OptionalNumber("burn_seconds", row.burnSeconds) &&
        field.Integer("resent", row.resent) && field.Text("firmware", row.firmware) &&
        field.Integer("firmware_size", row.firmwareSize) &&
        field.Text("firmware_crc32", row.firmwareCrc32) &&
        field.Check(IsHex(row.firmwareCrc32, 8, true), "firmware_crc32", "8 hex digits") &&
        field.Text("firmware_sha256", row.firmwareSha256) &&
        field.Check(IsHex(row.firmwareSha256, 64, false), "firmware_sha256", "64 hex digits") &&
        field.Integer("receiver", row.receiver) && field.Text("phase", row.phase) &&
        field.Text("host", row.host) && field.Text("program", row.program) &&
        field.Text("version", row.version);
    if (good && row.schema >= 2) {
        good = field.Text("record_id", row.recordId) &&
               field.Check(IsUuidText(row.recordId), "record_id", "a UUID") &&
               field.Text("station", row.station);
        for (char& c : row.recordId)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (good) {
        row.recordId = DerivedId(line);
        row.station = row.host;
    }
    // The database indexes the station: a name past the index's limit would be refused with
    // every line of its batch.
    if (good && row.station.size() > MAX_STATION_BYTES) {
        why = std::string("field \"") + (row.schema >= 2 ? "station" : "host") +
              "\" is longer than " + std::to_string(MAX_STATION_BYTES) + " bytes";
        return false;
    }
    if (!good) why = field.why();
    return good;
}

std::string RowJson(const RecordRow& row) {
    json object = {
        {"record_id", row.recordId},
        {"schema", row.schema},
        {"station", row.station},
        {"start_time", row.start},
        {"end_time", row.end},
        {"port", row.port},
        {"device", row.device},
        {"protocol", row.protocol ? json(*row.protocol) : json(nullptr)},
        {"result", row.result},
        {"result_text", row.resultText},
        {"transfer_seconds", row.transferSeconds ? json(*row.transferSeconds) : json(nullptr)},
        {"burn_seconds", row.burnSeconds ? json(*row.burnSeconds) : json(nullptr)},
        {"resent", row.resent},
        {"firmware", row.firmware},
        {"firmware_size", row.firmwareSize},
        {"firmware_crc32", row.firmwareCrc32},
        {"firmware_sha256", row.firmwareSha256},
        {"receiver", row.receiver},
        {"phase", row.phase},
        {"host", row.host},
        {"program", row.program},
        {"version", row.version},
    };
    return object.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace qvlink::records
