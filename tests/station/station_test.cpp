// The production line on in-memory lines and a fake clock: what each receiver's result means
// for the record and the counts, the phantoms a lost line must not make, a port taken out of
// service, one image for every port, and what a run of the station comes to.
#include "station.h"

#include <gtest/gtest.h>

#include <fstream>
#include <latch>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "firmware_fixtures.h"
#include "played_receivers.h"
#include "station_totals.h"
#include "status_texts.h"

namespace qvlink::station {
namespace {

using json = nlohmann::json;
using test::Play;

class StationTest : public ::testing::Test {
  protected:
    StationTest() { firmware_ = dir_.Write("fw.bin", test::PatternFirmwareFile(0x100000)); }

    // A station whose port i plays plays[i]; each port stops itself once its receivers have
    // played (with `hold`, once it is released). Every port is opened and the firmware loaded.
    void Build(const std::vector<std::vector<Play>>& plays, bool withRecord = true,
               std::latch* hold = nullptr) {
        std::vector<std::string> names;
        for (std::size_t i = 0; i < plays.size(); ++i)
            names.push_back("COM" + std::to_string(i + 1));
        station_ = std::make_unique<Station>(
            names, clock_, RecordSource{"station-test", "9.9", "bench-7", {}},
            [this, plays, hold](const std::string&, std::unique_ptr<SerialLine>* line) {
                const std::size_t port = opened_++;
                *line = std::make_unique<test::PlayedLine>(plays[port], clock_, [=, this] {
                    if (hold != nullptr) hold->wait();
                    station_->StopPort(port);
                });
                return Status::Ok();
            });
        if (withRecord) {
            ASSERT_TRUE(station_->OpenRecord((dir_.Path() / "record.jsonl").string()).ok());
        }
        ASSERT_TRUE(station_->LoadFirmware(firmware_).ok());
        for (std::size_t i = 0; i < plays.size(); ++i) ASSERT_TRUE(station_->OpenPort(i).ok());
    }
    void RunToEnd(StationOptions options = {}) {
        options.continuous = true;
        ASSERT_EQ(station_->StartAll(options), station_->PortCount());
        station_->WaitAll();
    }
    std::vector<json> Records() {
        std::vector<json> lines;
        std::ifstream file(dir_.Path() / "record.jsonl");
        for (std::string line; std::getline(file, line);) lines.push_back(json::parse(line));
        return lines;
    }

    test::ScratchDir dir_;
    std::filesystem::path firmware_;
    test::FakeClock clock_;
    std::size_t opened_ = 0;
    std::unique_ptr<Station> station_;
};

// "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx", lower-case hex, y one of 8, 9, a, b.
bool IsUuid4(const std::string& id) {
    if (id.size() != 36 || id[14] != '4' || std::string("89ab").find(id[19]) == std::string::npos)
        return false;
    for (std::size_t i = 0; i < id.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash != (id[i] == '-')) return false;
        if (!dash && std::string("0123456789abcdef").find(id[i]) == std::string::npos) return false;
    }
    return true;
}

struct Expected {
    const char* resultText;
    const char* phase;
    json transferSeconds;
    json burnSeconds;
};

TEST_F(StationTest, EveryReceiverIsRecordedWithHowFarItGot) {
    Build({{Play::BlockCompleted, Play::BulkChecksumError, Play::Cancels, Play::BulkBurnFails,
            Play::StoppedInBurn}});
    std::atomic<int> heard{0};  // the record link's nudge: once a line
    station_->SetRecordListener([&] { ++heard; });
    RunToEnd();
    EXPECT_EQ(heard, 5);
    const std::vector<Expected> expected = {
        {"Upgrade Completed", "done", 10.0, 15.0},
        {"Checksum Error", "transfer", 10.0, nullptr},
        {"Receiver Abort", "handshake", nullptr, nullptr},
        {"Burning Error", "burn", 10.0, 15.0},  // a failed burn keeps its time
        {"Stopped", "burn", 10.0, nullptr},     // its flash was changed: it has a line too
    };
    const auto records = Records();
    ASSERT_EQ(records.size(), expected.size());
    const std::string firstStart = IsoTime(clock_.wallBase);
    std::set<std::string> ids;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const json& r = records[i];
        SCOPED_TRACE("receiver " + std::to_string(i + 1));
        EXPECT_EQ(r["result_text"], expected[i].resultText);
        EXPECT_EQ(r["phase"], expected[i].phase);
        EXPECT_EQ(r["transfer_seconds"], expected[i].transferSeconds);
        EXPECT_EQ(r["burn_seconds"], expected[i].burnSeconds);
        EXPECT_EQ(r["receiver"], i + 1);
        EXPECT_EQ(r["schema"], 2);
        EXPECT_EQ(r["station"], "bench-7") << "no station's name given: the host's";
        EXPECT_TRUE(IsUuid4(r["record_id"].get<std::string>())) << r["record_id"];
        EXPECT_TRUE(ids.insert(r["record_id"].get<std::string>()).second) << "each line its own";
        EXPECT_EQ(r["port"], "COM1");
        EXPECT_EQ(r["host"], "bench-7");
        EXPECT_EQ(r["program"], "station-test");
        EXPECT_EQ(r["version"], "9.9");
        EXPECT_EQ(r["firmware"], "fw.bin");
        EXPECT_EQ(r["firmware_sha256"].get<std::string>().size(), 64u);
        EXPECT_GE(r["start"].get<std::string>(), firstStart) << "never the epoch";
        EXPECT_LE(r["start"], r["end"]);
    }
    EXPECT_EQ(records[2]["start"], records[2]["end"]) << "a cancel's start is the cancel";
    EXPECT_EQ(records[2]["protocol"], nullptr);

