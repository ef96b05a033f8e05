// ParseRecordLine (record_json.h): the line's fields read in RECORD_FIELDS' order, so that the
// first one missing or of the wrong kind is named.
#include <cctype>
#include <cstdint>
#include <nlohmann/json.hpp>

#include "record_id.h"
#include "record_json.h"
#include "utc_time.h"

namespace qvlink::record {
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

// A database's text holds no NUL, and a batch with one is refused whole: a NUL becomes U+FFFD,
// as other bad bytes do.
std::string WithoutNul(std::string text) {
    for (std::size_t at; (at = text.find('\0')) != std::string::npos;)
        text.replace(at, 1, "\xEF\xBF\xBD");
    return text;
}

// Whether `text` has the form `form` asks, and the words for one that has not.
bool HasForm(const std::string& text, TextForm form, const char*& kind) {
    switch (form) {
        case TextForm::Any:
            return true;
        case TextForm::UtcTime:
            kind = "a UTC time";
            return UtcMicros(text).has_value();
        case TextForm::Uuid:
            kind = "a UUID";
            return IsUuidText(text);
        case TextForm::Crc32Hex:
            kind = "8 hex digits";
            return IsHex(text, 8, true);
        case TextForm::Sha256Hex:
            kind = "64 hex digits";
            return IsHex(text, 64, false);
    }
    return true;
}

// Reads the fields one by one into a row, keeping the words for the first that fails.
class FieldReader {
  public:
    FieldReader(const json& object, RecordRow& row) : object_(object), row_(row) {}

    bool Read(const RecordField& field) {
        const std::string name(field.name);
        return std::visit([&](auto member) { return Read(name, field.form, row_.*member); },
                          field.member);
    }
    const std::string& why() const { return why_; }

  private:
    bool Read(const std::string& name, TextForm form, std::string& out) {
        const json* value = Find(name);
        if (!value || !value->is_string()) return Fail(name, "text");
        out = WithoutNul(value->get<std::string>());
        const char* kind = "";
        return HasForm(out, form, kind) || Fail(name, kind);
    }
    bool Read(const std::string& name, TextForm, std::optional<std::string>& out) {
        const json* value = Find(name);
        if (value && value->is_null()) return (out.reset(), true);
        if (!value || !value->is_string()) return Fail(name, "text or null");
        out = WithoutNul(value->get<std::string>());
        return true;
    }
    template <typename Int>
    bool Read(const std::string& name, TextForm, Int& out) {
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
    bool Read(const std::string& name, TextForm, std::optional<double>& out) {
        const json* value = Find(name);
        if (value && value->is_null()) return (out.reset(), true);
        if (!value || !value->is_number()) return Fail(name, "a number or null");
        out = value->get<double>();
        return true;
    }

    const json* Find(const std::string& name) const {
        const auto at = object_.find(name);
        return at == object_.end() ? nullptr : &*at;
    }
    bool Fail(const std::string& name, const char* kind) {
        why_ = Find(name) ? "field \"" + name + "\" is not " + kind : "no field \"" + name + "\"";
        return false;
    }

    const json& object_;
    RecordRow& row_;
    std::string why_;
};

Status NoRecord(std::string why) {
    return Status::Error(StatusKind::Invalid, std::move(why));
}

}  // namespace

Status ParseRecordLine(std::string_view line, RecordRow& row) {
    const json object = json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object()) return NoRecord("not a JSON object");
    row = RecordRow{};
    FieldReader reader(object, row);
    if (!reader.Read(SCHEMA_FIELD)) return NoRecord(reader.why());
    if (row.schema < OLDEST_SCHEMA || row.schema > RECORD_SCHEMA)
        return NoRecord("schema " + std::to_string(row.schema) + " is not known to this program");
    // The fields every schema has, then those a later one added, each group in the table's
    // order.
    for (int since = OLDEST_SCHEMA; since <= row.schema; ++since)
        for (const RecordField& field : RECORD_FIELDS)
            if (field.since == since && &field != &SCHEMA_FIELD && !reader.Read(field))
                return NoRecord(reader.why());
    if (row.schema >= 2) {
        for (char& c : row.recordId)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else {
        row.recordId = DerivedRecordId(line);
        row.station = row.host;
    }
    // The database indexes the station: a name past the index's limit would be refused with
    // every line of its batch.
    if (row.station.size() > MAX_STATION_BYTES)
        return NoRecord(std::string("field \"") + (row.schema >= 2 ? "station" : "host") +
                        "\" is longer than " + std::to_string(MAX_STATION_BYTES) + " bytes");
    return Status::Ok();
}

}  // namespace qvlink::record
