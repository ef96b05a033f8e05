#include <algorithm>
#include <cstdio>

#include "conninfo_check.h"
#include "records_commands.h"
#include "station_status.h"

namespace qvlink::records {

int ShowFloor(const std::string& conninfo) {
    PgConnection connection;
    std::vector<PortHealth> ports;
    Status status = CheckConnInfo(conninfo);
    if (status.ok()) status = connection.Open(conninfo, nullptr, std::chrono::seconds(10));
    if (status.ok()) status = StationHealthFromDatabase(connection, ports);
    if (!status.ok()) {
        std::fprintf(stderr, "qvlink-records: %s\n", status.ToString().c_str());
        return EXIT_FAILED;
    }
    std::fputs(FormatFloor(ports).c_str(), stdout);
    if (std::fflush(stdout) != 0) return EXIT_FAILED;
    return std::any_of(ports.begin(), ports.end(), NeedsAHand) ? EXIT_NEEDS_A_HAND : 0;
}

}  // namespace qvlink::records
