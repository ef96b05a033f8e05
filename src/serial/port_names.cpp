#include "port_names.h"

#include <cctype>
#include <map>
#include <string_view>

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

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// One part of a location path: "USB(4)", "ACPI(_SB_)", "USBROOT(0)".
bool IsLocationPart(std::string_view part) {
    const std::size_t open = part.find('(');
    if (open == 0 || open == std::string_view::npos || part.back() != ')') return false;
    for (std::size_t i = 0; i < open; ++i)
        if (!std::isalnum(static_cast<unsigned char>(part[i])) && part[i] != '_') return false;
    return part.find_first_of("()", open + 1) == part.size() - 1;
}

// Where the USB root's part begins in a location path, npos where it has none.
std::size_t UsbRootAt(const std::string& path) {
    const std::string upper = Upper(path);
    for (std::size_t at = upper.find("USBROOT("); at != std::string::npos;
         at = upper.find("USBROOT(", at + 1))
        if (at == 0 || upper[at - 1] == '#') return at;
    return std::string::npos;
}

}  // namespace

bool IsLocationPath(const std::string& name) {
    if (name.empty()) return false;
    std::size_t from = 0;
    for (;;) {
        const std::size_t hash = std::min(name.find('#', from), name.size());
        if (!IsLocationPart(std::string_view(name).substr(from, hash - from))) return false;
        if (hash == name.size()) return true;
        from = hash + 1;
    }
}

bool LocationMatches(const std::string& name, const std::string& locationPath) {
    if (!IsLocationPath(name)) return false;
    const std::string want = Upper(name), path = Upper(locationPath);
    if (want == path) return true;
    return path.size() > want.size() &&
           path.compare(path.size() - want.size(), want.size(), want) == 0 &&
           path[path.size() - want.size() - 1] == '#';
}

}  // namespace qvlink

namespace qvlink {
namespace {

// The parts of a name to try, shortest first: the slot, the name without its folder, the name.
std::vector<std::string> NameChoices(const std::string& port) {
    if (IsLocationPath(port)) {
        // The controller's parts ("PCIROOT(0)#PCI(1400)#") come before the USB root.
        const std::size_t root = UsbRootAt(port);
        if (root == 0 || root == std::string::npos) return {port};
        return {port.substr(root), port};
    }
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
