#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>

#include "system_ports.h"

namespace qvlink {
namespace {

namespace fs = std::filesystem;

bool IsSerialDeviceName(const std::string& name) {
    for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"})
        if (name.rfind(prefix, 0) == 0 && name.size() > std::char_traits<char>::length(prefix))
            return true;
    return false;
}

// Natural order, so that ttyS2 comes before ttyS10: by the name without its trailing number,
// then by that number, then by the whole name.
std::tuple<std::string, std::size_t, std::string, std::string> SortKey(const std::string& name) {
    std::size_t stem = name.size();
    while (stem > 0 && name[stem - 1] >= '0' && name[stem - 1] <= '9') --stem;
    return {name.substr(0, stem), name.size() - stem, name.substr(stem), name};
}

bool NaturalLess(const std::string& a, const std::string& b) {
    return SortKey(a) < SortKey(b);
}

}  // namespace

std::vector<std::string> SystemSerialPorts() {
    std::vector<std::string> ports;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/dev", error))
        if (IsSerialDeviceName(entry.path().filename().string()))
            ports.push_back(entry.path().string());
    for (const auto& entry : fs::directory_iterator("/dev/serial/by-path", error))
        ports.push_back(entry.path().string());
    for (int n = 1; n <= 99; ++n) {
        const std::string name = "COM" + std::to_string(n);
        if (std::getenv(("QVLINK_" + name).c_str()) != nullptr) ports.push_back(name);
    }
    std::sort(ports.begin(), ports.end(), NaturalLess);
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    return ports;
}

}  // namespace qvlink
