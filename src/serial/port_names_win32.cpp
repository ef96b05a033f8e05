#include "port_names.h"

namespace qvlink {

std::string DeviceForPortNumber(std::int64_t portNumber) {
    return "COM" + std::to_string(portNumber);
}

std::string DeviceForName(const std::string& name) {
    // The \\.\ prefix opens every COM number, COM10 and above included, and any device name.
    static const std::string DEVICE_PREFIX = "\\\\.\\";
    if (name.compare(0, DEVICE_PREFIX.size(), DEVICE_PREFIX) == 0) return name;
    return DEVICE_PREFIX + name;
}

}  // namespace qvlink
