#include <string_view>

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
    if (name.compare(0, DEVICE_PREFIX.size(), DEVICE_PREFIX) == 0) return name;
    return std::string(DEVICE_PREFIX) + name;
}

std::string ResolveDevice(const std::string& device) {
    return device;
}

std::string DisplayDevice(const std::string& device) {
    if (device.compare(0, DEVICE_PREFIX.size(), DEVICE_PREFIX) == 0)
        return device.substr(DEVICE_PREFIX.size());
    return device;
}

}  // namespace qvlink
