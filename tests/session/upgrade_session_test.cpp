// The upgrade session on an in-memory line: starting, the operator's stop and a lost line in
// each phase, what follows each result in and out of continuous mode, and starting again after
// a stop.
#include "upgrade_session.h"

#include <gtest/gtest.h>

#include <climits>

#include "firmware_fixtures.h"
#include "forwarding_line.h"
#include "protocol_bytes.h"
#include "receiver_scripts.h"
#include "recording_host.h"

namespace qvlink {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::ScriptedLine;

// The receiver stops answering after the engine's first `answered` writes.
void FallSilentAfter(ScriptedLine& line, std::size_t answered) {
    line.onWrite = [play = line.onWrite, answered](ScriptedLine& l, const Bytes& written) {
        if (l.writes.size() <= answered) play(l, written);
    };
}

class UpgradeSessionTest : public ::testing::Test {
  protected:
    UpgradeSessionTest() {
        const auto file = dir_.Write("quorvane.bin", test::PatternFirmwareFile(0x100000));
        EXPECT_TRUE(session_.LoadFirmware(file).ok());
    }

    // Opens the port and starts; the test's line plays the receiver.
    void Start(bool continuous) {
        session_.SetContinuous(continuous);
        ASSERT_TRUE(session_.OpenPort(1).ok());
        ASSERT_TRUE(session_.Start().ok());
    }
    // The next posted result, as the front end's thread receives it.
    UpgradeResult NextResult() {
        ++results_;
        return static_cast<UpgradeResult>(host_.AwaitResults(results_).at(results_ - 1));
    }
    // A silent line from now on: the waiting run is stopped as soon as it waits.
    void StopWhenWaiting() {
        line_.onIdle = [this](ScriptedLine&) { session_.RequestStop(); };
    }

