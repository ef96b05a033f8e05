// The serial ports this system has, as an operator would pick them from a list. On Linux the
// devices /dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM* and the /dev/serial/by-path names (which stay
// tied to the physical slot an adapter is plugged into), and every COM<n> that QVLINK_COM<n>
// maps to a device; on Windows the COM ports the system lists. Sorted, each name once.
#pragma once

#include <string>
#include <vector>

namespace qvlink {

std::vector<std::string> SystemSerialPorts();

}  // namespace qvlink
