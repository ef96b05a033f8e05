#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "os_error.h"
#include "service_signals.h"

namespace qvlink {
namespace {

sigset_t Taken() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

}  // namespace

ServiceSignals::ServiceSignals() {
    const sigset_t set = Taken();
    if (const int error = pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0) {
        ready_ =
            Status::Error(KindOfErrno(error), "cannot take the stop signals", ErrnoText(error));
        return;
    }
    fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd_ < 0) {
        const int error = errno;
        ready_ =
            Status::Error(KindOfErrno(error), "cannot take the stop signals", ErrnoText(error));
    }
}

ServiceSignals::~ServiceSignals() {
    if (fd_ >= 0) close(fd_);
    const sigset_t set = Taken();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void ServiceSignals::Deliver(Event event) {
    // Pending for the process while blocked: the signalfd takes it.
    if (event == Event::Stop) kill(getpid(), SIGTERM);
    if (event == Event::Reload) kill(getpid(), SIGHUP);
}

ServiceSignals::Event ServiceSignals::Wait(std::optional<std::chrono::milliseconds> timeout) {
    for (;;) {
        signalfd_siginfo info{};
        if (fd_ >= 0 && read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
            return info.ssi_signo == SIGHUP ? Event::Reload : Event::Stop;
        pollfd waits[2] = {{fd_, POLLIN, 0}, {nudge_.WaitHandle(), POLLIN, 0}};
        const int ms = timeout ? static_cast<int>(std::max<long long>(timeout->count(), 0)) : -1;
        const int ready = poll(waits, 2, ms);
        if (ready == 0) return Event::TimedOut;
        if (ready < 0 && errno != EINTR) return Event::TimedOut;
        if (waits[1].revents != 0) {
            nudge_.Clear();
            return Event::Nudged;
        }
        // A signal is pending: read at the top. poll ignores the negative descriptor of a
        // signalfd that could not be made, so this never turns into a busy loop.
    }
}

}  // namespace qvlink
