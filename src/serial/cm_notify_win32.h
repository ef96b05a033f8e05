// The device-interface notifications of the configuration manager (cfgmgr32.dll from Windows 8
// on), declared here as the system lays them out: the headers this project builds with declare
// them only for builds that require Windows 8, and this one runs on Windows 7 too, where the
// functions are looked up at run time and may be missing.
#pragma once

#include <windows.h>

namespace qvlink::cm_notify {

struct NotificationTag;
using Notification = NotificationTag*;  // a registration, ended by Unregister

inline constexpr int FILTER_DEVICE_INTERFACE = 0;
inline constexpr int ACTION_INTERFACE_ARRIVAL = 0;
inline constexpr DWORD SUCCESS = 0;  // CR_SUCCESS

// The filter of one registration; only the interface class is used here.
struct Filter {
    DWORD size = sizeof(Filter);
    DWORD flags = 0;
    int type = FILTER_DEVICE_INTERFACE;
    DWORD reserved = 0;
    union {
        GUID interfaceClass;
        HANDLE target;
        WCHAR instanceId[200];  // MAX_DEVICE_ID_LEN
    } u{};
};
#ifdef _WIN64
static_assert(sizeof(Filter) == 416, "the system's CM_NOTIFY_FILTER layout");
#endif

// Called on a thread of the system's pool; `eventData` is the system's CM_NOTIFY_EVENT_DATA.
using Callback = DWORD(CALLBACK*)(Notification notification, void* context, int action,
                                  void* eventData, DWORD eventDataSize);
// CM_Register_Notification and CM_Unregister_Notification. Unregistering waits for the
// callbacks under way and must not be called from one.
using Register = DWORD(WINAPI*)(Filter* filter, void* context, Callback callback,
                                Notification* notification);
using Unregister = DWORD(WINAPI*)(Notification notification);

}  // namespace qvlink::cm_notify
