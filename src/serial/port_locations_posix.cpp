#include "port_locations.h"

namespace qvlink {

// Linux names a slot by its /dev/serial/by-path link, not by a location of the port's own.
std::vector<PortLocation> SystemPortLocations() {
    return {};
}

}  // namespace qvlink
