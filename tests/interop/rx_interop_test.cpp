// A standard XMODEM receiver (lrzsz's rx, in CRC mode) takes the image from our engine over a
// pseudo-terminal: the proof that the block protocol is XMODEM-1K on the wire.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "answer_paced_relay.h"
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

TEST(RxInterop, StandardReceiverGetsThePayloadPaddedWithSub) {
    if (access("/usr/bin/rx", X_OK) != 0) GTEST_SKIP() << "lrzsz is not installed";
    test::ScratchDir dir;
    test::PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(port.OpenDevice(pty.PeerPath(), 115200).ok());
    const Bytes payload = BuildPayload(test::PatternData(0x100000));
    test::RecordingHost host(payload, port);
    WorkerThread worker;
    ASSERT_TRUE(worker.Start(host.Inputs(), host).ok());

    // rx talks on its standard input and output, a terminal of its own that the relay joins to
    // the engine's line. It asks again after its time-out (-t, in tenths of a second) when it
    // takes our BLOCK_ACCEPT for noise.
    test::PtyPair receiverPty;
    test::AnswerPacedRelay relay(pty.MasterFd(), receiverPty.MasterFd());
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
    relay.Start();
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
