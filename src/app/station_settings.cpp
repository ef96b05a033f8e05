#include "station_settings.h"

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <system_error>

#include "durable_file.h"
#include "file_path.h"
#include "os_error.h"
#include "port_list.h"
#include "record_line.h"

namespace qvlink {
namespace {

using json = nlohmann::json;

constexpr std::uintmax_t MAX_FILE_BYTES = 64 * 1024;
constexpr std::size_t MAX_PORT_ITEMS = 128;
constexpr std::size_t MAX_TEXT = 4096;
constexpr int MAX_FAILURES_IN_A_ROW = 1000;
constexpr const char* DAMAGED_SUFFIX = ".damaged";
constexpr int MAX_DAMAGED_COPIES = 1000;

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
    if (!root.is_object()) return Status::Error(StatusKind::Invalid, "not a JSON object");
    StationSetup read;
    if (root.contains("ports")) {
        const json& ports = root["ports"];
        if (!ports.is_array() || ports.size() > MAX_PORT_ITEMS)
            return Status::Error(StatusKind::Invalid,
                                 "\"ports\" is not a list of at most 128 names");
        for (const json& port : ports) {
            if (!IsPlainText(port, 256))
                return Status::Error(StatusKind::Invalid,
                                     "\"ports\" holds something not a port name");
            read.ports.push_back(port.get<std::string>());
        }
        // A list that names one device twice would be thrown away by the window: the file
        // would then lose its ports on the next save.
        std::vector<std::string> expanded;
        if (const Status usable = station::ExpandPortArguments(read.ports, &expanded); !usable.ok())
            return Status::Error(StatusKind::Invalid, "\"ports\": " + usable.message());
    }
    for (auto [key, target] :
         {std::pair{"firmware", &read.firmwarePath}, {"record", &read.recordPath}}) {
        if (!root.contains(key)) continue;
        if (!IsPlainText(root[key], MAX_TEXT))
            return Status::Error(StatusKind::Invalid,
                                 std::string("\"") + key + "\" is not a file name");
        *target = root[key].get<std::string>();
    }
    // Whether the database can be used (a password in it is refused) is the window's to say.
    if (root.contains("database")) {
        if (!IsPlainText(root["database"], MAX_TEXT))
            return Status::Error(StatusKind::Invalid,
                                 "\"database\" is not a database's connection settings");
        read.database = root["database"].get<std::string>();
    }
    if (root.contains("station")) {
        const json& station = root["station"];
        if (!station.is_string() || !station::IsStationName(station.get<std::string>()))
            return Status::Error(StatusKind::Invalid, "\"station\" is not a station's name");
        read.station = station.get<std::string>();
    }
    if (root.contains("out_of_service_after")) {
        const json& after = root["out_of_service_after"];
        if (!after.is_number_integer() || after.get<long long>() < 0 ||
            after.get<long long>() > MAX_FAILURES_IN_A_ROW)
            return Status::Error(StatusKind::Invalid,
                                 "\"out_of_service_after\" is not a number from 0 to 1000");
        read.outOfServiceAfter = after.get<int>();
    }
    *setup = std::move(read);
    return Status::Ok();
}

namespace fs = std::filesystem;

// Where the settings at `file` are written: the file itself, or the regular file a symbolic
// link names (the link stays). An error when something other than a regular file is there.
Status WritablePath(const fs::path& file, fs::path* target) {
    std::error_code error;
    const fs::file_status found = fs::status(file, error);
    if (!fs::exists(found)) {
        // A missing file, or a link to one: the link is left to name what is written.
        *target =
            fs::is_symlink(fs::symlink_status(file, error)) ? fs::read_symlink(file, error) : file;
        if (target->is_relative() && target->native() != file.native())
            *target = file.parent_path() / *target;
        return Status::Ok();
    }
    if (!fs::is_regular_file(found))
        return Status::Error(StatusKind::Foreign, "cannot save the station's settings",
                             Utf8FromPath(file) + " is not a regular file");
    *target = fs::canonical(file, error);
    if (error) *target = file;
    return Status::Ok();
}

// Whether the regular file at `file` holds settings that can be used; why not, if not.
Status Check(const fs::path& file, StationSetup* setup) {
    std::error_code error;
    if (fs::file_size(file, error) > MAX_FILE_BYTES && !error)
        return Status::Error(StatusKind::Invalid, "too big to be settings");
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in && !in.eof()) return Status::Error(StatusKind::Io, "cannot be read");
    const json root = json::parse(text, nullptr, false);
    return root.is_discarded() ? Status::Error(StatusKind::Invalid, "not JSON") : Read(root, setup);
}

