#include <sys/stat.h>

#include <filesystem>

#include "port_list.h"
#include "port_names.h"

namespace qvlink::station {

std::string DeviceIdentity(const std::string& portName) {
    const std::string device = DeviceForName(portName);
    // The file itself, however it is reached (a link in /dev/serial/by-path, "..", a COM name).
    struct stat info {};
    if (stat(device.c_str(), &info) == 0)
        return "file " + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    // A device that is not there (yet) is known by its normalised path.
    return "path " + std::filesystem::path(device).lexically_normal().string();
}

}  // namespace qvlink::station
