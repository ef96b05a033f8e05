// The device watch on Linux: udev's tty events where udev runs, else a look every second; the
// waits are poll() on eventfds and the udev monitor's socket.
#include <libudev.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "device_watch.h"

namespace qvlink {
namespace {

// udevd's control socket: there only while udevd runs. In a container or on CI a monitor can
// be made all the same, but no event ever comes to it.
constexpr const char* UDEV_CONTROL = "/run/udev/control";
constexpr int UNWATCHED_WAIT_MS = 50;

}  // namespace

struct DeviceWatch::Events {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;
    int fd = -1;

    ~Events() {
        if (monitor != nullptr) udev_monitor_unref(monitor);
        if (context != nullptr) udev_unref(context);
    }
};

void DeviceWatch::EventsDeleter::operator()(Events* events) const {
    delete events;
}

std::unique_ptr<DeviceWatch::Events, DeviceWatch::EventsDeleter> DeviceWatch::OpenEvents() {
    if (::access(UDEV_CONTROL, F_OK) != 0) return nullptr;
    std::unique_ptr<Events, EventsDeleter> events(new Events);
    events->context = udev_new();
    if (events->context == nullptr) return nullptr;
    // "udev": the events udevd sends once its rules have run, so the by-path links are made.
    events->monitor = udev_monitor_new_from_netlink(events->context, "udev");
    if (events->monitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(events->monitor, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(events->monitor) < 0)
        return nullptr;
    events->fd = udev_monitor_get_fd(events->monitor);
    if (events->fd < 0) return nullptr;
    return events;
}

bool DeviceWatch::AwaitEvent(Events* events, const StopWake& changed, int timeoutMs) {
    pollfd watched[2] = {{changed.WaitHandle(), POLLIN, 0}, {-1, POLLIN, 0}};
    if (events != nullptr) watched[1].fd = events->fd;
    int bound = timeoutMs;
    if (changed.WaitHandle() < 0)
        bound = bound < 0 ? UNWATCHED_WAIT_MS : std::min(bound, UNWATCHED_WAIT_MS);
    const int ready = ::poll(watched, 2, bound);
    if (ready < 0) {
        // A poll that fails for want of resources fails again at once: sleep instead of spinning.
        if (errno != EINTR) ::usleep(static_cast<useconds_t>(UNWATCHED_WAIT_MS) * 1000);
        return false;
    }
    if (events == nullptr || !(watched[1].revents & POLLIN)) return false;
    // The monitor's socket does not block: take every event that has come.
    while (udev_device* device = udev_monitor_receive_device(events->monitor))
        udev_device_unref(device);
    return true;
}

bool DeviceWatch::DevicePresent(const std::string& path) {
    struct stat info {};
    // Through a link to what it leads to: a by-path link whose device has gone leads nowhere.
    return ::stat(path.c_str(), &info) == 0;
}

DeviceWatch::Woken DeviceWatch::AwaitWakes(const StopWake& stop, const StopWake& back,
                                           int timeoutMs) {
    pollfd watched[2] = {{stop.WaitHandle(), POLLIN, 0}, {back.WaitHandle(), POLLIN, 0}};
    int bound = timeoutMs;
    if (watched[0].fd < 0 || watched[1].fd < 0)
        bound = bound < 0 ? UNWATCHED_WAIT_MS : std::min(bound, UNWATCHED_WAIT_MS);
    const int ready = ::poll(watched, 2, bound);
    if (ready < 0) {
        if (errno != EINTR) ::usleep(static_cast<useconds_t>(UNWATCHED_WAIT_MS) * 1000);
        return Woken::Time;
    }
    if (watched[0].revents & POLLIN) return Woken::Stop;
    if (watched[1].revents & POLLIN) return Woken::Back;
    return Woken::Time;
}

}  // namespace qvlink
