#include <poll.h>

#include <cerrno>

#include "socket_wait.h"
#include "stop_wake.h"

namespace qvlink::records {

SocketWait WaitForSocket(int socket, bool forWrite, const StopWake* stop,
                         std::chrono::steady_clock::time_point deadline) {
    using namespace std::chrono;
    for (;;) {
        pollfd fds[2] = {{socket, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0},
                         {stop ? stop->WaitHandle() : -1, POLLIN, 0}};
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0) return SocketWait::TimedOut;
        const int ready = ::poll(fds, 2, static_cast<int>(left < 60000 ? left + 1 : 60000));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return SocketWait::Failed;
        }
        if (fds[1].revents) return SocketWait::Stopped;
        if (fds[0].revents) return SocketWait::Ready;  // readable, writable, closed or in error
    }
}

bool WaitForWake(const StopWake& wake, const StopWake* stop,
                 std::chrono::steady_clock::time_point deadline) {
    return WaitForSocket(wake.WaitHandle(), false, stop, deadline) == SocketWait::Ready;
}

}  // namespace qvlink::records