    test::ScratchDir dir_;
    ScriptedLine line_;
    std::vector<std::string> opened_;
    test::RecordingHost host_{{}, line_};  // only its record of results is used
    UpgradeSession session_{host_,
                            [this](const std::string& device, std::unique_ptr<SerialLine>* line) {
                                opened_.push_back(device);
                                *line = std::make_unique<test::ForwardingLine>(line_);
                                return Status::Ok();
                            }};
    std::size_t results_ = 0;
};

TEST_F(UpgradeSessionTest, StartNeedsACheckedImageAndAnOpenPort) {
    EXPECT_EQ(session_.Start().kind(), StatusKind::Usage) << "no port is open";
    EXPECT_FALSE(session_.Active());
    UpgradeSession empty(host_, [this](const std::string&, std::unique_ptr<SerialLine>* line) {
        *line = std::make_unique<test::ForwardingLine>(line_);
        return Status::Ok();
    });
    ASSERT_TRUE(empty.OpenPort(1).ok());
    EXPECT_EQ(empty.Start().kind(), StatusKind::Usage) << "no image is loaded";
    EXPECT_FALSE(empty.PortIsOpen());
}

TEST_F(UpgradeSessionTest, PortNumbersAreNamedWithoutOverflowAndAFailedOpenSaysWhich) {
    UpgradeSession refusing(host_, [](const std::string&, std::unique_ptr<SerialLine>*) {
        return Status::Error(StatusKind::InUse, "gone");
    });
    for (const auto& [number, text] : {std::pair<std::int64_t, const char*>{
                                           std::int64_t{INT_MAX} + 1, "open port2147483648 error!"},
                                       {std::int64_t{INT_MIN} + 1, "open port-2147483647 error!"},
                                       {3, "open port3 error!"}}) {
        const Status opening = refusing.OpenPort(number);
        EXPECT_FALSE(opening.ok());
        EXPECT_EQ(opening.message(), text);
        EXPECT_EQ(opening.cause(), "gone");
        EXPECT_EQ(opening.kind(), StatusKind::InUse) << "the opener's kind is kept";
    }
    EXPECT_EQ(refusing.OpenNamedPort("COM7").message(), "open port7 error!");
    EXPECT_EQ(refusing.OpenNamedPort("/dev/ttyUSB0").message(), "open /dev/ttyUSB0 error!");
    EXPECT_FALSE(refusing.PortIsOpen());
}

struct StopPhase {
    const char* name;
    std::function<void(ScriptedLine&)> receiver;  // a receiver that falls silent in the phase
    bool cancelsOnTheLine;                        // whether the operator's stop sends CAN CAN
};

class EndInEachPhase : public UpgradeSessionTest, public ::testing::WithParamInterface<StopPhase> {
  protected:
    void ExpectIdleAfter(UpgradeResult result) {
        EXPECT_EQ(NextResult(), result);
        const RunOutcome outcome = session_.Finish(result);
        EXPECT_FALSE(outcome.Restarted()) << "not even in continuous mode";
        EXPECT_FALSE(session_.Active());
        EXPECT_FALSE(session_.PortIsOpen());
    }
    bool CancelledOnTheLine() const {
        return !line_.writes.empty() && line_.writes.back() == Bytes{CAN, CAN};
    }
};

TEST_P(EndInEachPhase, TheOperatorsStopEndsTheRunAndTheSession) {
    GetParam().receiver(line_);
    StopWhenWaiting();
    Start(true);
    ExpectIdleAfter(USER_ABORT);
    EXPECT_EQ(CancelledOnTheLine(), GetParam().cancelsOnTheLine);
}

TEST_P(EndInEachPhase, ALostLineEndsTheRunWithPortLostAndTheSession) {
    GetParam().receiver(line_);
    line_.onIdle = [](ScriptedLine& line) { line.lost = true; };
    Start(true);
    ExpectIdleAfter(PORT_LOST);
    EXPECT_FALSE(CancelledOnTheLine()) << "nothing is sent to a line that is gone";
}

INSTANTIATE_TEST_SUITE_P(
    Phases, EndInEachPhase,
    ::testing::Values(StopPhase{"Handshake", [](ScriptedLine&) {}, false},
                      StopPhase{"BlockTransfer",
                                [](ScriptedLine& line) {
                                    test::PlayBlockReceiver(line, START_CRC, test::FullBurn());
                                    FallSilentAfter(line, 40);
                                },
                                true},
                      StopPhase{"BulkTransfer",
                                [](ScriptedLine& line) {
                                    test::PlayBulkReceiver(line, 0, test::FullBurn());
                                    FallSilentAfter(line, 40);
                                },
                                false},
                      StopPhase{"Burn",
                                [](ScriptedLine& line) {
                                    test::PlayBulkReceiver(line, 0, {BURN_PROGRESS_FIRST});
                                },
                                false}),
    [](const auto& info) { return std::string(info.param.name); });

struct AfterResult {
    int code;
    bool restartsAlone;       // out of continuous mode
    bool restartsContinuous;  // in continuous mode
};

TEST_F(UpgradeSessionTest, WhatFollowsEachResultInAndOutOfContinuousMode) {
    const AfterResult table[] = {
        {BULK_COMPLETED, false, true},
        {BLOCK_COMPLETED, false, true},
        {DEVICE_CHECKSUM_ERROR, false, true},
        {DEVICE_MEMORY_ERROR, false, true},
        {DEVICE_SDRAM_ERROR, false, true},
        {BULK_BURN_ERROR, false, true},
        {BLOCK_BURN_ERROR, false, true},
        {UNKNOWN_ERROR, false, true},
        {TIME_OUT, false, true},
        {TRANSFER_ERROR, false, true},
        {1003, false, true},
        {RECEIVER_ABORT, true, true},
        {USER_ABORT, false, false},
        {UPGRADE_ERROR, false, false},
        {PORT_LOST, false, false},
    };
    for (const AfterResult& row : table) {
        for (const bool continuous : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << "code " << row.code << ", continuous " << continuous);
            line_.Queue({CAN});  // any run's end will do: the result under test stands in for it
            StopWhenWaiting();
            Start(continuous);
            NextResult();
            const RunOutcome outcome = session_.Finish(static_cast<UpgradeResult>(row.code));
            const bool restarts = continuous ? row.restartsContinuous : row.restartsAlone;
            EXPECT_EQ(outcome.Restarted(), restarts);
            EXPECT_EQ(session_.Active(), restarts);
            EXPECT_EQ(session_.PortIsOpen(), restarts);
            if (!restarts) continue;
            EXPECT_EQ(NextResult(), USER_ABORT) << "the restarted run waits for a receiver";
            EXPECT_FALSE(session_.Finish(USER_ABORT).Restarted());
        }
    }
}

