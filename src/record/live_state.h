// A station's live state: what each of its ports is doing now, as the record database keeps it
// (one row per station and port, refreshed as it changes). A plain value below both the station
// that makes it and the forwarder that sends it; the words of each port's state class are the
// database's, and its table only takes these.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace qvlink::record {

// What a port is doing, in four classes: serving receivers; serving but waiting for its device
// to come back; taken out of service after too many failures in a row; or not serving at all
// (not started, stopped, lost, never opened).
enum class PortService { Serving, Waiting, OutOfService, NotServing };

inline constexpr std::array<PortService, 4> PORT_SERVICES{
    PortService::Serving, PortService::Waiting, PortService::OutOfService, PortService::NotServing};

// The database's word for a class: "serving", "waiting", "out of service", "not serving".
const char* ServiceWord(PortService service);

// The word station_health gives a port whose station has not been heard from for a while.
inline constexpr const char* SILENT = "silent";

struct PortLive {
    std::string port;
    std::string word;  // the operator's word for the port now ("Upgrade Completed"); may be empty
    PortService service = PortService::NotServing;
    int completed = 0;
    int failed = 0;  // a receiver's cancel counted as failed, as everywhere
    friend bool operator==(const PortLive&, const PortLive&) = default;
};

struct StationLive {
    std::string station;  // as its record lines name it
    std::string program;
    std::string version;
    std::string firmwareSha256;  // empty before a firmware file was loaded
    std::vector<PortLive> ports;
    friend bool operator==(const StationLive&, const StationLive&) = default;
};

}  // namespace qvlink::record