    const PortSnapshot port = station_->Snapshot(0);
    EXPECT_EQ(port.counts.completed, 1);
    EXPECT_EQ(port.counts.failed, 2);
    EXPECT_EQ(port.counts.receiverAborts, 1);
    EXPECT_EQ(port.counts.stopped, 1);
    EXPECT_EQ(port.counts.failures,
              (std::map<UpgradeResult, int>{{DEVICE_CHECKSUM_ERROR, 1}, {BULK_BURN_ERROR, 1}}));
    EXPECT_EQ(port.activity, PortActivity::Ended);
    EXPECT_EQ(port.end, PortEnd::Stopped);
    EXPECT_EQ(VerdictOf(station_->Summary()), Verdict::ReceiverFailed);
}

// A window redraws its totals many times between two receivers: each receiver's time is taken
// once, however often they are drawn, and every view's totals add up its ports. The second
// receiver is held 60 s longer than the others, so a time taken twice moves the mean.
TEST_F(StationTest, TheTotalsTakeEachReceiversTimeOnceHoweverOftenTheyAreDrawn) {
    struct Redraws : StationObserver {
        Redraws(Station& station, test::FakeClock& clock) : station(station), clock(clock) {}
        void OnReport(std::size_t, const StatusReport&, int elapsedSeconds) override {
            if (results == 1 && elapsedSeconds >= 0 && !held.exchange(true))
                clock.Advance(std::chrono::seconds(60));
            Draw();
        }
        void OnResult(std::size_t, UpgradeResult) override {
            ++results;
            for (int redraw = 0; redraw < 3; ++redraw) Draw();
        }
        void Draw() {
            const Station::View view = station.Look();
            PortCounts sum;
            for (const PortSnapshot& port : view.ports) sum.AddUp(port.counts);
            if (sum.Recorded() != view.totals.Counts().Recorded()) ++disagreed;
        }
        Station& station;
        test::FakeClock& clock;
        std::atomic<int> results{0};
        std::atomic<int> disagreed{0};
        std::atomic<bool> held{false};
    };
    Build({{Play::BulkCompleted, Play::BulkCompleted, Play::BlockCompleted}});
    Redraws redraws(*station_, clock_);
    station_->SetObserver(&redraws);
    RunToEnd();
    EXPECT_EQ(redraws.disagreed, 0) << "a view's totals are those of its ports";
    const StationTotals totals = station_->Totals();
    ASSERT_EQ(totals.Completed(), 3);
    EXPECT_DOUBLE_EQ(totals.MeanSeconds(), (15 + 75 + 15) / 3.0);
    EXPECT_DOUBLE_EQ(totals.P95Seconds(), 75);
}

TEST_F(StationTest, ALineLostWithNoReceiverOnItEndsThePortAndIsNoReceiver) {
    Build({{Play::BlockCompleted, Play::LostWhileWaiting}, {Play::LostInTransfer}});
    RunToEnd();
    const auto records = Records();
    ASSERT_EQ(records.size(), 2u) << "one completed, one lost under its receiver; no phantom";
    const PortSnapshot first = station_->Snapshot(0);
    EXPECT_EQ(first.counts.completed, 1);
    EXPECT_EQ(first.counts.failed, 0);
    EXPECT_EQ(first.end, PortEnd::LineLost);
    const PortSnapshot second = station_->Snapshot(1);
    EXPECT_EQ(second.counts.failures, (std::map<UpgradeResult, int>{{PORT_LOST, 1}}));
    EXPECT_EQ(second.lastResultText, "Port Lost");
    EXPECT_EQ(VerdictOf(station_->Summary()), Verdict::ReceiverFailed);
}

