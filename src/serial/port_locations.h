// Where the system's serial ports are plugged in: on Windows each COM port of the Ports class
// with the location path of its USB slot (its own, or the adapter's it belongs to) and the
// location the system shows for it ("Port_#0004.Hub_#0001"), so that a rack may name its ports
// by slot (see port_names.h). Linux names slots by its /dev/serial/by-path links instead and has
// none of these.
#pragma once

#include <string>
#include <vector>

#include "status.h"

namespace qvlink {

struct PortLocation {
    std::string port{};         // "COM7"
    std::string path{};         // "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(4)"; may be empty
    std::string information{};  // "Port_#0004.Hub_#0001"; may be empty
};

// The COM ports present now with their locations, in the system's order, each port once. Asks
// the system's device list each time (some milliseconds); any thread.
std::vector<PortLocation> SystemPortLocations();

// The one port of `ports` at location `name` (LocationMatches) in `*port`. NotFound when none
// is there; Usage when ports of more than one name are (the name must say more of its path).
[[nodiscard]] Status PortAtLocation(const std::vector<PortLocation>& ports, const std::string& name,
                                    std::string* port);

}  // namespace qvlink
