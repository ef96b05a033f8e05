#include "station_settings.h"

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <system_error>

namespace qvlink {
namespace {

using json = nlohmann::json;

constexpr std::uintmax_t MAX_FILE_BYTES = 64 * 1024;
constexpr std::size_t MAX_PORT_ITEMS = 128;
constexpr std::size_t MAX_TEXT = 4096;
constexpr int MAX_FAILURES_IN_A_ROW = 1000;

bool IsPlainText(const json& value, std::size_t limit) {
    if (!value.is_string()) return false;
    const auto& text = value.get_ref<const std::string&>();
    if (text.size() > limit) return false;
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

// The setup `root` holds, or why it cannot be used.
Status Read(const json& root, StationSetup* setup) {
    if (!root.is_object()) return Status::Error("not a JSON object");
    StationSetup read;
    if (root.contains("ports")) {
        const json& ports = root["ports"];
        if (!ports.is_array() || ports.size() > MAX_PORT_ITEMS)
            return Status::Error("\"ports\" is not a list of at most 128 names");
        for (const json& port : ports) {
            if (!IsPlainText(port, 256))
                return Status::Error("\"ports\" holds something not a port name");
            read.ports.push_back(port.get<std::string>());
        }
    }
    for (auto [key, target] :
         {std::pair{"firmware", &read.firmwarePath}, {"record", &read.recordPath}}) {
        if (!root.contains(key)) continue;
        if (!IsPlainText(root[key], MAX_TEXT))
            return Status::Error(std::string("\"") + key + "\" is not a file name");
        *target = root[key].get<std::string>();
    }
    if (root.contains("out_of_service_after")) {
        const json& after = root["out_of_service_after"];
        if (!after.is_number_integer() || after.get<long long>() < 0 ||
            after.get<long long>() > MAX_FAILURES_IN_A_ROW)
            return Status::Error("\"out_of_service_after\" is not a number from 0 to 1000");
        read.outOfServiceAfter = after.get<int>();
    }
    *setup = std::move(read);
    return Status::Ok();
}

}  // namespace

StationSetup LoadStationSetup(const std::filesystem::path& file, std::string* notice) {
    const std::string name = file.filename().string();
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error) {
        *notice = name + " not found: starting with no ports";
        return {};
    }
    if (size > MAX_FILE_BYTES) {
        *notice = name + " is too big to be settings: starting with the defaults";
        return {};
    }
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    StationSetup setup;
    Status read = Status::Error("cannot be read");
    if (in || in.eof()) {
        const json root = json::parse(text, nullptr, false);
        read = root.is_discarded() ? Status::Error("not JSON") : Read(root, &setup);
    }
    if (!read.ok()) {
        *notice = name + " was not used (" + read.message() + "): starting with the defaults";
        return {};
    }
    return setup;
}

Status SaveStationSetup(const std::filesystem::path& file, const StationSetup& setup) {
    const json root = {{"ports", setup.ports},
                       {"firmware", setup.firmwarePath},
                       {"record", setup.recordPath},
                       {"out_of_service_after", setup.outOfServiceAfter}};
    std::filesystem::path temporary = file;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << root.dump(2) << '\n';
        out.close();
        if (!out) return Status::Error("cannot save the station's settings", temporary.string());
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return Status::Error("cannot save the station's settings", file.string());
    }
    return Status::Ok();
}

}  // namespace qvlink
