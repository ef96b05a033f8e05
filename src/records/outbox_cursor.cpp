#include "outbox_cursor.h"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "durable_file.h"
#include "file_path.h"
#include "sha256.h"

namespace qvlink::records {

std::string TailPrint(const std::string& bytes) {
    return HexDigest(Sha256(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string CursorPathFor(const std::string& recordPath) {
    return recordPath + ".sent";
}

OutboxCursor LoadCursor(const std::string& path, std::string* notice) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) return {};
    std::stringstream text;
    text << in.rdbuf();
    const auto object = nlohmann::json::parse(text.str(), nullptr, false);
    OutboxCursor cursor;
    const bool good = object.is_object() && object.contains("file") && object["file"].is_string() &&
                      object.contains("offset") && object["offset"].is_number_unsigned() &&
                      object.contains("line") && object["line"].is_number_unsigned();
    if (!good) {
        *notice = "the note of what was sent (" + path +
                  ") is damaged: the record is sent again from its beginning (the database keeps "
                  "each line once)";
        return {};
    }
    cursor.file = object["file"].get<std::string>();
    cursor.offset = object["offset"].get<std::uint64_t>();
    cursor.line = object["line"].get<std::uint64_t>();
    if (const auto tail = object.find("tail"); tail != object.end() && tail->is_string())
        cursor.tail = tail->get<std::string>();
    if (const auto moved = object.find("path"); moved != object.end() && moved->is_string())
        cursor.path = moved->get<std::string>();
    return cursor;
}

Status SaveCursor(const std::string& path, const OutboxCursor& cursor) {
    nlohmann::json object = {
        {"file", cursor.file}, {"offset", cursor.offset}, {"line", cursor.line}};
    if (!cursor.tail.empty()) object["tail"] = cursor.tail;
    if (!cursor.path.empty()) object["path"] = cursor.path;
    return ReplaceFileDurably(
        path, object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

}  // namespace qvlink::records
