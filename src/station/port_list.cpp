#include "port_list.h"

#include <map>

#include "port_names.h"

namespace qvlink::station {
namespace {

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
        if (first > last) return Status::Error("the range " + item + " runs backwards");
        for (int number = first; number <= last; ++number) {
            if (Status added = Add("COM" + std::to_string(number)); !added.ok()) return added;
        }
        return Status::Ok();
    }

  private:
    Status Add(const std::string& name) {
        if (name.empty()) return Status::Error("an empty port name in the list of ports");
        const auto [known, isNew] = names_.emplace(DeviceIdentity(name), name);
        if (!isNew) {
            if (known->second == name) return Status::Error(name + " is named more than once");
            return Status::Error(known->second + " and " + name + " are the same device");
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
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = argument.find(',', start);
            if (Status added = builder.AddItem(argument.substr(start, comma - start)); !added.ok())
                return added;
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    if (ports->size() > MAX_PORTS)
        return Status::Error("at most " + std::to_string(MAX_PORTS) + " ports, not " +
                             std::to_string(ports->size()));
    return Status::Ok();
}

}  // namespace qvlink::station
