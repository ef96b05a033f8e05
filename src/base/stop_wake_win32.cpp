// The stop wake on Windows: a manual-reset event that a raise signals and a clear resets. The
// serial wait does not watch it (it looks at the queue every millisecond and returns within
// 50 ms, so its caller sees a stop that soon); the record database's waits sleep on it.
#include <windows.h>

#include "stop_wake.h"

namespace qvlink {

StopWake::StopWake() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

StopWake::~StopWake() {
    if (event_ != nullptr) CloseHandle(static_cast<HANDLE>(event_));
}

void StopWake::Raise() const {
    if (event_ != nullptr) SetEvent(static_cast<HANDLE>(event_));
}

void StopWake::Clear() const {
    if (event_ != nullptr) ResetEvent(static_cast<HANDLE>(event_));
}

}  // namespace qvlink
