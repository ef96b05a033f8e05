#include "pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace qvlink::test {

PtyPair::PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        tcgetattr(master_, &settings) != 0)
        throw std::runtime_error("no pseudo-terminal");
    cfmakeraw(&settings);
    tcsetattr(master_, TCSANOW, &settings);
    peerPath_ = ptsname(master_);
}

PtyPair::~PtyPair() {
    CloseMaster();
}

void PtyPair::CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
}

termios PtyPair::LineSettings() const {
    termios settings{};
    tcgetattr(master_, &settings);
    return settings;
}

void PtyPair::Send(const std::vector<std::uint8_t>& bytes) const {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t done = write(master_, bytes.data() + sent, bytes.size() - sent);
        if (done <= 0) throw std::runtime_error("pty write failed");
        sent += static_cast<std::size_t>(done);
    }
}

std::vector<std::uint8_t> PtyPair::Receive(std::size_t count, int timeoutMs) const {
    std::vector<std::uint8_t> got;
    std::uint8_t chunk[4096];
    while (got.size() < count) {
        pollfd incoming{master_, POLLIN, 0};
        if (poll(&incoming, 1, timeoutMs) <= 0 || !(incoming.revents & POLLIN)) break;
        const ssize_t n = read(master_, chunk, std::min(sizeof chunk, count - got.size()));
        if (n <= 0) break;
        got.insert(got.end(), chunk, chunk + n);
    }
    return got;
}

}  // namespace qvlink::test
