// The ports a command line names: each --port value is a port name ("COM3", a device path), a
// comma-separated list of them, or a range of COM ports ("COM1-COM8"). The result keeps the
// order given and names every port once.
#pragma once

#include <string>
#include <vector>

namespace qvlink::cli {

// Expands `arguments` into `ports`; on a malformed or repeated name returns what is wrong.
std::string ExpandPortArguments(const std::vector<std::string>& arguments,
                                std::vector<std::string>& ports);

}  // namespace qvlink::cli
