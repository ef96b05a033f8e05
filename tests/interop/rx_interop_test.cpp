// A standard XMODEM receiver (lrzsz's rx, in CRC mode) takes the image from our engine over a
// pseudo-terminal: the proof that the block protocol is XMODEM-1K on the wire.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "firmware_fixtures.h"
#include "firmware_packer.h"
#include "protocol_bytes.h"
#include "pty_pair.h"
#include "recording_host.h"
#include "serial_port.h"
#include "upgrade_worker.h"

namespace qvlink {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

void WriteAll(int fd, const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t done = write(fd, bytes, count);
        if (done <= 0) return;
        bytes += done;
        count -= static_cast<std::size_t>(done);
    }
}

// Carries bytes between the engine's line and rx's terminal. rx empties its input right after
// each answer it sends, so a block the engine sends at once may be thrown away and cost rx a
// time-out of several seconds (on a loaded machine, often enough to take minutes). The relay
// reads rx's terminal in packet mode, which reports that emptying, and holds the engine's bytes
// back from rx's answer until rx has emptied its input (or half a second has passed).
class AnswerPacedRelay {
  public:
    AnswerPacedRelay(int engineFd, int receiverFd)
        : engineFd_(engineFd), receiverFd_(receiverFd), thread_([this] { Run(); }) {}
    ~AnswerPacedRelay() { Join(); }
    // Returns once rx has closed its terminal and everything it said was passed on.
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

  private:
    void Run() {
        bool holding = false;
        Clock::time_point heldSince;
        std::uint8_t buffer[4096];
        for (;;) {
            pollfd fds[2] = {{receiverFd_, POLLIN, 0},
                             {engineFd_, static_cast<short>(holding ? 0 : POLLIN), 0}};
            poll(fds, 2, holding ? 100 : -1);
            if (holding && Clock::now() - heldSince > std::chrono::milliseconds(500))
                holding = false;
            if (fds[0].revents != 0) {
                // The kernel hands out a pending "emptied" report before data queued ahead of it,
                // so everything read in one go counts as said before the emptying it reports.
                bool answered = false, emptied = false;
                do {
                    const ssize_t n = read(receiverFd_, buffer, sizeof buffer);
                    if (n <= 0) return;  // rx has closed its terminal
                    if (buffer[0] == TIOCPKT_DATA) {
                        WriteAll(engineFd_, buffer + 1, static_cast<std::size_t>(n - 1));
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
                const ssize_t n = read(engineFd_, buffer, sizeof buffer);
                if (n <= 0) return;
                WriteAll(receiverFd_, buffer, static_cast<std::size_t>(n));
            }
        }
    }

    int engineFd_;
    int receiverFd_;
    std::thread thread_;
};

TEST(RxInterop, StandardReceiverGetsThePayloadPaddedWithSub) {
    if (access("/usr/bin/rx", X_OK) != 0) GTEST_SKIP() << "lrzsz is not installed";
    test::ScratchDir dir;
    test::PtyPair pty;
    SerialPort port;
    ASSERT_EQ(port.OpenDevice(pty.PeerPath(), 115200), 1);
    const Bytes payload = BuildPayload(test::PatternData(0x100000));
    test::RecordingHost host(payload, port);
    WorkerThread worker;
    ASSERT_TRUE(worker.Start(host.Inputs(), host));

    // rx talks on its standard input and output, a terminal of its own that the relay joins to
    // the engine's line. It asks again after its time-out (-t, in tenths of a second) when it
    // takes our BLOCK_ACCEPT for noise.
    test::PtyPair receiverPty;
    int packetMode = 1;
    ASSERT_EQ(ioctl(receiverPty.MasterFd(), TIOCPKT, &packetMode), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, receiverPty.PeerPath().c_str(),
                                     O_RDWR | O_NOCTTY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, dir.Path().c_str());
    char program[] = "/usr/bin/rx", crc[] = "-c", quiet[] = "-q", timeout[] = "-t", tenths[] = "20",
         name[] = "received.img";
    char* argv[] = {program, crc, quiet, timeout, tenths, name, nullptr};
    pid_t rx = -1;
    ASSERT_EQ(posix_spawn(&rx, program, &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    AnswerPacedRelay relay(pty.MasterFd(), receiverPty.MasterFd());
    int status = -1;
    waitpid(rx, &status, 0);
    relay.Join();
    ASSERT_TRUE(WIFEXITED(status)) << "rx did not end normally";
    EXPECT_EQ(WEXITSTATUS(status), 0);

    // rx empties its output as it ends, which may take its last ACK back off the line; the burn
    // follows.
    pty.Send({ACK, BURN_DONE});
    EXPECT_EQ(host.AwaitResults(1), std::vector<int>{BLOCK_COMPLETED});
    worker.Join();

    std::ifstream file(dir.Path() / "received.img", std::ios::binary);
    const Bytes received((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    Bytes expected(payload.begin(), payload.begin() + TRANSFER_SIZE);
    expected.insert(expected.end(), 1008, SUB);
    EXPECT_EQ(received.size(), expected.size());
    EXPECT_TRUE(received == expected) << "rx's file differs from the payload";
}

}  // namespace
}  // namespace qvlink
