#include "port_list.h"

#include <algorithm>
#include <map>

#include "port_names.h"

namespace qvlink::station {
namespace {

// The items between the commas of `line`, spaces and tabs around each taken away; an empty
// item stays, as "".
std::vector<std::string> ItemsOf(const std::string& line) {
    std::vector<std::string> items;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = std::min(line.find(',', from), line.size());
        const std::size_t first = line.find_first_not_of(" \t", from);
        if (first == std::string::npos || first >= comma) {
            items.emplace_back();
        } else {
            const std::size_t last = line.find_last_not_of(" \t", comma - 1);
            items.push_back(line.substr(first, last - first + 1));
        }
        if (comma == line.size()) return items;
        from = comma + 1;
    }
}

// "COMa-COMb" as a range; false for any other name, which is then taken as it is.
bool IsComRange(const std::string& item, int& first, int& last) {
    const std::size_t dash = item.find('-');
    if (dash == std::string::npos) return false;
    first = PortNumberOfName(item.substr(0, dash));
    last = PortNumberOfName(item.substr(dash + 1));
    return first > 0 && last > 0;
}

class PortListBuilder {
  public:
    explicit PortListBuilder(std::vector<std::string>& ports) : ports_(ports) {}

    Status AddItem(const std::string& item) {
        int first = 0, last = 0;
        if (!IsComRange(item, first, last)) return Add(item);
        if (first > last)
            return Status::Error(StatusKind::Usage, "the range " + item + " runs backwards");
        for (int number = first; number <= last; ++number) {
            if (Status added = Add("COM" + std::to_string(number)); !added.ok()) return added;
        }
        return Status::Ok();
    }

  private:
    Status Add(const std::string& name) {
        if (name.empty())
            return Status::Error(StatusKind::Usage, "an empty port name in the list of ports");
        const auto [known, isNew] = names_.emplace(DeviceIdentity(name), name);
        if (!isNew) {
            if (known->second == name)
                return Status::Error(StatusKind::Usage, name + " is named more than once");
            return Status::Error(StatusKind::Usage,
                                 known->second + " and " + name + " are the same device");
        }
        ports_.push_back(name);
        return Status::Ok();
    }

    std::vector<std::string>& ports_;
    std::map<std::string, std::string> names_;  // device identity -> the name first given
};

}  // namespace

Status ExpandPortArguments(const std::vector<std::string>& arguments,
                           std::vector<std::string>* ports) {
    ports->clear();
    PortListBuilder builder(*ports);
    for (const std::string& argument : arguments) {
        for (const std::string& item : ItemsOf(argument))
            if (Status added = builder.AddItem(item); !added.ok()) return added;
    }
    if (ports->size() > MAX_PORTS)
        return Status::Error(StatusKind::Usage, "at most " + std::to_string(MAX_PORTS) +
                                                    " ports, not " + std::to_string(ports->size()));
    return Status::Ok();
}

std::vector<std::string> SplitPortList(const std::string& line) {
    std::vector<std::string> names = ItemsOf(line);
    std::erase(names, std::string());
    return names;
}

}  // namespace qvlink::station
