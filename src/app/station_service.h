// The station as a Windows service: run by the service control manager (--service), and its
// registration (--install-service, --remove-service). The service "QVLinkStation" runs
// `qvlink-station.exe --service` as LocalSystem with the settings in
// %ProgramData%\Quorvane Link\station.json, its working folder, and appends what a station
// without a window prints to station.log there. It starts on demand (or at boot once told so),
// is restarted after a crash, and is given time on a shutdown (pre-shutdown) for every port to
// stop as Stop all does and what is unsent to reach the database. Windows only; on the main
// thread.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "status.h"

namespace qvlink {

inline constexpr wchar_t STATION_SERVICE[] = L"QVLinkStation";

// %ProgramData%\Quorvane Link: the service's settings, log and (unless the settings say
// otherwise) record.
Status StationServiceFolder(std::filesystem::path* folder);

// Serves until the service control manager stops it; the program's exit status (2: settings
// that cannot serve, said in the log). `arguments` without the program's name, --service among
// them; --settings names another file than the service's.
int RunStationService(const std::vector<std::string>& arguments);

// Registers the service (or brings a registration up to this program), makes its folder and a
// sample station.json when there is none, and says what was done on stdout; 0, or 1 with why
// on stderr.
int InstallStationService();
// Stops the service (waiting a minute at most) and removes it; 0 also when it is not there.
int RemoveStationService();

}  // namespace qvlink