TEST_F(UpgradeSessionTest, AStopThatMeetsARestartingResultOnItsWayEndsTheSession) {
    test::PlayBlockReceiver(line_, START_CRC, test::FullBurn());
    Start(true);
    EXPECT_EQ(NextResult(), BLOCK_COMPLETED);
    session_.RequestStop();  // the run has ended; its result is not yet handled
    const RunOutcome outcome = session_.Finish(BLOCK_COMPLETED);
    EXPECT_FALSE(outcome.Restarted());
    EXPECT_EQ(outcome.next, RunNext::Stopped);
    EXPECT_EQ(outcome.text, "Upgrade Completed");
    EXPECT_FALSE(session_.PortIsOpen());
}

TEST_F(UpgradeSessionTest, AfterAStopMidTransferTheNextStartServesAReceiverToTheEnd) {
    test::PlayBlockReceiver(line_, START_CRC, test::FullBurn());
    FallSilentAfter(line_, 40);
    StopWhenWaiting();
    Start(false);
    ASSERT_EQ(NextResult(), USER_ABORT);
    session_.Finish(USER_ABORT);

    line_.writes.clear();
    test::PlayBlockReceiver(line_, START_CRC, test::FullBurn());
    line_.onIdle = nullptr;
    Start(false);
    EXPECT_EQ(NextResult(), BLOCK_COMPLETED);
    EXPECT_FALSE(session_.Finish(BLOCK_COMPLETED).Restarted());
    EXPECT_EQ(test::BlocksWritten(line_).size(), 1025u);
}

TEST_F(UpgradeSessionTest, AStopOnAResultOnItsWayDoesNotOutliveItsSession) {
    line_.Queue({CAN});
    StopWhenWaiting();
    Start(true);
    NextResult();
    session_.RequestStop();
    ASSERT_FALSE(session_.Finish(RECEIVER_ABORT).Restarted());

    // A new continuous session: after a receiver's result it waits for the next one.
    test::PlayBulkReceiver(line_, 0, test::FullBurn());
    line_.onIdle = nullptr;
    Start(true);
    ASSERT_EQ(NextResult(), BULK_COMPLETED);
    StopWhenWaiting();
    EXPECT_TRUE(session_.Finish(BULK_COMPLETED).Restarted());
    EXPECT_EQ(NextResult(), USER_ABORT);
    session_.Finish(USER_ABORT);
}

TEST_F(UpgradeSessionTest, NoMoreWantedEndsTheSessionInsteadOfTheNextRun) {
    line_.Queue({CAN});
    StopWhenWaiting();
    Start(true);
    NextResult();
    line_.Queue({CAN});  // the next run ends on its own, with no stop
    EXPECT_TRUE(session_.Finish(DEVICE_CHECKSUM_ERROR).Restarted());
    NextResult();
    const RunOutcome outcome = session_.Finish(BULK_COMPLETED, {}, true);
    EXPECT_EQ(outcome.next, RunNext::Idle) << "continuous, but no more receivers are wanted";
    EXPECT_FALSE(session_.Active());
    EXPECT_EQ(session_.RunsFinished(), 2);
}

}  // namespace
}  // namespace qvlink
