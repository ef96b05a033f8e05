#include "station_startup.h"

#include <system_error>

#include "file_path.h"
#include "station_settings.h"

namespace qvlink {

Status BeginStation(const std::vector<std::string>& arguments, StationStart* start) {
    bool helpAsked = false;  // answered before a window is made (AnswerStationArguments)
    if (Status usage = ParseStationArguments(arguments, &start->arguments, &helpAsked); !usage.ok())
        return usage;
    // The settings stay with the folder the station was started from, wherever a chooser goes.
    const std::filesystem::path named =
        PathFromUtf8(start->arguments.settingsPath.value_or(STATION_SETTINGS_FILE));
    std::error_code error;
    start->settingsFile = std::filesystem::absolute(named, error);
    if (error) start->settingsFile = named;
    if (!SettingsMustBeUsable(start->arguments)) {
        start->setup = StartingSetup(start->settingsFile, start->arguments, &start->notice);
        return Status::Ok();
    }
    StationSetup kept;
    const Status read = ReadStationSetup(start->settingsFile, &kept);
    // A first start that names its ports has missed nothing; anything else is not guessed at.
    if (!read.ok() && !(read.kind() == StatusKind::NotFound && !start->arguments.ports.empty()))
        return read;
    start->setup = ApplyArguments(kept, start->arguments);
    return Status::Ok();
}

Status EndStation(const StationStart& start, const StationSetup& setup) {
    // A station without a window changes nothing it could keep: its file is the operator's.
    if (start.arguments.headless) return Status::Ok();
    return SaveStationSetup(start.settingsFile, setup);
}

}  // namespace qvlink
