// Sleeping until a database socket is ready, a stop is raised or a time is up; and until one of
// two stop wakes is raised. Waits never spin: they sleep on the socket and the wakes (poll on
// Linux, an event per wait and WaitForMultipleObjects on Windows).
#pragma once

#include <chrono>

namespace qvlink {
class StopWake;
}

namespace qvlink::records {

enum class SocketWait { Ready, Stopped, TimedOut, Failed };
// `socket` is libpq's PQsocket (on Windows a SOCKET passed as an int); `stop` may be null.
// Ready also when the socket was closed or failed: the caller's next call says how.
SocketWait WaitForSocket(int socket, bool forWrite, const StopWake* stop,
                         std::chrono::steady_clock::time_point deadline);

// Sleeps until `wake` or `stop` (may be null) is raised or the deadline; true when `wake` was
// raised and `stop` was not.
bool WaitForWake(const StopWake& wake, const StopWake* stop,
                 std::chrono::steady_clock::time_point deadline);

}  // namespace qvlink::records
