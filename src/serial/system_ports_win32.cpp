#include <windows.h>

#include <algorithm>
#include <string>

#include "port_names.h"
#include "system_ports.h"

namespace qvlink {

// The system lists its COM ports as the values of HARDWARE\DEVICEMAP\SERIALCOMM.
std::vector<std::string> SystemSerialPorts() {
    std::vector<std::string> ports;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0;; ++i) {
        char name[256], value[256];
        DWORD nameSize = sizeof name, valueSize = sizeof value, type = 0;
        const LONG read = RegEnumValueA(key, i, name, &nameSize, nullptr, &type,
                                        reinterpret_cast<BYTE*>(value), &valueSize);
        if (read == ERROR_NO_MORE_ITEMS) break;
        if (read != ERROR_SUCCESS || type != REG_SZ) continue;
        value[std::min<DWORD>(valueSize, sizeof value - 1)] = '\0';
        ports.push_back(value);
    }
    RegCloseKey(key);
    std::sort(ports.begin(), ports.end(), [](const std::string& a, const std::string& b) {
        const int na = PortNumberOfName(a), nb = PortNumberOfName(b);
        return na != nb ? na < nb : a < b;
    });
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    return ports;
}

}  // namespace qvlink