TEST_F(StationTest, APortWhoseReceiversKeepFailingGoesOutOfService) {
    Build({{Play::BulkChecksumError, Play::BlockCompleted, Play::BulkChecksumError,
            Play::BulkChecksumError, Play::BulkChecksumError, Play::BlockCompleted}});
    StationOptions options;
    options.outOfServiceAfter = 3;
    RunToEnd(options);
    const PortSnapshot port = station_->Snapshot(0);
    EXPECT_EQ(port.end, PortEnd::OutOfService);
    EXPECT_EQ(port.counts.completed, 1) << "the last receiver was never taken";
    EXPECT_EQ(port.counts.failed, 4);
    EXPECT_EQ(Records().size(), 5u);
    EXPECT_NE(port.message.find("3 receivers in a row failed or cancelled"), std::string::npos)
        << port.message;
}

TEST_F(StationTest, APortWhoseReceiversOnlyCancelGoesOutOfServiceToo) {
    Build({{Play::Cancels, Play::Cancels, Play::Cancels, Play::BlockCompleted}});
    StationOptions options;
    options.outOfServiceAfter = 3;
    options.count = 1;  // a cancel is no finish: without the rule this port would wait for ever
    RunToEnd(options);
    const PortSnapshot port = station_->Snapshot(0);
    EXPECT_EQ(port.end, PortEnd::OutOfService);
    EXPECT_EQ(port.counts.receiverAborts, 3);
    EXPECT_EQ(port.counts.completed, 0);
    EXPECT_EQ(VerdictOf(station_->Summary()), Verdict::ReceiverFailed)
        << "a port that went out of service is no success";
}

TEST_F(StationTest, AReceiverWhoseLineCannotBeWrittenIsNamed) {
    Build({{Play::BlockCompleted, Play::BlockCompleted}}, false);
    ASSERT_TRUE(station_->OpenRecord("/dev/full").ok());
    RunToEnd();
    const PortSnapshot port = station_->Snapshot(0);
    EXPECT_EQ(port.end, PortEnd::RecordLost);
    EXPECT_EQ(port.counts.completed, 1) << "the port stops after the receiver without a line";
    EXPECT_EQ(port.unrecorded, "receiver 1 completed, its record line could not be written");
    EXPECT_NE(port.message.find(port.unrecorded), std::string::npos) << port.message;
    EXPECT_EQ(station_->Summary()[0].unrecorded, port.unrecorded);
}

TEST_F(StationTest, EveryPortSendsTheOneImageLoadedOnce) {
    Build({{}, {}, {}}, false);
    const auto image = station_->Image();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image.use_count(), 8)
        << "the station's, two per port (the port's and its session's) and this one";
    EXPECT_EQ(station_->Firmware().fileSize, std::filesystem::file_size(firmware_));
    RunToEnd();  // each port's only run is stopped while it waits: nothing to record
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(station_->Snapshot(i).counts.stopped, 0);
        EXPECT_EQ(station_->Snapshot(i).end, PortEnd::Stopped);
    }
    EXPECT_EQ(VerdictOf(station_->Summary()), Verdict::Stopped);
}

// An observer that holds the port's thread in OnResult until released: a port thread that hangs.
class HangingObserver final : public StationObserver {
  public:
    void OnResult(std::size_t, UpgradeResult) override { release_.wait(); }
    std::latch release_{1};
};

