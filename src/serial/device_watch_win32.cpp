// The device watch on Windows: the configuration manager's notifications of COM port interfaces
// that arrive (CM_Register_Notification: no window needed, so it works in a service), where the
// system has them; else every awaited port is looked at once a second (QueryDosDevice knows the
// COM ports there are; a location leads to one in the device list). The waits sleep on events.
#include <windows.h>

#include <algorithm>

#include "cm_notify_win32.h"
#include "device_classes_win32.h"
#include "device_watch.h"
#include "port_locations.h"
#include "port_names.h"
#include "wide_text.h"

namespace qvlink {
namespace {

constexpr DWORD UNWATCHED_WAIT_MS = 50;

DWORD Bound(int timeoutMs) {
    return timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
}

// Wine's COM ports are its host's devices, of which its Plug and Play hears nothing: a
// registration there would be taken and never called.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The system's thread calls this; it only wakes the watcher, which looks for itself.
DWORD CALLBACK OnInterface(cm_notify::Notification, void* context, int action, void*, DWORD) {
    if (action == cm_notify::ACTION_INTERFACE_ARRIVAL) SetEvent(static_cast<HANDLE>(context));
    return ERROR_SUCCESS;
}

}  // namespace

struct DeviceWatch::Events {
    HMODULE library = nullptr;  // cfgmgr32.dll, held while registered
    HANDLE arrived = nullptr;   // auto-reset: set by OnInterface, taken by AwaitEvent
    cm_notify::Unregister unregister = nullptr;
    cm_notify::Notification registrations[2] = {};

    ~Events() {
        // Waits for a callback under way, so the event outlives every SetEvent.
        for (cm_notify::Notification registration : registrations)
            if (registration != nullptr) unregister(registration);
        if (arrived != nullptr) CloseHandle(arrived);
        if (library != nullptr) FreeLibrary(library);
    }
};

void DeviceWatch::EventsDeleter::operator()(Events* events) const {
    delete events;
}

std::unique_ptr<DeviceWatch::Events, DeviceWatch::EventsDeleter> DeviceWatch::OpenEvents() {
    if (UnderWine()) return nullptr;
    // From the system's folder only. Windows 7 without its loader update refuses the flag; it
    // has no notices to register for either.
    const HMODULE cfgmgr = LoadLibraryExW(L"cfgmgr32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (cfgmgr == nullptr) return nullptr;
    std::unique_ptr<Events, EventsDeleter> events(new Events);
    events->library = cfgmgr;
    const auto registerFor = reinterpret_cast<cm_notify::Register>(
        reinterpret_cast<void (*)()>(GetProcAddress(cfgmgr, "CM_Register_Notification")));
    const auto unregister = reinterpret_cast<cm_notify::Unregister>(
        reinterpret_cast<void (*)()>(GetProcAddress(cfgmgr, "CM_Unregister_Notification")));
    if (registerFor == nullptr || unregister == nullptr) return nullptr;  // before Windows 8
    events->unregister = unregister;
    events->arrived = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (events->arrived == nullptr) return nullptr;
    // The COM port interface, and the serial enumerator's devices for drivers that announce
    // only those.
    const GUID classes[2] = {device_class::COM_PORT_INTERFACE, device_class::PORTS};
    for (int i = 0; i < 2; ++i) {
        cm_notify::Filter filter;
        filter.u.interfaceClass = classes[i];
        if (registerFor(&filter, events->arrived, &OnInterface, &events->registrations[i]) !=
            cm_notify::SUCCESS) {
            events->registrations[i] = nullptr;
            if (i == 0) return nullptr;
        }
    }
    return events;
}

bool DeviceWatch::AwaitEvent(Events* events, const StopWake& changed, int timeoutMs) {
    HANDLE handles[2] = {static_cast<HANDLE>(changed.EventHandle()),
                         events != nullptr ? events->arrived : nullptr};
    if (handles[0] == nullptr) {
        Sleep(timeoutMs < 0 ? UNWATCHED_WAIT_MS : std::min(Bound(timeoutMs), UNWATCHED_WAIT_MS));
        return events != nullptr && WaitForSingleObject(events->arrived, 0) == WAIT_OBJECT_0;
    }
    const DWORD woken =
        WaitForMultipleObjects(handles[1] != nullptr ? 2 : 1, handles, FALSE, Bound(timeoutMs));
    if (woken == WAIT_FAILED) Sleep(UNWATCHED_WAIT_MS);  // fails again at once: never spin
    return woken == WAIT_OBJECT_0 + 1;
}

bool DeviceWatch::DevicePresent(const std::string& path) {
    const std::string name = DisplayDevice(path);
    if (IsLocationPath(name)) {
        // There while one COM port is plugged in at that location.
        std::string port;
        return PortAtLocation(SystemPortLocations(), name, &port).ok();
    }
    if (name.find_first_of("\\/") == std::string::npos) {
        // A device name such as COM12: there while the system lists it.
        char target[1024];
        return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
    }
    return GetFileAttributesW(WideFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
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
    if (woken == WAIT_FAILED) Sleep(UNWATCHED_WAIT_MS);
    if (woken == WAIT_OBJECT_0) return Woken::Stop;
    if (woken == WAIT_OBJECT_0 + 1) return Woken::Back;
    return Woken::Time;
}

}  // namespace qvlink
