#include <unistd.h>

#include "host_name.h"

namespace qvlink::station {

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "unknown";
    return name;
}

}  // namespace qvlink::station
