#include "answer_paced_relay.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>

namespace qvlink::test {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto LONGEST_HOLD = std::chrono::milliseconds(500);

void WriteAll(int fd, const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t done = write(fd, bytes, count);
        if (done <= 0) return;
        bytes += done;
        count -= static_cast<std::size_t>(done);
    }
}

}  // namespace

AnswerPacedRelay::AnswerPacedRelay(int senderFd, int receiverFd)
    : senderFd_(senderFd), receiverFd_(receiverFd) {
    int packetMode = 1;
    if (ioctl(receiverFd_, TIOCPKT, &packetMode) != 0)
        throw std::runtime_error("no packet mode on rx's terminal");
}

AnswerPacedRelay::~AnswerPacedRelay() {
    Join();
}

void AnswerPacedRelay::Start() {
    thread_ = std::thread([this] { Run(); });
}

void AnswerPacedRelay::Join() {
    if (thread_.joinable()) thread_.join();
}

void AnswerPacedRelay::Run() {
    bool holding = false;
    Clock::time_point heldSince;
    std::uint8_t buffer[4096];
    for (;;) {
        pollfd fds[2] = {{receiverFd_, POLLIN, 0},
                         {senderFd_, static_cast<short>(holding ? 0 : POLLIN), 0}};
        poll(fds, 2, holding ? 100 : -1);
        if (holding && Clock::now() - heldSince > LONGEST_HOLD) holding = false;
        if (fds[0].revents != 0) {
            // The kernel hands out a pending "emptied" report ahead of data queued before it,
            // so whatever is read in one go counts as said before the emptying it reports.
            bool answered = false, emptied = false;
            do {
                const ssize_t n = read(receiverFd_, buffer, sizeof buffer);
                if (n <= 0) return;  // rx has closed its terminal
                if (buffer[0] == TIOCPKT_DATA) {
                    WriteAll(senderFd_, buffer + 1, static_cast<std::size_t>(n - 1));
                    answered = true;
                }
                if (buffer[0] & TIOCPKT_FLUSHREAD) emptied = true;
            } while (poll(fds, 1, 0) > 0);
            if (emptied) holding = false;
            if (answered && !emptied) {
                holding = true;
                heldSince = Clock::now();
            }
        }
        if (fds[1].revents != 0) {
            const ssize_t n = read(senderFd_, buffer, sizeof buffer);
            if (n <= 0) return;  // the sender has gone
            WriteAll(receiverFd_, buffer, static_cast<std::size_t>(n));
        }
    }
}

}  // namespace qvlink::test
