// The station window's behaviour against a recording view, with receivers played on in-memory
// lines and a fake clock: start all and stop all, a refused firmware, a record that cannot be
// opened, a port out of service and enabled again, a lost line, and the header's totals.
#include "station_panel.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <fstream>
#include <map>
#include <thread>

#include "firmware_fixtures.h"
#include "outcome_table.h"
#include "played_receivers.h"
#include "port_names.h"
#include "record_link.h"
#include "tile_text.h"

namespace qvlink {
namespace {

using test::Play;

class RecordingStationView final : public StationView {
  public:
    void ShowHeader(const HeaderView& shown) override { header = shown; }
    void SetTileCount(std::size_t count) override { tiles.assign(count, TileView{}); }
    void ShowTile(std::size_t index, const TileView& tile) override {
        tiles.at(index) = tile;
        ++tilePaints;
    }
    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::optional<std::string> ChooseFirmwareFile() override { return chosenFile; }
    std::optional<std::string> ChooseRecordFile() override { return chosenFile; }
    std::optional<std::vector<std::string>> ChoosePorts(const std::vector<std::string>&,
                                                        const std::vector<std::string>&) override {
        return std::nullopt;
    }
    void StartRefreshTimer(int periodMs) override { refreshMs = periodMs; }
    void Close() override { closed = true; }

    HeaderView header;
    std::vector<TileView> tiles;
    int tilePaints = 0;
    std::vector<std::string> notices, messages;
    std::optional<std::string> chosenFile;
    int refreshMs = 0;
    bool closed = false;
};

// Plays its receivers, then is a silent line that waits as a real one does, until the stop.
class PlayedThenSilent final : public SerialLine {
  public:
    PlayedThenSilent(std::vector<Play> plays, test::FakeClock& clock)
        : played_(std::move(plays), clock, [this] { silent_ = true; }) {}
    int QueuedBytes() override { return played_.QueuedBytes(); }
    int Read(std::uint8_t* buffer, std::uint32_t maxCount) override {
        return silent_ ? 0 : played_.Read(buffer, maxCount);
    }
    int Write(const std::uint8_t* bytes, std::uint32_t count) override {
        return played_.Write(bytes, count);
    }
    LineWait WaitForInput(int timeoutMs, const StopWake& wake) override {
        if (!silent_) {
            const LineWait wait = played_.WaitForInput(timeoutMs, wake);
            if (!silent_) return wait;
        }
        pollfd stop{wake.WaitHandle(), POLLIN, 0};
        poll(&stop, 1, timeoutMs);
        return LineWait::Quiet;
    }

  private:
    test::PlayedLine played_;
    bool silent_ = false;
};

class StationPanelTest : public ::testing::Test {
  protected:
    StationPanelTest() {
        setup_.firmwarePath = dir_.Write("fw.bin", test::PatternFirmwareFile(0x100000)).string();
        setup_.recordPath = (dir_.Path() / "record.jsonl").string();
    }

