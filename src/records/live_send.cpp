#include "live_send.h"

#include <nlohmann/json.hpp>

namespace qvlink::records {

std::string StationLiveJson(const record::StationLive& live) {
    nlohmann::json ports = nlohmann::json::array();
    for (const record::PortLive& port : live.ports)
        ports.push_back({{"port", port.port},
                         {"word", port.word},
                         {"state", record::ServiceWord(port.service)},
                         {"completed", port.completed},
                         {"failed", port.failed}});
    nlohmann::json state = {{"station", live.station},
                            {"program", live.program},
                            {"version", live.version},
                            {"firmware_sha256", nullptr},
                            {"ports", std::move(ports)}};
    if (!live.firmwareSha256.empty()) state["firmware_sha256"] = live.firmwareSha256;
    return state.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

Status SendStationLive(PgConnection& connection, const record::StationLive& live,
                       const StopWake* stop) {
    return connection.Exec("SELECT station_live($1::json)", {StationLiveJson(live)}, stop,
                           LIVE_LIMIT);
}

}  // namespace qvlink::records
