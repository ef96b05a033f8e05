// The dialog's behaviour against a recording view: texts, timers and every transition, with
// runs against qvlink-sim on a pseudo-terminal where a receiver is needed.
#include "upgrade_dialog.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <climits>
#include <thread>

#include "firmware_fixtures.h"
#include "recording_view.h"
#include "sim_process.h"
#include "status_texts.h"

namespace qvlink {
namespace {

using test::RecordingView;
using test::ShownMessage;
using test::SimProcess;

constexpr const char* NO_DEVICE = "/dev/qvlink-no-such-device";

class UpgradeDialogTest : public ::testing::Test {
  protected:
    UpgradeDialogTest() : dialog_(selectedPort_) {
        dialog_.Attach(view_);
        firmware_ = dir_.Write("quorvane.bin", test::PatternFirmwareFile(0x100000)).string();
        // Never a real serial port: COM1 is a missing device unless a test starts a receiver.
        setenv("QVLINK_COM1", NO_DEVICE, 1);
    }
    ~UpgradeDialogTest() override { unsetenv("QVLINK_COM1"); }

    // A receiver for COM1.
    std::unique_ptr<SimProcess> StartReceiver(std::vector<std::string> options) {
        options.push_back(firmware_);
        auto sim = std::make_unique<SimProcess>(options);
        setenv("QVLINK_COM1", sim->DevicePath().c_str(), 1);
        return sim;
    }
    void PressStart() {
        view_.chosenFile = firmware_;
        dialog_.OnStartStop();
    }
    bool AwaitIdle() {
        return view_.PumpUntil([&] { return !dialog_.Running(); });
    }

