// Waiting on Windows: the socket's network events are tied to an event of this wait
// (WSAEventSelect) and the thread sleeps in WaitForMultipleObjects on it and on the stop's event.
// FD_WRITE is only recorded when the socket becomes writable, so what was ready before the events
// were tied is asked once with select() at no wait.
#include <winsock2.h>
// after winsock2.h
#include <windows.h>

#include "socket_wait.h"
#include "stop_wake.h"

namespace qvlink::records {
namespace {

using Clock = std::chrono::steady_clock;

bool Raised(HANDLE event) {
    return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

bool ReadyNow(SOCKET socket, bool forWrite) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);  // a connection that could not be made
    timeval now{0, 0};
    return select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &now) != 0;
}

// Sleeps on `events` (at most two) until one is signalled or the deadline; its index, or -1 on
// the deadline, or -2 when the wait failed.
int SleepOn(const HANDLE* events, DWORD count, Clock::time_point deadline) {
    using namespace std::chrono;
    for (;;) {
        const auto left = duration_cast<milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return -1;
        const DWORD waited = WaitForMultipleObjects(
            count, events, FALSE, static_cast<DWORD>(left < 60000 ? left + 1 : 60000));
        if (waited == WAIT_TIMEOUT) continue;
        if (waited >= WAIT_OBJECT_0 && waited < WAIT_OBJECT_0 + count)
            return static_cast<int>(waited - WAIT_OBJECT_0);
        return -2;
    }
}

}  // namespace

SocketWait WaitForSocket(int socket, bool forWrite, const StopWake* stop,
                         Clock::time_point deadline) {
    const SOCKET handle = static_cast<SOCKET>(socket);
    const HANDLE stopEvent = stop ? static_cast<HANDLE>(stop->EventHandle()) : nullptr;
    if (Raised(stopEvent)) return SocketWait::Stopped;
    const WSAEVENT network = WSACreateEvent();
    if (network == WSA_INVALID_EVENT) return SocketWait::Failed;
    const long wanted = (forWrite ? FD_WRITE | FD_CONNECT : FD_READ) | FD_CLOSE;
    SocketWait result = SocketWait::Failed;
    if (WSAEventSelect(handle, network, wanted) == 0) {
        if (ReadyNow(handle, forWrite)) {
            result = SocketWait::Ready;
        } else {
            // The stop first: when both are signalled, the stop wins, as on Linux.
            const HANDLE events[2] = {stopEvent, network};
            const bool withStop = stopEvent != nullptr;
            switch (SleepOn(withStop ? events : events + 1, withStop ? 2 : 1, deadline)) {
                case -1:
                    result = SocketWait::TimedOut;
                    break;
                case -2:
                    result = SocketWait::Failed;
                    break;
                case 0:
                    result = withStop ? SocketWait::Stopped : SocketWait::Ready;
                    break;
                default:
                    result = SocketWait::Ready;
                    break;
            }
        }
        WSAEventSelect(handle, nullptr, 0);  // the socket stays non-blocking, as libpq wants it
    }
    WSACloseEvent(network);
    return result;
}

bool WaitForWake(const StopWake& wake, const StopWake* stop, Clock::time_point deadline) {
    const HANDLE stopEvent = stop ? static_cast<HANDLE>(stop->EventHandle()) : nullptr;
    const HANDLE events[2] = {stopEvent, static_cast<HANDLE>(wake.EventHandle())};
    if (events[1] == nullptr) return false;
    if (Raised(stopEvent)) return false;
    const bool withStop = stopEvent != nullptr;
    const int woken = SleepOn(withStop ? events : events + 1, withStop ? 2 : 1, deadline);
    return woken == (withStop ? 1 : 0);
}

}  // namespace qvlink::records
