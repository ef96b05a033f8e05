// The device watch on Windows: no device events are followed; every awaited port is looked at
// once a second (QueryDosDevice knows the COM ports there are), and the waits sleep on the
// wakes' events.
#include <windows.h>

#include <algorithm>

#include "device_watch.h"
#include "port_names.h"

namespace qvlink {
namespace {

constexpr DWORD UNWATCHED_WAIT_MS = 50;

DWORD Bound(int timeoutMs) {
    return timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
}

}  // namespace

struct DeviceWatch::Events {};

void DeviceWatch::EventsDeleter::operator()(Events* events) const {
    delete events;
}

std::unique_ptr<DeviceWatch::Events, DeviceWatch::EventsDeleter> DeviceWatch::OpenEvents() {
    return nullptr;
}

bool DeviceWatch::AwaitEvent(Events*, const StopWake& changed, int timeoutMs) {
    HANDLE event = static_cast<HANDLE>(changed.EventHandle());
    if (event == nullptr) {
        Sleep(timeoutMs < 0 ? UNWATCHED_WAIT_MS : std::min(Bound(timeoutMs), UNWATCHED_WAIT_MS));
        return false;
    }
    WaitForSingleObject(event, Bound(timeoutMs));
    return false;
}

bool DeviceWatch::DevicePresent(const std::string& path) {
    const std::string name = DisplayDevice(path);
    if (name.find_first_of("\\/") == std::string::npos) {
        // A device name such as COM12: there while the system lists it.
        char target[1024];
        return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
    }
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DeviceWatch::Woken DeviceWatch::AwaitWakes(const StopWake& stop, const StopWake& back,
                                           int timeoutMs) {
    HANDLE events[2] = {static_cast<HANDLE>(stop.EventHandle()),
                        static_cast<HANDLE>(back.EventHandle())};
    if (events[0] == nullptr || events[1] == nullptr) {
        Sleep(timeoutMs < 0 ? UNWATCHED_WAIT_MS : std::min(Bound(timeoutMs), UNWATCHED_WAIT_MS));
        return Woken::Time;
    }
    const DWORD woken = WaitForMultipleObjects(2, events, FALSE, Bound(timeoutMs));
    if (woken == WAIT_OBJECT_0) return Woken::Stop;
    if (woken == WAIT_OBJECT_0 + 1) return Woken::Back;
    return Woken::Time;
}

}  // namespace qvlink
