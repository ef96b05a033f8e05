#include "outbox_cursor.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "durable_file.h"

namespace qvlink::records {

std::string CursorPathFor(const std::string& recordPath) {
    return recordPath + ".sent";
}

OutboxCursor LoadCursor(const std::string& path, std::string& notice) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::stringstream text;
    text << in.rdbuf();
    const auto object = nlohmann::json::parse(text.str(), nullptr, false);
    OutboxCursor cursor;
    const bool good = object.is_object() && object.contains("file") && object["file"].is_string() &&
                      object.contains("offset") && object["offset"].is_number_unsigned() &&
                      object.contains("line") && object["line"].is_number_unsigned();
    if (!good) {
        notice = "the note of what was sent (" + path +
                 ") is damaged: the record is sent again from its beginning (the database keeps "
                 "each line once)";
        return {};
    }
    cursor.file = object["file"].get<std::string>();
    cursor.offset = object["offset"].get<std::uint64_t>();
    cursor.line = object["line"].get<std::uint64_t>();
    return cursor;
}

Status SaveCursor(const std::string& path, const OutboxCursor& cursor) {
    const nlohmann::json object = {
        {"file", cursor.file}, {"offset", cursor.offset}, {"line", cursor.line}};
    return ReplaceFileDurably(path, object.dump() + "\n");
}

}  // namespace qvlink::records