TEST_F(StationTest, APortThreadThatHangsNoLongerAnswersAndOneAsleepInAWaitDoes) {
    std::latch played{1};
    Build({{Play::BlockCompleted}, {}}, false, &played);
    HangingObserver observer;
    station_->SetObserver(&observer);
    StationOptions options;
    options.continuous = true;
    ASSERT_EQ(station_->StartAll(options), 2u);
    const auto limit = std::chrono::milliseconds(50);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (station_->Unanswering(limit).empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(station_->Unanswering(limit), std::vector<std::size_t>{0})
        << "port 1 waits for a receiver all the while: asleep, it answers";
    observer.release_.count_down();
    played.count_down();
    station_->StopAll();
    station_->WaitAll();
    EXPECT_TRUE(station_->Unanswering(limit).empty()) << "a port that ended is not hung";
}

TEST_F(StationTest, APortThatRunsAlreadyIsNotStartedTwiceNorCountedTwice) {
    std::latch running(1);  // both ports serve until the test has tried to start them again
    Build({{}, {}}, false, &running);
    StationOptions options;
    options.continuous = true;
    EXPECT_EQ(station_->StartAll(options), 2u);
    EXPECT_EQ(station_->StartAll(options), 0u) << "both run already";
    EXPECT_EQ(station_->StartPort(1, options).kind(), StatusKind::InUse);
    running.count_down();
    station_->StopAll();
    station_->WaitAll();
    EXPECT_EQ(station_->Snapshot(1).end, PortEnd::Stopped);
}

TEST_F(StationTest, APortThatCannotBeginSaysTheSessionsReason) {
    station_ = std::make_unique<Station>(
        std::vector<std::string>{"COM1"}, clock_,
        RecordSource{"station-test", "9.9", "bench-7", {}},
        [this](const std::string&, std::unique_ptr<SerialLine>* line) {
            *line = std::make_unique<test::PlayedLine>(std::vector<Play>{}, clock_, [] {});
            return Status::Ok();
        });
    ASSERT_TRUE(station_->OpenPort(0).ok());
    // No firmware was loaded: the port's thread starts, its session does not.
    ASSERT_TRUE(station_->StartPort(0, StationOptions{}).ok());
    station_->WaitAll();
    EXPECT_EQ(station_->Snapshot(0).end, PortEnd::StartFailed);
    EXPECT_EQ(station_->Snapshot(0).message, "no checked firmware image");
}

TEST_F(StationTest, ARefusedFirmwareChangesNothing) {
    Build({{}}, false);
    const auto before = station_->Image();
    const auto refused = dir_.Write("short.bin", std::vector<std::uint8_t>(100, 0));
    const Status loaded = station_->LoadFirmware(refused);
    EXPECT_EQ(loaded.message(), "File Data Error [1]");
    EXPECT_EQ(station_->Image(), before);
}

struct VerdictCase {
    const char* name;
    std::vector<PortSummary> ports;
    Verdict verdict;
};

PortSummary PortWith(int completed, int failed, PortEnd end = PortEnd::Finished) {
    PortSummary port;
    port.counts.completed = completed;
    port.counts.failed = failed;
    port.end = end;
    return port;
}

// Names the case in ctest's list, rather than its bytes (which hold pointers, so differ from
// one build to the next).
void PrintTo(const VerdictCase& c, std::ostream* out) {
    *out << c.name;
}

class Verdicts : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(Verdicts, AFailedReceiverOutranksEverythingElse) {
    EXPECT_EQ(VerdictOf(GetParam().ports), GetParam().verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Verdicts,
    ::testing::Values(
        VerdictCase{"AllCompleted", {PortWith(3, 0), PortWith(2, 0)}, Verdict::AllCompleted},
        VerdictCase{"FailedThenLost", {PortWith(0, 1, PortEnd::LineLost)}, Verdict::ReceiverFailed},
        VerdictCase{"FailedOnOneLostOnAnother",
                    {PortWith(1, 1), PortWith(0, 0, PortEnd::LineLost)},
                    Verdict::ReceiverFailed},
        VerdictCase{
            "FailedAndStopped", {PortWith(0, 1, PortEnd::Stopped)}, Verdict::ReceiverFailed},
        VerdictCase{"RecordLostAndStopped",
                    {PortWith(1, 0, PortEnd::RecordLost), PortWith(0, 0, PortEnd::Stopped)},
                    Verdict::RecordLost},
        VerdictCase{"StoppedAndNotOpened",
                    {PortWith(0, 0, PortEnd::Stopped), PortWith(0, 0, PortEnd::NotOpened)},
                    Verdict::Stopped},
        VerdictCase{
            "LostWithNobodyOnIt", {PortWith(2, 0, PortEnd::LineLost)}, Verdict::PortTrouble},
        VerdictCase{"OutOfServiceWithOnlyCancels",
                    {PortWith(2, 0), PortWith(0, 0, PortEnd::OutOfService)},
                    Verdict::ReceiverFailed},
        VerdictCase{"NotOpened",
                    {PortWith(1, 0), PortWith(0, 0, PortEnd::NotOpened)},
                    Verdict::PortTrouble}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PortCounts, TotalsAddEachCountFromItsOwnNumber) {
    PortCounts a, b, total;
    for (const auto& [counted, result] :
         std::vector<std::pair<Counted, UpgradeResult>>{{Counted::Failed, DEVICE_CHECKSUM_ERROR},
                                                        {Counted::Failed, PORT_LOST},
                                                        {Counted::ReceiverAbort, RECEIVER_ABORT},
                                                        {Counted::Completed, BLOCK_COMPLETED}})
        a.Add(counted, result);
    for (int i = 0; i < 3; ++i) b.Add(Counted::ReceiverAbort, RECEIVER_ABORT);
    b.Add(Counted::Stopped, USER_ABORT);
    total.AddUp(a);
    total.AddUp(b);
    EXPECT_EQ(total.completed, 1);
    EXPECT_EQ(total.failed, 2);
    EXPECT_EQ(total.receiverAborts, 4);
    EXPECT_EQ(total.stopped, 1);
    EXPECT_EQ(total.failures.size(), 2u);
    EXPECT_EQ(a.consecutiveFailures, 0) << "a completed receiver ends a run of failures";
    EXPECT_EQ(b.consecutiveFailures, 3) << "cancels are in a run of failures";
}

}  // namespace
}  // namespace qvlink::station
