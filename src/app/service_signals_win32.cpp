#include <windows.h>

#include <algorithm>

#include "os_error.h"
#include "service_signals.h"

namespace qvlink {
namespace {

// The process's requests, made once and never closed: a console's handler and the service
// control handler run on threads of their own and may come before a ServiceSignals exists
// (kept until one waits) or after it has gone (then nobody asks).
struct Requests {
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);     // manual: a stop stays
    HANDLE reload = CreateEventW(nullptr, FALSE, FALSE, nullptr);  // auto: taken once
    HANDLE stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // the owner has finished
};

Requests& TheRequests() {
    static Requests requests;
    return requests;
}

// Ctrl+C, Ctrl+Break and the console closed stop the station as SIGINT does. A closing console
// ends the process when this returns, so the handler waits for the owner to have stopped (the
// system allows a few seconds). A user logging off is nothing to a station that runs as a
// service.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    Requests& requests = TheRequests();
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            SetEvent(requests.stop);
            return TRUE;
        case CTRL_CLOSE_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            SetEvent(requests.stop);
            WaitForSingleObject(requests.stopped, INFINITE);
            return TRUE;
        case CTRL_LOGOFF_EVENT:
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

ServiceSignals::ServiceSignals() {
    const Requests& requests = TheRequests();
    if (requests.stop == nullptr || requests.reload == nullptr || requests.stopped == nullptr) {
        const DWORD error = GetLastError();
        ready_ = Status::Error(KindOfLastError(error), "cannot take the stop requests",
                               LastErrorText(error));
        return;
    }
    if (!SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) {
        const DWORD error = GetLastError();
        ready_ = Status::Error(KindOfLastError(error), "cannot take Ctrl+C", LastErrorText(error));
    }
}

ServiceSignals::~ServiceSignals() {
    SetEvent(TheRequests().stopped);
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

void ServiceSignals::Deliver(Event event) {
    const Requests& requests = TheRequests();
    if (event == Event::Stop) SetEvent(requests.stop);
    if (event == Event::Reload) SetEvent(requests.reload);
}

ServiceSignals::Event ServiceSignals::Wait(std::optional<std::chrono::milliseconds> timeout) {
    const Requests& requests = TheRequests();
    // The stop first: a reload asked at the same time no longer matters.
    const HANDLE waits[] = {requests.stop, requests.reload,
                            static_cast<HANDLE>(nudge_.EventHandle())};
    const DWORD count = waits[2] != nullptr ? 3 : 2;
    const DWORD ms =
        timeout ? static_cast<DWORD>(std::clamp<long long>(timeout->count(), 0, INFINITE - 1))
                : INFINITE;
    switch (WaitForMultipleObjects(count, waits, FALSE, ms)) {
        case WAIT_OBJECT_0:
            return Event::Stop;
        case WAIT_OBJECT_0 + 1:
            return Event::Reload;
        case WAIT_OBJECT_0 + 2:
            nudge_.Clear();
            return Event::Nudged;
        default:
            return Event::TimedOut;
    }
}

}  // namespace qvlink
