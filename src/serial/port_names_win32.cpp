#include <string_view>

#include "port_locations.h"
#include "port_names.h"

namespace qvlink {
namespace {

// The prefix opens every COM number, COM10 and above included, and any device name.
constexpr std::string_view DEVICE_PREFIX = "\\\\.\\";

}  // namespace

std::string DeviceForPortNumber(std::int64_t portNumber) {
    return "COM" + std::to_string(portNumber);
}

std::string DeviceForName(const std::string& name) {
    // A location is no device name: it is looked up each time it is opened.
    if (name.compare(0, DEVICE_PREFIX.size(), DEVICE_PREFIX) == 0 || IsLocationPath(name))
        return name;
    return std::string(DEVICE_PREFIX) + name;
}

Status DeviceToOpen(const std::string& device, std::string* target) {
    if (!IsLocationPath(device)) {
        *target = device;
        return Status::Ok();
    }
    std::string port;
    if (Status found = PortAtLocation(SystemPortLocations(), device, &port); !found.ok())
        return found;
    *target = DeviceForName(port);
    return Status::Ok();
}

std::string ResolveDevice(const std::string& device) {
    std::string target;
    return DeviceToOpen(device, &target).ok() ? target : device;
}

std::string DisplayDevice(const std::string& device) {
    if (device.compare(0, DEVICE_PREFIX.size(), DEVICE_PREFIX) == 0)
        return device.substr(DEVICE_PREFIX.size());
    return device;
}

}  // namespace qvlink
