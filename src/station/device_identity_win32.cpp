#include <cctype>

#include "port_list.h"
#include "port_names.h"

namespace qvlink::station {

std::string DeviceIdentity(const std::string& portName) {
    // Windows names devices without regard to case, and \\.\COM01 opens COM1.
    std::string name = DisplayDevice(DeviceForName(portName));
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.size() > 3 && name.compare(0, 3, "COM") == 0) {
        std::size_t digits = 3;
        while (digits < name.size() && std::isdigit(static_cast<unsigned char>(name[digits])))
            ++digits;
        if (digits == name.size()) {
            const std::size_t first = name.find_first_not_of('0', 3);
            return "COM" + (first == std::string::npos ? "0" : name.substr(first));
        }
    }
    return name;
}

}  // namespace qvlink::station
