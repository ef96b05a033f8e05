#include <cstdlib>
#include <filesystem>

#include "port_names.h"

namespace qvlink {

std::string DeviceForPortNumber(std::int64_t portNumber) {
    const std::string variable = "QVLINK_COM" + std::to_string(portNumber);
    if (const char* device = std::getenv(variable.c_str()); device != nullptr && *device != '\0')
        return device;
    return "/dev/ttyS" + std::to_string(portNumber - 1);
}

std::string DeviceForName(const std::string& name) {
    const int number = PortNumberOfName(name);
    return number > 0 ? DeviceForPortNumber(number) : name;
}

std::string DisplayDevice(const std::string& device) {
    return device;
}

Status DeviceToOpen(const std::string& device, std::string* target) {
    // The kernel follows a by-path link itself.
    *target = device;
    return Status::Ok();
}

std::string ResolveDevice(const std::string& device) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(device, error);
    return error ? device : resolved.string();
}

}  // namespace qvlink
