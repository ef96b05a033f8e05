// The COM ports' locations from the system's device list (SetupAPI): every present device of
// the Ports class and every one that offers the COM port interface, with its "PortName" and
// the location paths of the first device from it up to the USB hub that has them (a USB
// adapter's COM port is the child of the USB device plugged into the slot).
#include <windows.h>
// After windows.h:
#include <cfgmgr32.h>
#include <setupapi.h>

#include <algorithm>
#include <string>

#include "device_classes_win32.h"
#include "port_locations.h"

namespace qvlink {
namespace {

// A device's ancestors looked at for its location: the COM port, the adapter's interface,
// the adapter itself, with room to spare.
constexpr int LOCATION_LEVELS = 4;

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(size - 1));
    return utf8;
}

// A device node's text property (the first of a multi-string), "" when it has none.
std::string NodeText(DEVINST node, ULONG property) {
    wchar_t text[1024] = {};
    ULONG type = 0, size = sizeof text - 2 * sizeof(wchar_t);  // room for the closing nulls
    if (CM_Get_DevNode_Registry_PropertyW(node, property, &type, text, &size, 0) != CR_SUCCESS ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    return Utf8(text);
}

// The property of the first node from `node` up that has it.
std::string UpFrom(DEVINST node, ULONG property) {
    for (int level = 0; level < LOCATION_LEVELS; ++level) {
        if (std::string text = NodeText(node, property); !text.empty()) return text;
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) break;
        node = parent;
    }
    return {};
}

std::string PortNameOf(HDEVINFO devices, SP_DEVINFO_DATA& device) {
    const HKEY key =
        SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t name[256] = {};
    DWORD type = 0, size = sizeof name - sizeof(wchar_t);
    const LONG read =
        RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? Utf8(name) : std::string();
}

void AddPorts(const GUID& set, DWORD flags, std::vector<PortLocation>& ports) {
    const HDEVINFO devices = SetupDiGetClassDevsW(&set, nullptr, nullptr, flags | DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
        PortLocation port;
        port.port = PortNameOf(devices, device);
        // The Ports class holds printer ports too.
        if (port.port.compare(0, 3, "COM") != 0) continue;
        if (std::any_of(ports.begin(), ports.end(),
                        [&port](const PortLocation& known) { return known.port == port.port; }))
            continue;
        port.path = UpFrom(device.DevInst, CM_DRP_LOCATION_PATHS);
        port.information = UpFrom(device.DevInst, CM_DRP_LOCATION_INFORMATION);
        ports.push_back(std::move(port));
    }
    SetupDiDestroyDeviceInfoList(devices);
}

}  // namespace

std::vector<PortLocation> SystemPortLocations() {
    std::vector<PortLocation> ports;
    AddPorts(device_class::PORTS, 0, ports);
    AddPorts(device_class::COM_PORT_INTERFACE, DIGCF_DEVICEINTERFACE, ports);
    return ports;
}

}  // namespace qvlink
