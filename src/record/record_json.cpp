#include "record_json.h"

#include <nlohmann/json.hpp>

namespace qvlink::record {
namespace {

// The value of `field` in `row`, null for an empty optional.
template <typename Json>
Json Value(const RecordRow& row, const RecordField& field) {
    return std::visit(
        [&](auto member) -> Json {
            const auto& value = row.*member;
            if constexpr (requires { value.has_value(); })
                return value ? Json(*value) : Json(nullptr);
            else
                return Json(value);
        },
        field.member);
}

}  // namespace

std::string RecordLineText(const RecordRow& row) {
    using json = nlohmann::ordered_json;
    json line = json::object();
    line[std::string(SCHEMA_FIELD.name)] = Value<json>(row, SCHEMA_FIELD);
    for (const RecordField& field : RECORD_FIELDS)
        if (&field != &SCHEMA_FIELD) line[std::string(field.name)] = Value<json>(row, field);
    return line.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string RowJson(const RecordRow& row) {
    using json = nlohmann::json;
    json object = json::object();
    for (const RecordField& field : RECORD_FIELDS)
        object[std::string(field.column)] = Value<json>(row, field);
    return object.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace qvlink::record
