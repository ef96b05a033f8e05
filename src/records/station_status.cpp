#include "station_status.h"

#include <cstdio>
#include <map>

#include "live_state.h"
#include "text_table.h"

namespace qvlink::records {
namespace {

using record::PortService;
using record::ServiceWord;

struct StationLine {
    long long counts[record::PORT_SERVICES.size()] = {};
    long long secondsSinceSeen = -1;
    bool silent = false;
};

std::string Trouble(const PortHealth& port) {
    if (port.health == record::SILENT)
        return "silent for " + SpanText(port.secondsSinceSeen) + " (last: " + port.state +
               (port.word.empty() ? "" : ", " + port.word) + ")";
    if (port.health == ServiceWord(PortService::OutOfService))
        return "out of service for " + SpanText(port.secondsInState);
    return "waiting for its port for " + SpanText(port.secondsInState);
}

}  // namespace

Status StationHealthFromDatabase(PgConnection& connection, std::vector<PortHealth>& ports) {
    static const std::string sql =
        "SELECT station, port, health, state, word, completed, failed, "
        "floor(extract(epoch FROM now() - last_seen))::bigint, "
        "floor(extract(epoch FROM now() - state_since))::bigint "
        "FROM station_health ORDER BY station, port";
    PgResult result;
    Status status = connection.Exec(sql, {}, nullptr, std::chrono::seconds(60), &result);
    if (!status.ok()) return status;
    ports.clear();
    for (int i = 0; i < result.rows(); ++i)
        ports.push_back({result.Value(i, 0), result.Value(i, 1), result.Value(i, 2),
                         result.Value(i, 3), result.Value(i, 4), std::stoll(result.Value(i, 5)),
                         std::stoll(result.Value(i, 6)), std::stoll(result.Value(i, 7)),
                         std::stoll(result.Value(i, 8))});
    return Status::Ok();
}

bool NeedsAHand(const PortHealth& port) {
    return port.health == record::SILENT || port.health == ServiceWord(PortService::OutOfService) ||
           port.health == ServiceWord(PortService::Waiting);
}

std::string SpanText(long long seconds) {
    if (seconds < 0) seconds = 0;
    // Two digits by snprintf: GCC 12 at -O3 misreads "0" + std::string as an overlapping copy.
    const auto two = [](long long n) {
        char digits[24];
        std::snprintf(digits, sizeof digits, "%02lld", n);
        return std::string(digits);
    };
    if (seconds < 60) return std::to_string(seconds) + " s";
    if (seconds < 3600) return std::to_string(seconds / 60) + " min " + two(seconds % 60) + " s";
    if (seconds < 86400)
        return std::to_string(seconds / 3600) + " h " + two(seconds / 60 % 60) + " min";
    return std::to_string(seconds / 86400) + " d " + std::to_string(seconds / 3600 % 24) + " h";
}

std::string FormatFloor(const std::vector<PortHealth>& ports) {
    if (ports.empty()) return "No station has sent its live state.\n";
    std::map<std::string, StationLine> stations;
    for (const PortHealth& port : ports) {
        StationLine& line = stations[port.station];
        for (std::size_t i = 0; i < record::PORT_SERVICES.size(); ++i)
            if (port.state == ServiceWord(record::PORT_SERVICES[i])) ++line.counts[i];
        if (line.secondsSinceSeen < 0 || port.secondsSinceSeen < line.secondsSinceSeen)
            line.secondsSinceSeen = port.secondsSinceSeen;
        line.silent = line.silent || port.health == record::SILENT;
    }
    std::vector<std::vector<std::string>> rows{{"station"}};
    for (const PortService service : record::PORT_SERVICES) rows[0].push_back(ServiceWord(service));
    rows[0].push_back("last seen");
    rows[0].push_back("");
    for (const auto& [station, line] : stations) {
        std::vector<std::string> row{Shown(station)};
        for (const long long count : line.counts) row.push_back(std::to_string(count));
        row.push_back(SpanText(line.secondsSinceSeen) + " ago");
        row.push_back(line.silent ? record::SILENT : "");
        rows.push_back(std::move(row));
    }
    std::vector<std::vector<std::string>> trouble;
    for (const PortHealth& port : ports)
        if (NeedsAHand(port))
            trouble.push_back({Shown(port.station), Shown(port.port), Shown(Trouble(port))});
    std::string out = Table(rows, 1, false) + "\nPorts that need a hand\n";
    return out + (trouble.empty() ? "none\n" : Table(trouble, 3, false));
}

}  // namespace qvlink::records
