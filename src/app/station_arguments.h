// The station window's command line, the same for the Qt and the Win32 window:
//   qvlink-station [--headless] [--settings FILE] [--port PORTS]... [--record FILE]
//                  [--station NAME] [--database CONNINFO] [--start] [FIRMWARE]
// What it names replaces what the settings file kept; --help and --version are answered on
// stdout before any window or display is needed.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "station_setup.h"
#include "status.h"

namespace qvlink {

struct StationArguments {
    std::vector<std::string> ports;  // as given, each a name, a list or a range
    std::optional<std::string> recordPath;
    std::optional<std::string> firmwarePath;
    std::optional<std::string> station;
    std::optional<std::string> database;
    std::optional<std::string> settingsPath;  // the settings file instead of the start folder's
    bool start = false;                       // start every port at once
    bool headless = false;  // no window: serve at once, every port event a line on stdout
    // Windows: run by the service control manager (as headless, its settings and log in the
    // service's folder), or register or remove that service.
    bool service = false;
    bool installService = false;
    bool removeService = false;
};

// Parses `arguments` (without the program's name). On a usage error the status says what is
// wrong; `helpAsked` is set (and the status ok) when --help was given.
Status ParseStationArguments(const std::vector<std::string>& arguments, StationArguments* parsed,
                             bool* helpAsked);
std::string StationUsage();

// `setup` with what the command line names put in place of what was kept.
StationSetup ApplyArguments(StationSetup setup, const StationArguments& arguments);

// The setup a start begins with: what `settingsFile` kept, with what the command line names in
// its place. `notice` says when the kept settings were not used, unless the file is simply not
// there yet and the command line names the ports.
StationSetup StartingSetup(const std::filesystem::path& settingsFile,
                           const StationArguments& arguments, std::string* notice);

// Whether settings that cannot be used end the start instead of giving way to the defaults: a
// file the command line names, and any file of a station without a window (a service must not
// start on defaults nobody chose).
bool SettingsMustBeUsable(const StationArguments& arguments);

// The status to end the program with when the arguments asked for the help or the version
// (printed by then); nullopt when the window should open.
std::optional<int> AnswerStationArguments(int argc, char** argv);

}  // namespace qvlink
