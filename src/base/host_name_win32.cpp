#include <windows.h>

#include "host_name.h"
#include "wide_text.h"

namespace qvlink::station {

std::string HostName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size) || size == 0) return "unknown";
    return Utf8FromWide(std::wstring(name, size));
}

}  // namespace qvlink::station
