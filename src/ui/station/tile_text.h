// How a port's snapshot reads on its tile: the one place that words a port's state for the
// station windows, so that the Qt and the Win32 window say the same.
#pragma once

#include "port_snapshot.h"
#include "station_view.h"

namespace qvlink {

TileView TileOf(const station::PortSnapshot& port, bool enabled);

}  // namespace qvlink