// Where a file that could not be used is kept: "FILE.damaged", or when that is taken by an
// earlier one, the first free of "FILE.damaged.1", "FILE.damaged.2", ...: none is lost.
fs::path DamagedPath(const fs::path& file) {
    fs::path kept = file;
    kept += DAMAGED_SUFFIX;
    std::error_code error;
    for (int copy = 1; copy <= MAX_DAMAGED_COPIES && fs::exists(fs::symlink_status(kept, error));
         ++copy) {
        kept = file;
        kept += std::string(DAMAGED_SUFFIX) + '.' + std::to_string(copy);
    }
    return kept;
}

}  // namespace

Status LoadStationSetup(const std::filesystem::path& file, StationSetup* setup) {
    *setup = {};
    const std::string name = Utf8FromPath(file.filename());
    std::error_code error;
    const fs::file_status found = fs::status(file, error);
    if (!fs::exists(found))
        return Status::Error(StatusKind::NotFound, name + " not found: starting with no ports");
    if (!fs::is_regular_file(found)) {
        return Status::Error(StatusKind::Foreign,
                             name +
                                 " is not a regular file: starting with the defaults, which are "
                                 "not saved over it");
    }
    StationSetup read;
    if (const Status checked = Check(file, &read); !checked.ok()) {
        return Status::Error(checked.kind(), name + " was not used (" + checked.message() +
                                                 "): starting with the defaults; it is kept as " +
                                                 Utf8FromPath(DamagedPath(file).filename()));
    }
    *setup = std::move(read);
    return Status::Ok();
}

Status ReadStationSetup(const std::filesystem::path& file, StationSetup* setup) {
    const std::string named = "the settings file " + Utf8FromPath(file);
    std::error_code error;
    const fs::file_status found = fs::status(file, error);
    if (error && error != std::errc::no_such_file_or_directory)
        return Status::Error(KindOfError(error), named + " cannot be read", error.message());
    if (!fs::exists(found)) return Status::Error(StatusKind::NotFound, named + " is not there");
    if (!fs::is_regular_file(found))
        return Status::Error(StatusKind::Foreign, named + " is not a regular file");
    StationSetup read;
    if (const Status checked = Check(file, &read); !checked.ok())
        return Status::Error(checked.kind(), named + " cannot be used: " + checked.message());
    *setup = std::move(read);
    return Status::Ok();
}

Status SaveStationSetup(const std::filesystem::path& file, const StationSetup& setup) {
    fs::path target;
    if (Status writable = WritablePath(file, &target); !writable.ok()) return writable;
    std::error_code error;
    StationSetup kept;
    if (fs::exists(target, error) && !Check(target, &kept).ok()) {
        // A file that could not be used is the operator's to look at: kept beside, not lost.
        const fs::path damaged = DamagedPath(target);
        fs::rename(target, damaged, error);
        if (error)
            return Status::Error(KindOfError(error), "cannot save the station's settings",
                                 "cannot keep " + Utf8FromPath(target) + " as " +
                                     Utf8FromPath(damaged) + ": " + error.message());
    }
    json root = {{"ports", setup.ports},
                 {"firmware", setup.firmwarePath},
                 {"record", setup.recordPath},
                 {"out_of_service_after", setup.outOfServiceAfter}};
    if (!setup.station.empty()) root["station"] = setup.station;
    if (!setup.database.empty()) root["database"] = setup.database;
    // Made new beside the target, never through something planted where a temporary goes.
    if (const Status saved = ReplaceFileDurably(Utf8FromPath(target), root.dump(2) + "\n");
        !saved.ok())
        return Status::Error(saved.kind(), "cannot save the station's settings", saved.ToString());
    return Status::Ok();
}

}  // namespace qvlink
