#include "device_line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "os_error.h"

namespace qvlink::sim {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int BITS_PER_BYTE = 10;  // start bit, 8 data bits, stop bit
constexpr auto PEER_POLL_INTERVAL = std::chrono::milliseconds(20);
constexpr auto ANSWER_WINDOW = std::chrono::milliseconds(1);

bool MakeRaw(int fd, bool setLinkSpeed) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) return false;
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    if (setLinkSpeed) {
        cfsetispeed(&settings, B115200);
        cfsetospeed(&settings, B115200);
    }
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

// Sleeps until `deadline`. A sleep overshoots by tens of microseconds, which at 921600 baud is
// a good part of a byte per wait; the last stretch is waited out with yields instead.
void PaceUntil(Clock::time_point deadline) {
    constexpr auto PRECISE_TAIL = std::chrono::microseconds(200);
    std::this_thread::sleep_until(deadline - PRECISE_TAIL);
    while (Clock::now() < deadline) std::this_thread::yield();
}

}  // namespace

Status DeviceLine::CreatePseudoTerminal(std::string* peerPath, std::unique_ptr<DeviceLine>* line) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0 || !MakeRaw(master, false)) {
        const int error = errno;
        if (master >= 0) close(master);
        return Status::Error(KindOfErrno(error), "cannot create a pseudo-terminal",
                             ErrnoText(error));
    }
    *peerPath = ptsname(master);
    // Opening and closing the peer side once makes the master report a hang-up until the
    // flasher opens it, which is how WaitForPeer knows when to announce.
    const int peer = open(peerPath->c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (peer >= 0) close(peer);
    line->reset(new DeviceLine(master, true));
    return Status::Ok();
}

Status DeviceLine::OpenDevice(const std::string& path, std::unique_ptr<DeviceLine>* line) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 || !MakeRaw(fd, true)) {
        const int error = errno;
        if (fd >= 0) close(fd);
        return Status::Error(KindOfErrno(error), path, ErrnoText(error));
    }
    line->reset(new DeviceLine(fd, false));
    return Status::Ok();
}

DeviceLine::~DeviceLine() {
    close(fd_);
}

bool DeviceLine::PeerHasClosed() const {
    if (!isPseudoTerminal_) return false;
    pollfd state{fd_, POLLIN, 0};
    return poll(&state, 1, 0) > 0 && (state.revents & POLLHUP) && !(state.revents & POLLIN);
}

void DeviceLine::WaitForPeer() {
    while (PeerHasClosed()) std::this_thread::sleep_for(PEER_POLL_INTERVAL);
}

void DeviceLine::Linger(std::chrono::milliseconds timeout) {
    if (!isPseudoTerminal_) return;
    const auto deadline = Clock::now() + timeout;
    while (!PeerHasClosed() && Clock::now() < deadline)
        std::this_thread::sleep_for(PEER_POLL_INTERVAL);
}

std::chrono::nanoseconds DeviceLine::WireTime(std::size_t count) const {
    if (baud_ <= 0) return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(static_cast<long long>(count) * BITS_PER_BYTE *
                                    1'000'000'000LL / baud_);
}

void DeviceLine::Send(const std::uint8_t* bytes, std::size_t count) {
    if (baud_ > 0) {
        // A receiver answers the moment the last byte it waited for has arrived; the last byte
        // of the answer reaches the flasher when the line has carried all of it.
        const auto now = Clock::now();
        const auto start = receiveClock_ > now - ANSWER_WINDOW ? receiveClock_ : now;
        sendClock_ = std::max(sendClock_, start) + WireTime(count);
        PaceUntil(sendClock_);
    }
    if (transcript_ != nullptr) transcript_->Record("<-", bytes, count);
    std::size_t sent = 0;
    while (sent < count) {
        const ssize_t done = write(fd_, bytes + sent, count - sent);
        if (done > 0) {
            sent += static_cast<std::size_t>(done);
        } else if (done < 0 && errno != EINTR && errno != EAGAIN) {
            return;  // the flasher has gone; the next read reports the hang-up
        }
    }
}

ReadStatus DeviceLine::Fill(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return ReadStatus::Timeout;
        pollfd incoming{fd_, POLLIN, 0};
        const int ready =
            poll(&incoming, 1, static_cast<int>(std::min<long long>(left.count(), 100)));
        if (ready <= 0) continue;
        if (!(incoming.revents & POLLIN)) return ReadStatus::Hangup;
        std::uint8_t chunk[8192];
        const ssize_t got = read(fd_, chunk, sizeof chunk);
        if (got > 0) {
            if (pendingStart_ == pending_.size()) {
                pending_.clear();
                pendingStart_ = 0;
            }
            pending_.insert(pending_.end(), chunk, chunk + got);
            lastFill_ = Clock::now();
            return ReadStatus::Ok;
        }
        if (got == 0 || (errno != EINTR && errno != EAGAIN)) return ReadStatus::Hangup;
    }
}

ReadStatus DeviceLine::Read(std::uint8_t* bytes, std::size_t count,
                            std::chrono::milliseconds timeout) {
    std::size_t taken = 0;
    std::optional<Clock::time_point> firstArrival;
    if (pendingStart_ < pending_.size()) firstArrival = lastFill_;
    while (taken < count) {
        if (pendingStart_ == pending_.size()) {
            const ReadStatus status = Fill(timeout);
            if (status != ReadStatus::Ok) {
                if (transcript_ != nullptr) transcript_->Record("->", bytes, taken);
                return status;
            }
            if (!firstArrival) firstArrival = lastFill_;
        }
        const std::size_t now = std::min(count - taken, pending_.size() - pendingStart_);
        std::memcpy(bytes + taken, pending_.data() + pendingStart_, now);
        pendingStart_ += now;
        taken += now;
    }
    if (transcript_ != nullptr) transcript_->Record("->", bytes, count);
    if (baud_ > 0) {
        // The bytes began to arrive when the first of them came; the device has the last one
        // only when the line has carried them all.
        receiveClock_ = std::max(receiveClock_, *firstArrival) + WireTime(count);
        PaceUntil(receiveClock_);
    }
    return ReadStatus::Ok;
}

}  // namespace qvlink::sim
