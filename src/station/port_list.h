// The ports a station serves, as an operator names them: each item is a port name ("COM3", a
// device path), a comma-separated list of them, or a range of COM ports ("COM1-COM8"). The
// list keeps the order given and names every device once: two names of one device ("COM1" and
// "COM01", or "COM1" and the device it maps to) are refused, since the second could never open.
#pragma once

#include <string>
#include <vector>

#include "status.h"

namespace qvlink::station {

// More ports than this on one station is refused, wherever they are named (a command line, the
// settings file, the window's port list).
inline constexpr std::size_t MAX_PORTS = 128;

// Expands `arguments` into `ports`. On a malformed list, a device named twice or more than
// MAX_PORTS ports, the status's message says what is wrong in the operator's words.
Status ExpandPortArguments(const std::vector<std::string>& arguments,
                           std::vector<std::string>* ports);

// What identifies the device behind a port name: two names with the same identity open the
// same device. Platform part: the device file itself on POSIX, the COM number on Windows.
std::string DeviceIdentity(const std::string& portName);

}  // namespace qvlink::station
