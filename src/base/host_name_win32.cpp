#include <windows.h>

#include "host_name.h"

namespace qvlink::station {

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!GetComputerNameA(name, &size) || size == 0) return "unknown";
    return std::string(name, size);
}

}  // namespace qvlink::station
