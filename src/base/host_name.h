// The name of the machine a station runs on, for its record; "unknown" when the system does not
// say.
#pragma once

#include <string>

namespace qvlink::station {

std::string HostName();

}  // namespace qvlink::station
