// Sleeping until a database socket is ready, a stop is raised or a time is up.
#pragma once

#include <chrono>

namespace qvlink {
class StopWake;
}

namespace qvlink::records {

enum class SocketWait { Ready, Stopped, TimedOut, Failed };
SocketWait WaitForSocket(int socket, bool forWrite, const StopWake* stop,
                         std::chrono::steady_clock::time_point deadline);

}  // namespace qvlink::records
