// The run as a whole: the handshake's dispatch, the one posted result, the flags, and the
// worker thread's start and join.
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <thread>

#include "firmware_fixtures.h"
#include "firmware_packer.h"
#include "forwarding_line.h"
#include "handshake.h"
#include "protocol_bytes.h"
#include "pty_pair.h"
#include "receiver_scripts.h"
#include "recording_host.h"
#include "serial_port.h"
#include "upgrade_worker.h"

namespace qvlink {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::ScriptedLine;

struct Dispatch {
    const char* name;
    Bytes announcement;
    Bytes firstReply;  // empty: nothing at all is sent
    std::size_t blockLength;
};

class HandshakeDispatch : public ::testing::TestWithParam<Dispatch> {};

TEST_P(HandshakeDispatch, BootChatterIsDiscardedAndTheFirstDispatchByteDecides) {
    ScriptedLine line;
    test::RecordingHost host(test::StandardPayload(), line);
    line.Queue({'B', 'o', 'o', 't', 0x00, 0xFF, 0x06, 0x66});
    line.Queue(GetParam().announcement);
    line.onIdle = [&](ScriptedLine&) { host.flags.RequestStop(); };
    UpgradeWorkerProc(host.Inputs(), host);
    if (GetParam().firstReply.empty()) {
        EXPECT_TRUE(line.writes.empty());
        return;
    }
    ASSERT_GE(line.writes.size(), 1u);
    EXPECT_EQ(line.writes[0], GetParam().firstReply);
    if (GetParam().blockLength > 0) {
        ASSERT_GE(line.writes.size(), 2u);
        EXPECT_EQ(line.writes[1].size(), GetParam().blockLength);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, HandshakeDispatch,
    ::testing::Values(Dispatch{"CrcStart", {START_CRC}, {BLOCK_ACCEPT}, 1029},
                      Dispatch{"NakStart", {NAK}, {BLOCK_ACCEPT}, 1028},
                      Dispatch{"BulkRequest", {BULK_REQUEST}, {BULK_ACCEPT}, 0},
                      Dispatch{"Cancel", {CAN, START_CRC}, {}, 0}, Dispatch{"Silence", {}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WorkerRun, CancelEndsWithReceiverAbortAndSilenceWithUserAbort) {
    for (const auto& [announcement, result] :
         {std::pair{Bytes{CAN}, RECEIVER_ABORT}, std::pair{Bytes{}, USER_ABORT}}) {
        ScriptedLine line;
        test::RecordingHost host(test::StandardPayload(), line);
        line.Queue(announcement);
        line.onIdle = [&](ScriptedLine&) { host.flags.RequestStop(); };
        host.flags.workerIdle = 0;
        EXPECT_EQ(UpgradeWorkerProc(host.Inputs(), host), 0);
        EXPECT_EQ(host.AwaitResults(1), std::vector<int>{result});
        EXPECT_EQ(host.flags.workerIdle.load(), 1);
    }
}

TEST(WorkerRun, ADispatchByteAlreadyQueuedIsAnsweredEvenAfterAStop) {
    ScriptedLine line;
    test::RecordingHost host(test::StandardPayload(), line);
    line.Queue({START_CRC});
    host.flags.RequestStop();
    UpgradeWorkerProc(host.Inputs(), host);
    EXPECT_EQ(host.AwaitResults(1), std::vector<int>{USER_ABORT});
    ASSERT_EQ(line.writes.size(), 3u);
    EXPECT_EQ(line.writes[0], Bytes{BLOCK_ACCEPT});
    EXPECT_EQ(line.writes[1].size(), 1029u);
    EXPECT_EQ(line.writes[2], (Bytes{CAN, CAN}));
}

TEST(WorkerRun, MissingBlockBuffersEndTheRunWithUpgradeErrorPostedOnce) {
    ScriptedLine line;
    test::RecordingHost host(test::StandardPayload(), line);
    test::PlayBlockReceiver(line, START_CRC, test::FullBurn());
    int handedOut = 0;
    UpgradeWorkerProc(host.Inputs(), host, [&]() -> std::unique_ptr<std::uint8_t[]> {
        return ++handedOut == 1 ? AllocateBlockBuffer() : nullptr;
    });
    EXPECT_EQ(host.AwaitResults(1), std::vector<int>{UPGRADE_ERROR});
    EXPECT_TRUE(line.writes.empty());
    EXPECT_EQ(host.flags.workerIdle.load(), 1);
}

TEST(WorkerRun, AnImageShorterThanTheTransferIsNeverSent) {
    ScriptedLine line;
    test::RecordingHost host(BuildPayload(test::PatternData(1000)), line);
    test::PlayBlockReceiver(line, START_CRC, test::FullBurn());
    UpgradeWorkerProc(host.Inputs(), host);
    EXPECT_EQ(host.AwaitResults(1), std::vector<int>{UPGRADE_ERROR});
    EXPECT_TRUE(line.writes.empty());
}

// The threaded tests run the worker on its own thread against a pseudo-terminal.
class WorkerThreadTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(port_.OpenDevice(pty_.PeerPath(), 115200).ok()); }

    test::PtyPair pty_;
    SerialPort port_;
    test::RecordingHost host_{test::StandardPayload(), port_};
    WorkerThread worker_;
};

TEST_F(WorkerThreadTest, AStopAskedRightAfterStartIsNeverWipedOut) {
    host_.flags.elapsedSeconds = 99;
    ASSERT_TRUE(worker_.Start(host_.Inputs(), host_).ok());
    EXPECT_EQ(host_.flags.elapsedSeconds.load(), 0);
    host_.flags.RequestStop();  // the operator's stop, before the thread may have run at all
    EXPECT_EQ(host_.AwaitResults(1), std::vector<int>{USER_ABORT});
    worker_.Join();
    EXPECT_EQ(host_.flags.workerIdle.load(), 1);
    EXPECT_TRUE(pty_.Receive(1, 50).empty()) << "a stop in the handshake sends nothing";
}

// Tells whether the stop wake was raised at any wait of a run.
class WakeWatchingLine final : public test::ForwardingLine {
  public:
    using ForwardingLine::ForwardingLine;
    LineWait WaitForInput(int timeoutMs, const StopWake& wake) override {
        pollfd watched{wake.WaitHandle(), POLLIN, 0};
        // Read after the poll: a raise the test makes once it stops watching is not counted.
        if (poll(&watched, 1, 0) == 1 && watching.load()) wokenAtOnce.store(true);
        waits.fetch_add(1);
        return ForwardingLine::WaitForInput(timeoutMs, wake);
    }
    std::atomic<bool> watching{true};
    std::atomic<bool> wokenAtOnce{false};
    std::atomic<int> waits{0};
};

TEST_F(WorkerThreadTest, ARunAfterAStopWaitsWithTheStopWakeCleared) {
    // As after the operator's stop: the wake is still raised when the next run starts.
    host_.flags.RequestStop();
    WakeWatchingLine line(port_);
    RunInputs inputs = host_.Inputs();
    inputs.line = &line;
    ASSERT_TRUE(worker_.Start(inputs, host_).ok());
    pty_.Send({'x'});  // a byte that starts nothing: the run reads it and waits again
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (line.waits.load() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    line.watching.store(false);
    host_.flags.RequestStop();
    EXPECT_EQ(host_.AwaitResults(1), std::vector<int>{USER_ABORT});
    worker_.Join();
    EXPECT_FALSE(line.wokenAtOnce.load())
        << "a raised wake left from the stop would make every later wait return at once";
}

TEST_F(WorkerThreadTest, ANewRunStartedOnTheResultIsNeverMarkedIdleByTheOldOne) {
    constexpr std::size_t ROUNDS = 20;
    for (std::size_t round = 1; round <= ROUNDS; ++round) {
        ASSERT_TRUE(worker_.Start(host_.Inputs(), host_).ok());
        pty_.Send({CAN});
        host_.AwaitResults(2 * round - 1);
        // Restart at once, as the dialog does on the posted result, while the old run may
        // still be about to mark itself idle.
        ASSERT_TRUE(worker_.Start(host_.Inputs(), host_).ok());
        EXPECT_EQ(host_.flags.workerIdle.load(), 0) << "round " << round;
        host_.flags.RequestStop();
        host_.AwaitResults(2 * round);
        worker_.Join();
    }
    const auto results = host_.AwaitResults(2 * ROUNDS);
    for (std::size_t i = 0; i < results.size(); ++i)
        EXPECT_EQ(results[i], i % 2 == 0 ? RECEIVER_ABORT : USER_ABORT) << "result " << i;
}

}  // namespace
}  // namespace qvlink
