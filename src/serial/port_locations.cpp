#include "port_locations.h"

#include "port_names.h"

namespace qvlink {

Status PortAtLocation(const std::vector<PortLocation>& ports, const std::string& name,
                      std::string* port) {
    std::vector<std::string> found;
    for (const PortLocation& each : ports) {
        if (each.path.empty() || !LocationMatches(name, each.path)) continue;
        bool known = false;
        for (const std::string& seen : found) known = known || seen == each.port;
        if (!known) found.push_back(each.port);
    }
    if (found.empty())
        return Status::Error(StatusKind::NotFound, name, "no serial port is plugged in there");
    if (found.size() > 1) {
        std::string names;
        for (const std::string& each : found) names += (names.empty() ? "" : ", ") + each;
        return Status::Error(
            StatusKind::Usage, name,
            "the location of more than one port (" + names + "): name it by more of its path");
    }
    *port = found.front();
    return Status::Ok();
}

}  // namespace qvlink