    // Port COMi plays plays[i-1][k] the kth time it is opened.
    void Open(std::map<std::string, std::deque<std::vector<Play>>> plays) {
        for (auto& [name, opened] : plays) {
            setup_.ports.push_back(name);
            plays_[DeviceForName(name)] = std::move(opened);  // a port opens its device
        }
        panel_ = std::make_unique<StationPanel>(
            view_, clock_, station::RecordSource{"panel-test", "9.9", "bench", {}},
            [this](const std::string& device, std::unique_ptr<SerialLine>* line) {
                std::lock_guard lock(mutex_);
                std::vector<Play> next;
                if (!plays_[device].empty()) {
                    next = plays_[device].front();
                    plays_[device].pop_front();
                }
                *line = std::make_unique<PlayedThenSilent>(next, clock_);
                return Status::Ok();
            });
        panel_->Open(setup_);
    }
    // Refreshes as the window's timer would until `done` holds; false after 30 s.
    template <typename Done>
    bool RefreshUntil(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        for (;;) {
            panel_->Refresh();
            if (done()) return true;
            if (std::chrono::steady_clock::now() > deadline) {
                for (const TileView& t : view_.tiles)
                    std::fprintf(stderr, "     tile %s phase '%s' result '%s' note '%s'\n",
                                 t.name.c_str(), t.phase.c_str(), t.result.c_str(), t.note.c_str());
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::size_t RecordLines() {
        std::ifstream file(setup_.recordPath);
        std::size_t lines = 0;
        for (std::string line; std::getline(file, line);) ++lines;
        return lines;
    }

    test::ScratchDir dir_;
    test::FakeClock clock_;
    StationSetup setup_;
    std::mutex mutex_;
    std::map<std::string, std::deque<std::vector<Play>>> plays_;  // by device; guarded by mutex_
    RecordingStationView view_;
    std::unique_ptr<StationPanel> panel_;
};

TEST_F(StationPanelTest, StartAllServesEveryPortAndStopAllStopsEveryTile) {
    Open({{"COM1", {{Play::BlockCompleted, Play::BulkChecksumError}}},
          {"COM2", {{Play::BulkCompleted}}}});
    ASSERT_EQ(view_.tiles.size(), 2u);
    EXPECT_EQ(view_.refreshMs, 1000 / REFRESH_PER_SECOND);
    EXPECT_NE(view_.header.firmware.find("fw.bin"), std::string::npos) << view_.header.firmware;
    EXPECT_TRUE(view_.header.canStart);

    panel_->StartAll();
    EXPECT_TRUE(view_.header.running);
    ASSERT_TRUE(
        RefreshUntil([&] { return view_.header.completed == "2" && view_.header.failed == "1"; }));
    EXPECT_EQ(view_.tiles[0].result, "Checksum Error");
    EXPECT_EQ(view_.tiles[0].tone, Tone::Failed);
    EXPECT_EQ(view_.tiles[0].counts, "completed 1  failed 1");
    EXPECT_EQ(view_.tiles[1].result, "Upgrade Completed");
    EXPECT_EQ(view_.tiles[1].tone, Tone::Completed);
    EXPECT_EQ(RecordLines(), 3u);

    panel_->StopAll();
    ASSERT_TRUE(RefreshUntil([&] { return !view_.header.running; }));
    for (const TileView& tile : view_.tiles) EXPECT_EQ(tile.phase, "stopped");
    EXPECT_TRUE(view_.header.canStart);
    const int paints = view_.tilePaints;
    panel_->Refresh();
    EXPECT_EQ(view_.tilePaints, paints) << "a tile that did not change is not repainted";
    EXPECT_TRUE(view_.messages.empty());
}

TEST_F(StationPanelTest, ARefusedFirmwareIsSaidAndTheLoadedOneStays) {
    Open({{"COM1", {}}});
    const std::string before = view_.header.firmware;
    view_.chosenFile = dir_.Write("short.bin", std::vector<std::uint8_t>(100, 0)).string();
    panel_->ChooseFirmware();
    EXPECT_EQ(view_.messages, std::vector<std::string>{"File Data Error [1]"});
    EXPECT_EQ(view_.header.firmware, before);
    EXPECT_EQ(panel_->Setup().firmwarePath, setup_.firmwarePath);
}

TEST_F(StationPanelTest, ARecordThatCannotBeOpenedStartsNothing) {
    setup_.recordPath = (dir_.Path() / "no-such-folder" / "record.jsonl").string();
    Open({{"COM1", {{Play::BlockCompleted}}}});
    panel_->StartAll();
    ASSERT_EQ(view_.messages.size(), 1u);
    EXPECT_NE(view_.messages[0].find("Nothing was started"), std::string::npos)
        << view_.messages[0];
    EXPECT_FALSE(view_.header.running);
    EXPECT_EQ(view_.tiles[0].result, "");
    EXPECT_EQ(view_.tiles[0].phase, "");
}

TEST_F(StationPanelTest, APortThatKeepsFailingIsOutOfServiceUntilEnabledAgain) {
    setup_.outOfServiceAfter = 2;
    // COM2's device goes away and never comes back: its tile says that it waits for it.
    const std::string gone = (dir_.Path() / "gone").string();
    setenv("QVLINK_COM2", gone.c_str(), 1);
    Open({{"COM1",
           {{Play::BulkChecksumError, Play::BulkChecksumError, Play::BlockCompleted},
            {Play::BulkChecksumError, Play::BlockCompleted}}},
          {"COM2", {{Play::LostWhileWaiting}}},
          {"COM3", {{}}}});
    panel_->StartAll();
    ASSERT_TRUE(RefreshUntil([&] { return view_.tiles[0].result == "Out of service"; }));
    EXPECT_FALSE(view_.tiles[0].enabled);
    EXPECT_EQ(view_.tiles[0].tone, Tone::Lost);
    EXPECT_NE(view_.tiles[0].note.find("2 receivers in a row failed"), std::string::npos);
    ASSERT_TRUE(RefreshUntil([&] { return view_.tiles[1].result == station::WAITING_FOR_PORT; }));
    EXPECT_EQ(view_.tiles[1].tone, Tone::Waiting);
    EXPECT_EQ(view_.tiles[1].device, gone);
    EXPECT_TRUE(view_.header.running) << "a lost line holds up no other tile";
    EXPECT_EQ(view_.tiles[2].result, "Waiting");

    // Opened again, a new run of chances: one failure does not take it out, a good one follows.
    panel_->SetPortEnabled(0, true);
    ASSERT_TRUE(RefreshUntil([&] { return view_.tiles[0].result == "Upgrade Completed"; }));
    EXPECT_TRUE(view_.tiles[0].enabled);
    EXPECT_EQ(RecordLines(), 4u) << "two failures, then the two after enabling; no phantom";
    panel_->RequestClose();
    ASSERT_TRUE(RefreshUntil([&] { return view_.closed; }));
    EXPECT_EQ(view_.tiles[1].phase, "stopped") << "the close ends the wait too";
    unsetenv("QVLINK_COM2");
}

// The header shows where the record stands with its database: a setting that is refused, and
// a server that cannot be reached while receivers are recorded (a real connection attempt to a
// port where nothing listens).
TEST_F(StationPanelTest, TheHeaderShowsTheDatabaseAndItsBacklog) {
    const bool client = records::CheckDatabaseSetting("dbname=x").ok();
    setup_.database = "host=127.0.0.1 port=1 dbname=qvlink password=secret";
    Open({{"COM1", {{Play::BlockCompleted, Play::BlockCompleted, Play::BulkChecksumError}}}});
    const std::string refused = client ? ".pgpass" : "no PostgreSQL client";
    EXPECT_NE(view_.header.database.find(refused), std::string::npos) << view_.header.database;
    ASSERT_EQ(view_.notices.size(), 1u);
    EXPECT_NE(view_.notices[0].find(refused), std::string::npos) << view_.notices[0];
    panel_.reset();
    if (!client) GTEST_SKIP() << "this build has no PostgreSQL client";

    setup_.database = "host=127.0.0.1 port=1 dbname=qvlink connect_timeout=2";
    setup_.ports.clear();
    view_.notices.clear();
    Open({{"COM1", {{Play::BlockCompleted, Play::BlockCompleted, Play::BulkChecksumError}}}});
    EXPECT_TRUE(view_.notices.empty());
    panel_->StartAll();
    ASSERT_TRUE(RefreshUntil([&] {
        return view_.header.database.find("unsent 3 lines") != std::string::npos &&
               view_.header.database.find("cannot reach the database at 127.0.0.1:1") !=
                   std::string::npos;
    })) << view_.header.database;
    EXPECT_EQ(RecordLines(), 3u);
}

TEST_F(StationPanelTest, TotalsCountPerHourOfServingOnTheStationsClock) {
    const std::vector<Play> five(5, Play::BlockCompleted);
    const std::vector<Play> three(3, Play::BlockCompleted);
    Open({{"COM1", {five, three}}});
    panel_->StartAll();
    ASSERT_TRUE(RefreshUntil([&] { return view_.header.completed == "5"; }));
    panel_->StopAll();
    ASSERT_TRUE(RefreshUntil([&] { return !view_.header.running; }));
    // Each receiver takes 15 s on the fake clock: five in 75 s of serving.
    EXPECT_EQ(view_.header.perHour, "240.0 per hour");
    EXPECT_EQ(view_.header.meanTime, "15 s");
    EXPECT_EQ(view_.header.p95Time, "15 s");
    EXPECT_EQ(view_.header.failed, "0");

    // The day's record archived between two runs: the second run starts it again, and its
    // serving time adds to the first's (eight receivers in 120 s).
    const std::filesystem::path archived = dir_.Path() / "archived.jsonl";
    std::filesystem::rename(setup_.recordPath, archived);
    panel_->StartAll();
    ASSERT_TRUE(RefreshUntil([&] { return view_.header.completed == "8"; }));
    panel_->StopAll();
    ASSERT_TRUE(RefreshUntil([&] { return !view_.header.running; }));
    EXPECT_EQ(view_.header.perHour, "240.0 per hour");
    EXPECT_EQ(RecordLines(), 3u);
    std::ifstream old(archived);
    EXPECT_EQ(std::count(std::istreambuf_iterator<char>(old), {}, '\n'), 5);
}

// The tile only paints what the station decides: each result's word, tone and counts.
TEST(TileText, EachResultReadsAsTheStationSays) {
    for (const test::OutcomeRow& row : test::OutcomeTable()) {
        const TileView tile = TileOf(test::PortAfter(row), true);
        EXPECT_EQ(tile.result, row.word);
        EXPECT_EQ(tile.tone, row.tone) << row.word;
        EXPECT_EQ(tile.counts, row.counts) << row.word;
    }
}

}  // namespace
}  // namespace qvlink
