#include "tile_text.h"

#include <algorithm>

#include "status_texts.h"

namespace qvlink {
namespace {

using station::PortActivity;
using station::PortSnapshot;

Tone ToneOf(UpgradeResult result) {
    if (Succeeded(result)) return Tone::Completed;
    if (result == USER_ABORT) return Tone::Idle;
    if (result == PORT_LOST) return Tone::Lost;
    return Tone::Failed;
}

// The big text and its colour: how the port ended when that matters more than its last
// receiver, else the last receiver's result, else whether it waits for one.
void SetResult(const PortSnapshot& port, TileView& tile) {
    const bool ended = port.activity == PortActivity::Ended;
    if (port.activity == PortActivity::Closed && !port.end.opened) {
        tile.result = "Cannot open";
        tile.tone = Tone::Lost;
    } else if (ended && port.end.outOfService) {
        tile.result = "Out of service";
        tile.tone = Tone::Lost;
    } else if (ended && port.end.lineLost) {
        tile.result = "Port Lost";
        tile.tone = Tone::Lost;
    } else if (ended && (port.end.recordLost || port.end.startFailed)) {
        tile.result = "Stopped";
        tile.tone = Tone::Lost;
    } else if (port.lastResult) {
        tile.result = port.lastResultText;
        tile.tone = ToneOf(*port.lastResult);
    } else if (port.activity == PortActivity::Running) {
        const bool inContact = port.elapsedSeconds >= 0;
        tile.result = inContact ? "Upgrading" : "Waiting";
        tile.tone = Tone::Waiting;
    } else {
        tile.tone = Tone::Idle;
    }
}

}  // namespace

TileView TileOf(const PortSnapshot& port, bool enabled) {
    TileView tile;
    tile.name = port.port;
    // Windows opens COM3 as \\.\COM3; that says nothing the name does not.
    if (port.device != port.port && port.device != "\\\\.\\" + port.port) tile.device = port.device;
    if (port.activity == PortActivity::Running) {
        tile.phase = StatusLineText(port.status);
        const bool moving = port.status.kind == STATUS_TRANSFER || port.status.kind == STATUS_BURN;
        if (moving && port.status.percentage > 0)
            tile.percent = std::min(port.status.percentage, 100);
        if (port.elapsedSeconds >= 0) tile.sinceContact = ElapsedText(port.elapsedSeconds);
    } else if (port.activity == PortActivity::Ended) {
        tile.phase = port.end.stopped ? "stopped" : "ended";
    } else {
        tile.phase = port.activity == PortActivity::Ready ? "ready" : "";
    }
    SetResult(port, tile);
    const station::PortCounts& counts = port.counts;
    tile.counts = station::CountsText(counts, false);
    if (port.activity != PortActivity::Running) tile.note = port.message;
    tile.enabled = enabled;
    return tile;
}

}  // namespace qvlink
