#include "station_startup.h"

#include <system_error>

#include "station_settings.h"

namespace qvlink {

Status BeginStation(const std::vector<std::string>& arguments, StationStart* start) {
    bool helpAsked = false;  // answered before a window is made (AnswerStationArguments)
    if (Status usage = ParseStationArguments(arguments, &start->arguments, &helpAsked); !usage.ok())
        return usage;
    // The settings stay with the folder the station was started from, wherever a chooser goes.
    std::error_code error;
    start->settingsFile = std::filesystem::absolute(STATION_SETTINGS_FILE, error);
    if (error) start->settingsFile = STATION_SETTINGS_FILE;
    start->setup = StartingSetup(start->settingsFile, start->arguments, &start->notice);
    return Status::Ok();
}

Status EndStation(const StationStart& start, const StationSetup& setup) {
    return SaveStationSetup(start.settingsFile, setup);
}

}  // namespace qvlink
