#include "station_reload.h"

#include <algorithm>

#include "port_list.h"

namespace qvlink {
namespace {

using station::PortActivity;

bool Serving(PortActivity activity) {
    return activity == PortActivity::Running || activity == PortActivity::AwaitingPort;
}

// The firmware: loaded again when its name or its bytes changed.
void ReloadFirmware(station::Station& station, StationSetup& now, const StationSetup& next,
                    std::vector<std::string>* said) {
    if (next.firmwarePath.empty()) {
        if (!now.firmwarePath.empty())
            said->push_back("the settings name no firmware file: " + now.firmwarePath + " stays");
        return;
    }
    const std::string before = station.Firmware().sha256;
    if (const Status loaded = station.LoadFirmware(next.firmwarePath); !loaded.ok()) {
        said->push_back("the firmware file " + next.firmwarePath + " was refused (" +
                        loaded.message() + "): " +
                        (now.firmwarePath.empty() ? std::string("none is loaded")
                                                  : now.firmwarePath + " stays"));
        return;
    }
    const station::FirmwareFacts loaded = station.Firmware();
    if (loaded.sha256 != before || next.firmwarePath != now.firmwarePath)
        said->push_back("the firmware file " + next.firmwarePath + " (SHA-256 " +
                        loaded.sha256.substr(0, 12) +
                        "...) takes over at each port's next receiver");
    now.firmwarePath = next.firmwarePath;
}

}  // namespace

std::vector<std::string> ApplyReload(station::Station& station, StationSetup& now,
                                     const StationSetup& next,
                                     const station::StationOptions& options) {
    std::vector<std::string> said;
    std::vector<std::string> wanted;
    if (const Status expanded = station::ExpandPortArguments(next.ports, &wanted); !expanded.ok()) {
        said.push_back("the settings' ports cannot be used (" + expanded.message() +
                       "): nothing changes");
        return said;
    }
    // Ports removed first, so that none of them begins a receiver with a new firmware file.
    for (std::size_t i = 0; i < station.PortCount(); ++i) {
        if (std::find(wanted.begin(), wanted.end(), station.PortName(i)) != wanted.end() ||
            !Serving(station.Snapshot(i).activity))
            continue;
        station.RetirePort(i);
        said.push_back(station.PortName(i) +
                       ": removed from the settings, stops after its receiver");
    }
    ReloadFirmware(station, now, next, &said);
    for (const std::string& name : wanted) {
        std::size_t index = 0;
        while (index < station.PortCount() && station.PortName(index) != name) ++index;
        if (index == station.PortCount()) {
            if (const Status added = station.AddPort(name); !added.ok()) {
                said.push_back(added.ToString());
                continue;
            }
            said.push_back(name + ": added");
        } else if (Serving(station.Snapshot(index).activity)) {
            continue;
        } else {
            said.push_back(name + ": starts again");
        }
        // A port that cannot start says why on its own line.
        (void)station.StartPort(index, options);
    }
    now.ports = next.ports;

    std::vector<std::string> waiting;
    if (next.recordPath != now.recordPath) waiting.push_back("the record file");
    if (next.database != now.database) waiting.push_back("the database");
    if (next.station != now.station) waiting.push_back("the station's name");
    if (next.outOfServiceAfter != now.outOfServiceAfter)
        waiting.push_back("when a port goes out of service");
    if (!waiting.empty()) {
        std::string list;
        for (std::size_t i = 0; i < waiting.size(); ++i)
            list += (i == 0 ? "" : i + 1 == waiting.size() ? " and " : ", ") + waiting[i];
        said.push_back(list + " change" + (waiting.size() == 1 ? "s" : "") +
                       " at the next start, not on a reload");
    }
    return said;
}

}  // namespace qvlink
