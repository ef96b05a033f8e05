// Names the calling thread for the system's tools (top -H, /proc/PID/task/TID/comm, a
// debugger), so that the forwarder's share of a station's CPU can be read apart from the ports'.
#pragma once

namespace qvlink::records {

// At most 15 characters are kept.
void NameThisThread(const char* name);

}  // namespace qvlink::records
