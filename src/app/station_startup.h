// How the station window starts and ends, the same for the Qt and the Win32 window: the command
// line read, the settings file fixed to the folder the station was started from (whatever folder
// a file chooser goes to later), the setup to start with and what to say about it; at the end,
// the setup the operator ended with kept for the next start. The mains only add their toolkit.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "station_arguments.h"
#include "station_setup.h"
#include "status.h"

namespace qvlink {

// A usage error ends the program with this status, after StationUsage() is shown.
inline constexpr int STATION_EXIT_USAGE = 2;

struct StationStart {
    StationArguments arguments;
    std::filesystem::path settingsFile;  // absolute where it can be made so
    StationSetup setup;
    std::string notice;  // why the kept settings were not used; empty when they were
};

// `arguments` without the program's name. Not ok on a usage error (Usage), and when settings
// that must be usable (SettingsMustBeUsable) are not: the status names the file and why.
Status BeginStation(const std::vector<std::string>& arguments, StationStart* start);

// Keeps `setup` in the settings file `start` chose; a station without a window keeps nothing.
Status EndStation(const StationStart& start, const StationSetup& setup);

}  // namespace qvlink
