#include "station_live.h"

#include "port_words.h"

namespace qvlink::station {

record::PortService ServiceOf(const PortSnapshot& port) {
    switch (port.activity) {
        case PortActivity::Running:
            return record::PortService::Serving;
        case PortActivity::AwaitingPort:
            return record::PortService::Waiting;
        case PortActivity::Ended:
            if (port.end == PortEnd::OutOfService) return record::PortService::OutOfService;
            break;
        case PortActivity::Closed:
        case PortActivity::Ready:
            break;
    }
    return record::PortService::NotServing;
}

record::PortLive PortLiveOf(const PortSnapshot& port) {
    return {port.port, WordOf(port).text, ServiceOf(port), port.counts.completed,
            port.counts.Failed()};
}

record::StationLive StationLiveOf(const RecordSource& source, const std::string& firmwareSha256,
                                  const std::vector<PortSnapshot>& ports) {
    record::StationLive live;
    live.station = StationName(source);
    live.program = source.program;
    live.version = source.version;
    live.firmwareSha256 = firmwareSha256;
    for (const PortSnapshot& port : ports) live.ports.push_back(PortLiveOf(port));
    return live;
}

}  // namespace qvlink::station
