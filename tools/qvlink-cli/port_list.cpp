#include "port_list.h"

#include <algorithm>

#include "port_names.h"

namespace qvlink::cli {
namespace {

// "COMa-COMb" as a range; false for any other name, which is then taken as it is.
bool IsComRange(const std::string& item, int& first, int& last) {
    const std::size_t dash = item.find('-');
    if (dash == std::string::npos) return false;
    first = PortNumberOfName(item.substr(0, dash));
    last = PortNumberOfName(item.substr(dash + 1));
    return first > 0 && last > 0;
}

std::string AddPort(const std::string& name, std::vector<std::string>& ports) {
    if (name.empty()) return "an empty port name in --port";
    if (std::find(ports.begin(), ports.end(), name) != ports.end())
        return name + " is named more than once";
    ports.push_back(name);
    return {};
}

std::string ExpandItem(const std::string& item, std::vector<std::string>& ports) {
    int first = 0, last = 0;
    if (!IsComRange(item, first, last)) return AddPort(item, ports);
    if (first > last) return "the range " + item + " runs backwards";
    for (int number = first; number <= last; ++number) {
        if (auto error = AddPort("COM" + std::to_string(number), ports); !error.empty())
            return error;
    }
    return {};
}

}  // namespace

std::string ExpandPortArguments(const std::vector<std::string>& arguments,
                                std::vector<std::string>& ports) {
    ports.clear();
    for (const std::string& argument : arguments) {
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = argument.find(',', start);
            if (auto error = ExpandItem(argument.substr(start, comma - start), ports);
                !error.empty())
                return error;
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    return {};
}

}  // namespace qvlink::cli
