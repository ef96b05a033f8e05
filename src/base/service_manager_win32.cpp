#include <utility>

#include "service_manager.h"

namespace qvlink {

// Windows has no notify socket: its services talk to the service control manager instead.
ServiceManager::ServiceManager(std::string socket, std::chrono::microseconds watchdog)
    : socket_(std::move(socket)), watchdog_(watchdog) {}

ServiceManager ServiceManager::FromEnvironment() {
    return {};
}

ServiceManager::~ServiceManager() = default;
ServiceManager::ServiceManager(ServiceManager&& other) noexcept = default;
ServiceManager& ServiceManager::operator=(ServiceManager&& other) noexcept = default;

Status ServiceManager::Tell(const std::string& state) {
    (void)state;
    if (!Present()) return Status::Ok();
    return Status::Error(StatusKind::Usage, "cannot tell the service manager",
                         "there is no notify socket on Windows");
}

}  // namespace qvlink
