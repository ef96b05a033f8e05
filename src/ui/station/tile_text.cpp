#include "tile_text.h"

#include <algorithm>

#include "port_names.h"
#include "status_texts.h"

namespace qvlink {

using station::PortActivity;
using station::PortSnapshot;

TileView TileOf(const PortSnapshot& port, bool enabled) {
    TileView tile;
    tile.name = port.port;
    // Windows opens COM3 as \\.\COM3; that says nothing the name does not. A slot's location
    // shows the COM port it leads to as the operator names it.
    if (DisplayDevice(port.device) != port.port) tile.device = DisplayDevice(port.device);
    if (port.activity == PortActivity::Running) {
        tile.phase = StatusLineText(port.status);
        const bool moving = port.status.kind == STATUS_TRANSFER || port.status.kind == STATUS_BURN;
        if (moving && port.status.percentage > 0)
            tile.percent = std::min(port.status.percentage, 100);
        if (port.elapsedSeconds >= 0) tile.sinceContact = ElapsedText(port.elapsedSeconds);
    } else if (port.activity == PortActivity::Ended) {
        tile.phase = port.end == station::PortEnd::Stopped ? "stopped" : "ended";
    } else {
        tile.phase = port.activity == PortActivity::Ready ? "ready" : "";
    }
    const station::PortWord word = station::WordOf(port);
    tile.result = word.text;
    tile.tone = word.tone;
    const station::PortCounts& counts = port.counts;
    tile.counts = station::CountsText(counts, false);
    if (port.activity != PortActivity::Running) tile.note = port.message;
    tile.enabled = enabled;
    return tile;
}

}  // namespace qvlink
