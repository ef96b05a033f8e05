#include "port_names.h"

#include <cctype>
#include <map>

namespace qvlink {

int PortNumberOfName(const std::string& name) {
    if (name.size() < 4 || name.size() > 5 || name.compare(0, 3, "COM") != 0) return 0;
    int number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number;
}

}  // namespace qvlink

namespace qvlink {
namespace {

// The parts of a name to try, shortest first: the slot, the name without its folder, the name.
std::vector<std::string> NameChoices(const std::string& port) {
    const std::string folder = "/by-path/";
    const std::size_t leaf = port.rfind('/') + 1;
    if (leaf < folder.size() || leaf == port.size() ||
        port.compare(leaf - folder.size(), folder.size(), folder) != 0)
        return {port};
    const std::string base = port.substr(leaf);
    // The controller ("pci-0000:00:14.0", "platform-xhci-hcd.0.auto") comes before the bus path.
    const std::size_t bus = base.find("-usb");
    if (bus == std::string::npos || bus + 1 >= base.size()) return {base, port};
    return {base.substr(bus + 1), base, port};
}

}  // namespace

std::vector<std::string> SlotNames(const std::vector<std::string>& ports) {
    std::vector<std::vector<std::string>> choices;
    for (const std::string& port : ports) choices.push_back(NameChoices(port));
    std::vector<std::size_t> level(ports.size(), 0);
    // Lengthens every name that another port's name equals until none does; the whole names
    // differ, so this ends.
    for (bool clash = true; clash;) {
        clash = false;
        std::map<std::string, std::vector<std::size_t>> holders;
        for (std::size_t i = 0; i < ports.size(); ++i) holders[choices[i][level[i]]].push_back(i);
        for (const auto& [name, holding] : holders) {
            if (holding.size() < 2) continue;
            for (const std::size_t i : holding) {
                if (level[i] + 1 < choices[i].size()) {
                    ++level[i];
                    clash = true;
                }
            }
        }
    }
    std::vector<std::string> names;
    for (std::size_t i = 0; i < ports.size(); ++i) names.push_back(choices[i][level[i]]);
    return names;
}

}  // namespace qvlink