    test::ScratchDir dir_;
    std::string firmware_;
    int selectedPort_ = 0;
    RecordingView view_;
    UpgradeDialog dialog_;
};

TEST_F(UpgradeDialogTest, OpensReadyWithTheStoredPortChecked) {
    selectedPort_ = 5;
    dialog_.OnInitDialog();
    EXPECT_EQ(view_.title, "Quorvane Link 1.1  2006-FEB-9");
    EXPECT_EQ(view_.StatusLine(), "ready");
    EXPECT_EQ(view_.portChoice, 5);
    EXPECT_EQ(view_.progressWrites, 0) << "the bar is already at 0";
}

TEST_F(UpgradeDialogTest, StatusReportsSetTitleLineAndBarAsTheirKindSays) {
    dialog_.ApplyStatus({STATUS_WAITING, 0, -1, -1});
    dialog_.ApplyStatus({STATUS_WAITING, 0, -1, -1});
    EXPECT_EQ(view_.title, "Waiting...");
    EXPECT_EQ(view_.titleWrites, 1) << "the waiting title is written only when it differs";
    dialog_.ApplyStatus({STATUS_TRANSFER, 42, -1, -1});
    EXPECT_EQ(view_.title, "[step 1/2]  %42");
    EXPECT_EQ(view_.titleRepaints, 1) << "progress titles are not repainted at once";
    EXPECT_EQ(view_.progress, 42);
    dialog_.ApplyStatus({9, 77, -1, -1});
    EXPECT_EQ(view_.StatusLine(), "");
    EXPECT_EQ(view_.title, "[step 1/2]  %42");
    EXPECT_EQ(view_.progress, 42);
    dialog_.ApplyStatus({STATUS_READY, 0, -1, -1});
    EXPECT_EQ(view_.progress, 0);
    EXPECT_EQ(view_.StatusLine(), "ready");
}

TEST_F(UpgradeDialogTest, BlinkAlternatesTheWaitingTextAndTheClockCounts) {
    dialog_.OnTimer(BLINK_TIMER);
    EXPECT_EQ(view_.StatusLine(), "");
    dialog_.OnTimer(BLINK_TIMER);
    EXPECT_EQ(view_.StatusLine(), "waiting for connection .....");
    dialog_.OnTimer(BLINK_TIMER);
    EXPECT_EQ(view_.StatusLine(), "");
    dialog_.Session().Flags().elapsedSeconds = 3724;
    dialog_.OnTimer(CLOCK_TIMER);
    EXPECT_EQ(view_.elapsed, "62 : 05");
    dialog_.OnTimer(7);
    EXPECT_EQ(view_.elapsed, "62 : 05");
}

TEST_F(UpgradeDialogTest, CancelledChooserShowsNothingAndKeepsTheImage) {
    PressStart();  // loads the image; COM1 cannot be opened
    ASSERT_EQ(view_.messages.size(), 1u);
    view_.chosenFile.reset();
    dialog_.OnStartStop();
    EXPECT_EQ(view_.chooserShown, 2);
    EXPECT_EQ(view_.messages.size(), 1u);
    EXPECT_EQ(dialog_.Session().Image().state, ImageState::ValidPayload);
    EXPECT_FALSE(dialog_.Running());
}

TEST_F(UpgradeDialogTest, RefusedFileShowsItsMessageInItsBox) {
    view_.chosenFile = dir_.Write("bad.bin", std::vector<std::uint8_t>(38, 1)).string();
    dialog_.OnStartStop();
    EXPECT_EQ(view_.messages,
              (std::vector<ShownMessage>{{BoxKind::Dialog, "file size error [1]", ""}}));
    auto broken = test::PatternFirmwareFile(0x100000);
    broken[3] = 'X';
    view_.chosenFile = dir_.Write("magic.bin", broken).string();
    dialog_.OnStartStop();
    EXPECT_EQ(view_.messages.back(),
              (ShownMessage{BoxKind::Application, "File Data Error [1]", ""}));
    EXPECT_FALSE(dialog_.Session().PortIsOpen());
    EXPECT_EQ(view_.startStopCaption, "Upgrade Software");
}

TEST_F(UpgradeDialogTest, PortThatCannotOpenIsNamedOneBased) {
    selectedPort_ = 2;
    setenv("QVLINK_COM3", NO_DEVICE, 1);
    PressStart();
    unsetenv("QVLINK_COM3");
    EXPECT_EQ(view_.messages,
              (std::vector<ShownMessage>{{BoxKind::Dialog, "open port3 error!", ""}}));
    EXPECT_EQ(dialog_.Session().Image().state, ImageState::ValidPayload);
    EXPECT_FALSE(dialog_.Running());
}

TEST_F(UpgradeDialogTest, StoredPortsAtTheEndsOfTheRangeAreNamedWithoutOverflow) {
    for (const auto& [stored, text] : {std::pair{INT_MAX, "open port2147483648 error!"},
                                       std::pair{INT_MIN, "open port-2147483647 error!"}}) {
        selectedPort_ = stored;
        view_.messages.clear();
        PressStart();
        EXPECT_EQ(view_.messages, (std::vector<ShownMessage>{{BoxKind::Dialog, text, ""}}));
        EXPECT_FALSE(dialog_.Running());
        EXPECT_EQ(view_.startStopCaption, "Upgrade Software");
    }
}

TEST_F(UpgradeDialogTest, AnUpgradeRunsToCompletedInTheApplicationsBox) {
    auto sim = StartReceiver({"--protocol", "bulk"});
    dialog_.OnInitDialog();
    PressStart();
    EXPECT_TRUE(dialog_.Running());
    EXPECT_EQ(view_.startStopCaption, "Stop");
    EXPECT_FALSE(view_.lockablesEnabled);
    EXPECT_EQ(view_.title, "Waiting...");
    EXPECT_TRUE(view_.runningTimers.count(BLINK_TIMER));
    ASSERT_TRUE(AwaitIdle());
    EXPECT_EQ(view_.messages,
              (std::vector<ShownMessage>{{BoxKind::Application, "Upgrade Completed", ""}}));
    EXPECT_EQ(view_.startStopCaption, "Upgrade Software");
    EXPECT_TRUE(view_.lockablesEnabled);
    EXPECT_EQ(view_.title, "Quorvane Link 1.1  2006-FEB-9");
    EXPECT_TRUE(view_.runningTimers.empty());
    EXPECT_FALSE(dialog_.Session().PortIsOpen());
    EXPECT_EQ(sim->Wait(), 0) << sim->AllVerdicts();
}

TEST_F(UpgradeDialogTest, StopMidTransferGoesIdleWithoutAMessage) {
    auto sim = StartReceiver({"--protocol", "block-crc", "--stall-at", "40"});
    PressStart();
    ASSERT_TRUE(view_.PumpUntil([&] { return view_.progress > 0; }));
    dialog_.OnStartStop();
    EXPECT_EQ(dialog_.Session().Flags().workerIdle.load(), 1) << "the stop waits until the worker is idle";
    ASSERT_TRUE(AwaitIdle());
    EXPECT_TRUE(view_.messages.empty());
    EXPECT_EQ(view_.StatusLine(), "ready");
    EXPECT_EQ(sim->Wait(), 1);
    // The receiver saw the flasher's CAN CAN, whether it had stalled yet or not.
    const std::string verdicts = sim->AllVerdicts();
    EXPECT_TRUE(verdicts.find("sent 0x18 0x18") != std::string::npos ||
                verdicts.find("(CAN CAN)") != std::string::npos)
        << verdicts;
}

TEST_F(UpgradeDialogTest, ContinuousModeShowsEachResultAndWaitsForTheNextReceiver) {
    view_.continuousChecked = true;
    dialog_.OnContinuousCheck();
    EXPECT_TRUE(view_.resultLineVisible);
    auto sim = StartReceiver({"--protocol", "block-sum,bulk", "--devices", "2"});
    PressStart();
    ASSERT_TRUE(view_.PumpUntil([&] { return view_.resultLine == "Upgrade Completed"; }));
    EXPECT_TRUE(dialog_.Running());
    EXPECT_EQ(view_.startStopCaption, "Stop");
    EXPECT_TRUE(dialog_.Session().PortIsOpen());
    // The next receiver's contact clears the line; its result fills it again.
    ASSERT_TRUE(view_.PumpUntil([&] { return view_.resultLine.empty(); }));
    ASSERT_TRUE(view_.PumpUntil([&] { return view_.resultLine == "Upgrade Completed"; }));
    ASSERT_TRUE(view_.PumpUntil([&] { return view_.title == "Waiting..."; }));
    EXPECT_TRUE(view_.messages.empty());
    dialog_.OnStartStop();
    ASSERT_TRUE(AwaitIdle());
    EXPECT_TRUE(view_.messages.empty());
    EXPECT_EQ(sim->Wait(), 0) << sim->AllVerdicts();
}

TEST_F(UpgradeDialogTest, StopPressedWhileAResultIsOnItsWayEndsContinuousMode) {
    view_.continuousChecked = true;
    dialog_.OnContinuousCheck();
    auto sim = StartReceiver({"--protocol", "bulk", "--devices", "2", "--timeout", "2"});
    PressStart();
    // Without pumping, the run's hand-overs wait: the run ends and its result is still queued.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (dialog_.Session().Flags().workerIdle.load() == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(dialog_.Session().Flags().workerIdle.load(), 1);
    dialog_.OnStartStop();
    ASSERT_TRUE(AwaitIdle());
    EXPECT_FALSE(dialog_.Session().PortIsOpen()) << "no next run was started";
    EXPECT_EQ(view_.messages,
              (std::vector<ShownMessage>{{BoxKind::Application, "Upgrade Completed", ""}}));
}

TEST_F(UpgradeDialogTest, AReceiverThatGoesAwayEndsContinuousModeWithPortLost) {
    view_.continuousChecked = true;
    dialog_.OnContinuousCheck();
    auto sim = StartReceiver({"--protocol", "block-crc", "--stall-at", "40"});
    PressStart();
    ASSERT_TRUE(view_.PumpUntil([&] { return view_.progress > 0; }));
    sim.reset();  // the receiver's side of the line is gone
    ASSERT_TRUE(AwaitIdle());
    EXPECT_EQ(view_.messages,
              (std::vector<ShownMessage>{{BoxKind::Application, "Port Lost", ""}}));
    EXPECT_FALSE(dialog_.Session().PortIsOpen());
    EXPECT_EQ(view_.startStopCaption, "Upgrade Software");
}

TEST_F(UpgradeDialogTest, ReceiverAbortRestartsEvenWithoutContinuousMode) {
    auto sim = StartReceiver({"--protocol", "cancel,block-crc", "--devices", "2"});
    PressStart();
    ASSERT_TRUE(AwaitIdle());
    EXPECT_EQ(view_.messages,
              (std::vector<ShownMessage>{{BoxKind::Application, "Upgrade Completed", ""}}));
    EXPECT_EQ(sim->Wait(), 0) << sim->AllVerdicts();
}

TEST_F(UpgradeDialogTest, ExitDuringARunStopsItAndClosesWithoutAResult) {
    auto sim = StartReceiver({"--protocol", "silent"});
    PressStart();
    dialog_.OnCancel();
    EXPECT_TRUE(view_.closed);
    EXPECT_EQ(dialog_.Session().Flags().workerIdle.load(), 1);
    view_.PumpUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_TRUE(view_.messages.empty());
}

TEST_F(UpgradeDialogTest, TickingContinuousShowsAnEmptyLineAndUntickingKeepsItsText) {
    view_.continuousChecked = true;
    view_.resultLine = "old";
    dialog_.OnContinuousCheck();
    EXPECT_TRUE(view_.resultLineVisible);
    EXPECT_EQ(view_.resultLine, "");
    view_.resultLine = "Checksum Error";
    view_.continuousChecked = false;
    dialog_.OnContinuousCheck();
    EXPECT_FALSE(view_.resultLineVisible);
    EXPECT_EQ(view_.resultLine, "Checksum Error");
}

}  // namespace
}  // namespace qvlink
