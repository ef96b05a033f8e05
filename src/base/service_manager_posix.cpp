#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "os_error.h"
#include "service_manager.h"

namespace qvlink {

ServiceManager::ServiceManager(std::string socket, std::chrono::microseconds watchdog)
    : socket_(std::move(socket)), watchdog_(watchdog) {}

ServiceManager ServiceManager::FromEnvironment() {
    const char* socket = std::getenv("NOTIFY_SOCKET");
    if (socket == nullptr || *socket == '\0') return {};
    std::chrono::microseconds watchdog{0};
    const char* usec = std::getenv("WATCHDOG_USEC");
    const char* pid = std::getenv("WATCHDOG_PID");
    // A watchdog meant for another process (the shell that started this one) is not ours.
    const bool ours = pid == nullptr || std::strtoll(pid, nullptr, 10) == getpid();
    if (usec != nullptr && ours) {
        char* end = nullptr;
        const long long value = std::strtoll(usec, &end, 10);
        if (end != usec && *end == '\0' && value > 0) watchdog = std::chrono::microseconds(value);
    }
    return {socket, watchdog};
}

ServiceManager::~ServiceManager() {
    if (fd_ >= 0) close(fd_);
}

ServiceManager::ServiceManager(ServiceManager&& other) noexcept
    : socket_(std::move(other.socket_)),
      watchdog_(other.watchdog_),
      fd_(std::exchange(other.fd_, -1)) {}

ServiceManager& ServiceManager::operator=(ServiceManager&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) close(fd_);
        socket_ = std::move(other.socket_);
        watchdog_ = other.watchdog_;
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

Status ServiceManager::Tell(const std::string& state) {
    if (!Present()) return Status::Ok();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const bool abstract = socket_[0] == '@';
    if ((socket_[0] != '/' && !abstract) || socket_.size() >= sizeof(address.sun_path))
        return Status::Error(StatusKind::Invalid, "cannot tell the service manager",
                             "NOTIFY_SOCKET is not a socket's name: " + socket_);
    std::memcpy(address.sun_path, socket_.data(), socket_.size());
    if (abstract) address.sun_path[0] = '\0';
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socket_.size() +
                                               (abstract ? 0 : 1));
    if (fd_ < 0) fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        const int error = errno;
        return Status::Error(KindOfErrno(error), "cannot tell the service manager",
                             ErrnoText(error));
    }
    const ssize_t sent = sendto(fd_, state.data(), state.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
                                reinterpret_cast<const sockaddr*>(&address), length);
    if (sent < 0) {
        const int error = errno;
        return Status::Error(KindOfErrno(error), "cannot tell the service manager",
                             socket_ + ": " + ErrnoText(error));
    }
    return Status::Ok();
}

}  // namespace qvlink
