// The ports a station serves, as an operator names them: each item is a port name ("COM3", a
// device path), a comma-separated list of them, or a range of COM ports ("COM1-COM8"). Spaces
// and tabs around a name are not part of it, wherever the list is typed. The list keeps the
// order given and names every device once: two names of one device ("COM1" and "COM01", or
// "COM1" and the device it maps to) are refused, since the second could never open.
#pragma once

#include <string>
#include <vector>

#include "status.h"

namespace qvlink::station {

// More ports than this on one station is refused, wherever they are named (a command line, the
// settings file, the window's port list).
inline constexpr std::size_t MAX_PORTS = 128;

// Expands `arguments` into `ports`. On a malformed list (an empty item among the commas
// included), a device named twice or more than MAX_PORTS ports, the status (kind Usage) says
// what is wrong in the operator's words.
Status ExpandPortArguments(const std::vector<std::string>& arguments,
                           std::vector<std::string>* ports);

// The names in a line of the windows' port editors ("COM1, COM2,COM5-COM8,"), as they are
// typed: split at the commas, spaces and tabs around each taken away, empty items left out.
// Ranges stay as they are; ExpandPortArguments judges the names.
std::vector<std::string> SplitPortList(const std::string& line);

// What identifies the device behind a port name: two names with the same identity open the
// same device. Platform part: the device file itself on POSIX, the COM number on Windows.
std::string DeviceIdentity(const std::string& portName);

}  // namespace qvlink::station
