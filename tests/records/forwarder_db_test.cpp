// The forwarder against a real PostgreSQL server: a record file written in several goes, a
// forwarder killed between COMMIT and its cursor again and again, a server that dies and comes
// back while lines keep coming, and Drain and Stop while it is away. Run by with_pg_cluster.sh,
// which makes the server: QVLINK_TEST_DATABASE is its superuser's setting, QVLINK_TEST_PG_SERVER
// a command taking "stop" (as if the machine died), "start", "pause" (the server takes
// connections and never answers) or "resume".
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <thread>

#include "firmware_fixtures.h"
#include "forwarder.h"
#include "made_records.h"
#include "pg_connection.h"
#include "record_json.h"
#include "row_batch.h"
#include "sha256.h"

namespace qvlink::records {
namespace {

using namespace std::chrono_literals;
using namespace qvlink::record;

// A wait that only a fault runs into. Every wait of the program shares one budget, so that a
// fault fails the tests with its reason long before ctest's limit would kill the program.
const auto BUDGET_END = std::chrono::steady_clock::now() + 420s;
std::chrono::milliseconds Long() {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        BUDGET_END - std::chrono::steady_clock::now());
    return std::clamp<std::chrono::milliseconds>(left, 0ms, 120s);
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool Mentions(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool ShowsTheServerAway(const std::string& error) {
    return Mentions(error, "cannot reach the database at ") ||
           Mentions(error, "lost the database at ");
}

// A station's record file: lines appended whole or in parts, the ids of its records kept.
// One thread at a time.
class RecordWriter {
  public:
    explicit RecordWriter(std::string path, int station = 1)
        : path_(std::move(path)), station_("line-" + std::to_string(station)) {}
    const std::string& path() const { return path_; }

    void Append(int lines) {
        std::string text;
        for (int i = 0; i < lines; ++i) text += NextLine() + "\n";
        Write(text);
    }
    // The next line in two writes, the newline last: a station's write cut in the middle.
    std::string AppendFirstHalf() {
        const std::string line = NextLine();
        Write(line.substr(0, line.size() / 2));
        return line.substr(line.size() / 2) + "\n";
    }
    void Write(const std::string& text) const {
        std::ofstream(path_, std::ios::binary | std::ios::app) << text;
    }
    // The next line with `edit` applied to its port.
    void AppendWithPort(const std::string& port) {
        auto record = nlohmann::json::parse(NextLine());
        record["port"] = port;
        Write(record.dump() + "\n");
    }
    std::vector<std::string> SortedIds() const {
        std::vector<std::string> ids = ids_;
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    std::size_t lines() const { return ids_.size(); }

  private:
    std::string NextLine() {
        std::string line = test::MadeRecordLine(next_++, station_);
        RecordRow row;
        const Status read = ParseRecordLine(line, row);
        EXPECT_TRUE(read.ok()) << read.ToString();
        ids_.push_back(row.recordId);
        return line;
    }

    std::string path_;
    std::string station_;
    long next_ = 0;
    std::vector<std::string> ids_;
};

// What this process writes to its stderr while the object lives, kept in a file: the forwarder's
// thread runs inside a program that draws on the terminal.
class StderrCapture {
  public:
    explicit StderrCapture(std::string path) : path_(std::move(path)), saved_(dup(2)) {
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(fd, 2);
        close(fd);
    }
    ~StderrCapture() { Take(); }
    std::string Take() {
        if (saved_ >= 0) {
            dup2(saved_, 2);
            close(saved_);
            saved_ = -1;
        }
        std::ifstream file(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

  private:
    std::string path_;
    int saved_;
};

class ForwarderDbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(conninfo_.empty() || server_.empty())
            << "run through tests/tools/with_pg_cluster.sh";
        ASSERT_TRUE(Sql("TRUNCATE records").ok());
        // The forwarder logs in as a station does: a role that may only add records.
        ASSERT_TRUE(Sql("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = "
                        "'line_station') THEN CREATE ROLE line_station LOGIN IN ROLE "
                        "qvlink_insert; END IF; END $$")
                        .ok());
    }
    void TearDown() override {
        if (paused_) Server("resume");
        if (down_) Server("start");
        if (fewConnections_) {
            EXPECT_TRUE(Sql("ALTER SYSTEM RESET max_connections").ok());
            Server("stop");
            Server("start");
        }
        EXPECT_TRUE(Sql("ALTER TABLE records DROP CONSTRAINT IF EXISTS refuses_port").ok());
    }

    Status Sql(const std::string& sql, PgResult* result = nullptr) {
        if (!admin_.connected()) {
            if (Status opened = admin_.Open(conninfo_, nullptr, 30s); !opened.ok()) return opened;
        }
        return admin_.Exec(sql, {}, nullptr, Long(), result);
    }
    std::vector<std::string> SortedDatabaseIds() {
        PgResult result;
        EXPECT_TRUE(Sql("SELECT record_id FROM records ORDER BY record_id", &result).ok());
        std::vector<std::string> ids;
        for (int i = 0; i < result.rows(); ++i) ids.push_back(result.Value(i, 0));
        return ids;
    }
    std::size_t DatabaseRows() { return SortedDatabaseIds().size(); }

    void Server(const std::string& what) {
        admin_.Close();
        ASSERT_EQ(std::system((server_ + " " + what).c_str()), 0) << what;
        if (what == "stop") down_ = true;
        if (what == "start") down_ = false;
        if (what == "pause") paused_ = true;
        if (what == "resume") paused_ = false;
    }

    ForwarderSettings Settings(std::size_t batchLines) const {
        ForwarderSettings settings;
        settings.conninfo = conninfo_ + " user=line_station";
        settings.recordPath = writer_.path();
        settings.batchLines = batchLines;
        settings.look = 100ms;
        return settings;
    }

    const std::string conninfo_ = Env("QVLINK_TEST_DATABASE");
    const std::string server_ = Env("QVLINK_TEST_PG_SERVER");
    PgConnection admin_;
    bool down_ = false, paused_ = false;
    bool fewConnections_ = false;  // the server's connections cut down for a test
    test::ScratchDir dir_;
    RecordWriter writer_{(dir_.Path() / "upgrades.jsonl").string()};
};

TEST_F(ForwarderDbTest, AFileWrittenInSeveralGoesArrivesLineForLine) {
    Forwarder forwarder(Settings(25));
    forwarder.Start();
    EXPECT_TRUE(forwarder.Drain(Long())) << "no file yet is nothing to send";
    EXPECT_EQ(forwarder.State().error.ToString(), "");
    writer_.Append(40);
    const std::string secondHalf = writer_.AppendFirstHalf();
    forwarder.Nudge();
    ASSERT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
    EXPECT_EQ(DatabaseRows(), 40u) << "the half-written line waits for its newline";
    writer_.Write(secondHalf);
    writer_.Append(30);
    forwarder.Nudge();
    ASSERT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
    writer_.Append(9);  // no nudge: the next look finds them
    const ForwarderState state =
        forwarder.AwaitState([](const ForwarderState& s) { return s.sent == 80; }, Long());
    EXPECT_EQ(state.sent, 80u);
    EXPECT_EQ(state.alreadyThere, 0u);
    EXPECT_EQ(state.skipped, 0u);
    EXPECT_EQ(state.error.ToString(), "");
    EXPECT_EQ(SortedDatabaseIds(), writer_.SortedIds());
}

TEST_F(ForwarderDbTest, KilledBetweenCommitAndCursorItResumesWithoutLossOrDouble) {
    constexpr std::size_t BATCH = 7;
    writer_.Append(300);
    const std::string cursorPath = CursorPathFor(writer_.path());
    for (int run = 0; run < 20; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        if (run % 4 == 3) writer_.Append(run);
        // Ends the thread at its k-th COMMIT, before the cursor is saved: 2, 3 or 4.
        const int k = 2 + run % 3;
        auto settings = Settings(BATCH);
        auto commits = std::make_shared<int>(0);
        settings.afterCommit = [commits, k] { return ++*commits < k; };
        Forwarder forwarder(settings);
        forwarder.Start();
        EXPECT_FALSE(forwarder.Drain(Long()));
        const ForwarderState state = forwarder.State();
        forwarder.Stop();
        EXPECT_EQ(*commits, k);
        // The batch committed last was not noted: the database has it beyond the cursor.
        std::string notice;
        const OutboxCursor cursor = LoadCursor(cursorPath, &notice);
        EXPECT_EQ(notice, "");
        EXPECT_EQ(DatabaseRows(), cursor.line + BATCH);
        // ... and the next run sends it again first.
        EXPECT_EQ(state.alreadyThere, run == 0 ? 0u : BATCH);
        EXPECT_EQ(state.sent, BATCH * (k - 1) - state.alreadyThere);
    }
    Forwarder forwarder(Settings(BATCH));
    forwarder.Start();
    ASSERT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
    EXPECT_EQ(forwarder.State().alreadyThere, BATCH);
    EXPECT_EQ(SortedDatabaseIds(), writer_.SortedIds());
}

TEST_F(ForwarderDbTest, AServerThatDiesAndComesBackWhileLinesKeepComingGetsThemAll) {
    StderrCapture printed((dir_.Path() / "stderr").string());
    Forwarder forwarder(Settings(50));
    forwarder.Start();
    // A station recording a receiver every few milliseconds throughout.
    std::atomic<bool> writing{true};
    std::thread station([&] {
        while (writing) {
            writer_.Append(1);
            forwarder.Nudge();
            std::this_thread::sleep_for(3ms);
        }
    });
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        forwarder.AwaitState([](const ForwarderState& s) { return s.sent >= 100; }, Long());
        Server("stop");
        const ForwarderState away = forwarder.AwaitState(
            [](const ForwarderState& s) { return !s.error.ok() && s.unsent > 0; }, Long());
        EXPECT_TRUE(ShowsTheServerAway(away.error.ToString())) << away.error.ToString();
        EXPECT_TRUE(Mentions(ForwarderStateText(away), "unsent ")) << ForwarderStateText(away);
        const ForwarderState later = forwarder.AwaitState(
            [&](const ForwarderState& s) { return s.unsent > away.unsent; }, Long());
        EXPECT_GT(later.unsent, away.unsent) << "unsent lines count up while it is away";
        EXPECT_TRUE(ShowsTheServerAway(later.error.ToString())) << later.error.ToString();
        Server("start");
        forwarder.AwaitState([](const ForwarderState& s) { return s.error.ok(); }, Long());
    }
    writing = false;
    station.join();
    ASSERT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
    const ForwarderState state = forwarder.State();
    EXPECT_EQ(state.unsent, 0u);
    EXPECT_EQ(state.error.ToString(), "");
    EXPECT_EQ(ForwarderStateText(state), "all sent");
    EXPECT_EQ(SortedDatabaseIds(), writer_.SortedIds());
    EXPECT_EQ(printed.Take(), "")
        << "the server's last words are the forwarder's error, not output";
}

TEST_F(ForwarderDbTest, DrainGivesUpAndStopReturnsWhileTheServerIsAway) {
    {
        Forwarder forwarder(Settings(50));
        forwarder.Start();
        writer_.Append(10);
        ASSERT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
        Server("stop");
        writer_.Append(5);
        EXPECT_FALSE(forwarder.Drain(1500ms));
        const ForwarderState away = forwarder.AwaitState(
            [](const ForwarderState& s) { return s.unsent == 5 && !s.error.ok(); }, Long());
        EXPECT_EQ(away.unsent, 5u);
        EXPECT_TRUE(ShowsTheServerAway(away.error.ToString())) << away.error.ToString();
        forwarder.Stop();
    }
    Server("start");
    EXPECT_EQ(DatabaseRows(), 10u);
    {
        // A server that takes the connection and never answers: Stop ends the wait.
        Server("pause");
        auto settings = Settings(50);
        settings.connectLimit = 10min;
        Forwarder forwarder(settings);
        forwarder.Start();
        forwarder.Nudge();
        forwarder.Stop();
        Server("resume");
    }
    Forwarder forwarder(Settings(50));
    forwarder.Start();
    ASSERT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
    EXPECT_EQ(SortedDatabaseIds(), writer_.SortedIds());
}

// The limits the reader checks are the server's: the longest station it takes and a leap
// second without a fraction go in, a station past the index is refused for its content.
TEST_F(ForwarderDbTest, TheReadersLimitsAreTheServers) {
    const auto rowWith = [&](const std::string& station, const char* start) {
        RecordRow row;
        const Status read = ParseRecordLine(test::MadeRecordLine(7, "line-1"), row);
        EXPECT_TRUE(read.ok()) << read.ToString();
        row.station = station;
        row.start = start;
        return std::vector<RecordRow>{row};
    };
    // Digits of a hash chain: no compression shortens them below the index's limit.
    std::string longest = "line-1";
    while (longest.size() < 4 * MAX_STATION_BYTES)
        longest += HexDigest(
            Sha256(reinterpret_cast<const std::uint8_t*>(longest.data()), longest.size()));
    const std::string past = longest.substr(0, 3 * MAX_STATION_BYTES);
    longest.resize(MAX_STATION_BYTES);
    PgConnection station;
    ASSERT_TRUE(station.Open(conninfo_ + " user=line_station", nullptr, 30s).ok());
    InsertCounts counts;
    EXPECT_TRUE(
        InsertRows(station, rowWith(longest, "2025-03-04T23:59:60Z"), nullptr, counts).ok());
    EXPECT_EQ(counts.added, 1);
    const Status refused =
        InsertRows(station, rowWith(past, "2025-03-04T23:59:59Z"), nullptr, counts);
    EXPECT_EQ(refused.kind(), StatusKind::Invalid) << refused.ToString();
}

TEST_F(ForwarderDbTest, ARecordTheServerRefusesIsLeftOutAloneAndNamed) {
    ASSERT_TRUE(
        Sql("ALTER TABLE records ADD CONSTRAINT refuses_port CHECK (port <> 'REFUSED')").ok());
    writer_.AppendWithPort("REFUSED");
    writer_.Append(4);
    writer_.AppendWithPort("REFUSED");
    writer_.Append(3);
    Forwarder forwarder(Settings(50));
    forwarder.Start();
    ASSERT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
    forwarder.Stop();
    const ForwarderState state = forwarder.State();
    EXPECT_EQ(DatabaseRows(), 7u);
    EXPECT_EQ(state.sent, 7u);
    ASSERT_EQ(state.refused, 2u);
    EXPECT_EQ(state.refusedLines[0].line, 1u);
    EXPECT_EQ(state.refusedLines[1].line, 6u);
    const std::string text = ForwarderEndText(state, writer_.path());
    EXPECT_TRUE(Mentions(text, "2 records the database refused were skipped (line 1, 6): ") &&
                Mentions(text, "refuses_port"))
        << text;
}

TEST_F(ForwarderDbTest, WhileTheServerIsAwayTheUnsentLinesAreCountedWhenShown) {
    Server("stop");
    writer_.Append(5);
    Forwarder forwarder(Settings(50));
    forwarder.Start();
    forwarder.AwaitState([](const ForwarderState& s) { return !s.error.ok(); }, Long());
    writer_.Append(7);  // no nudge: only the count when shown can know
    EXPECT_EQ(forwarder.State().unsent, 12u);
    forwarder.Stop();
    EXPECT_TRUE(Mentions(ForwarderEndText(forwarder.State(), writer_.path()), "unsent 12 lines"));
}

TEST_F(ForwarderDbTest, ADrainWakesTheForwarderFromItsBackOff) {
    Server("stop");
    writer_.Append(3);
    auto settings = Settings(50);
    settings.firstBackOff = 10min;  // only a drain ends this rest in time
    Forwarder forwarder(settings);
    forwarder.Start();
    forwarder.AwaitState([](const ForwarderState& s) { return s.retryIn > 0ms; }, Long());
    Server("start");
    EXPECT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
    EXPECT_EQ(DatabaseRows(), 3u);
}

TEST_F(ForwarderDbTest, EverySendThatWorksBeginsTheBackOffAgain) {
    auto settings = Settings(50);
    settings.firstBackOff = 2s;  // time enough to see each wait before the next
    Forwarder forwarder(settings);
    forwarder.Start();
    for (int outage = 0; outage < 2; ++outage) {
        SCOPED_TRACE("outage " + std::to_string(outage));
        Server("stop");
        writer_.Append(2);
        forwarder.Nudge();
        // Each wait spread over its upper half: the first (1 s, 2 s], the next (2 s, 4 s].
        const ForwarderState first =
            forwarder.AwaitState([](const ForwarderState& s) { return s.retryIn > 0ms; }, Long());
        EXPECT_TRUE(first.retryIn > 1s && first.retryIn <= 2s)
            << "the first failure after sending waits the least: " << first.retryIn.count();
        forwarder.AwaitState([](const ForwarderState& s) { return s.retryIn > 2s; }, Long());
        Server("start");
        // No drain: that would begin the back-off again by itself.
        const ForwarderState back = forwarder.AwaitState(
            [&](const ForwarderState& s) { return s.sent == writer_.lines(); }, Long());
        ASSERT_EQ(back.sent, writer_.lines());
    }
}

TEST_F(ForwarderDbTest, TheStopCuttingATryKeepsTheLastRealError) {
    writer_.Append(3);
    {
        // Refused first, then a server that takes the connection and never answers.
        Server("stop");
        Forwarder forwarder(Settings(50));
        forwarder.Start();
        const std::string refused =
            forwarder.AwaitState([](const ForwarderState& s) { return !s.error.ok(); }, Long())
                .error.ToString();
        EXPECT_TRUE(ShowsTheServerAway(refused)) << refused;
        Server("start");
        Server("pause");
        EXPECT_FALSE(forwarder.Drain(1500ms));
        forwarder.Stop();
        EXPECT_EQ(forwarder.State().error.ToString(), refused);
        Server("resume");
    }
    {
        // Never an answer at all: that is the error.
        Server("pause");
        auto settings = Settings(50);
        settings.connectLimit = 10min;
        Forwarder forwarder(settings);
        forwarder.Start();
        EXPECT_FALSE(forwarder.Drain(1500ms));
        forwarder.Stop();
        const std::string error = forwarder.State().error.ToString();
        EXPECT_TRUE(Mentions(error, "cannot reach the database at ") &&
                    Mentions(error, ": no answer in "))
            << error;
        Server("resume");
    }
    {
        // Sending well when the drain's time ran out (the table held by another session):
        // nothing went wrong.
        Forwarder forwarder(Settings(50));
        forwarder.Start();
        ASSERT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
        ASSERT_TRUE(Sql("BEGIN").ok());
        ASSERT_TRUE(Sql("LOCK TABLE records IN EXCLUSIVE MODE").ok());
        writer_.Append(2);
        EXPECT_FALSE(forwarder.Drain(1500ms));
        forwarder.Stop();
        EXPECT_TRUE(Sql("ROLLBACK").ok());
        const ForwarderState state = forwarder.State();
        EXPECT_EQ(state.error.ToString(), "");
        EXPECT_EQ(state.unsent, 2u);
    }
}

TEST_F(ForwarderDbTest, ARecordMovedAwayUnsentIsNamedAndFinishedByTheNextRun) {
    Server("stop");
    writer_.Append(50);
    const std::string moved = (dir_.Path() / "moved.jsonl").string();
    {
        Forwarder forwarder(Settings(20));
        forwarder.Start();
        forwarder.AwaitState([](const ForwarderState& s) { return !s.error.ok(); }, Long());
        std::filesystem::rename(writer_.path(), moved);
        writer_.Append(5);
        forwarder.Stop();
        const ForwarderState state = forwarder.State();
        EXPECT_EQ(state.unsent, 55u);
        EXPECT_EQ(state.movedUnsent, 50u);
        const std::string text = ForwarderEndText(state, writer_.path());
        EXPECT_TRUE(Mentions(text, ("stay in " + std::filesystem::canonical(moved).string() +
                                    " (50, moved away from " + writer_.path() + ") and in " +
                                    writer_.path() + " (5)")
                                       .c_str()))
            << text;
    }
    Server("start");
    Forwarder forwarder(Settings(20));
    forwarder.Start();
    ASSERT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
    EXPECT_EQ(SortedDatabaseIds(), writer_.SortedIds());
}

TEST_F(ForwarderDbTest, TwoRunsGivenOneRecordDoNotSendItTwice) {
    auto idle = Settings(7);
    idle.look = 1h;  // looks only when nudged
    Forwarder second(idle);
    second.Start();
    EXPECT_TRUE(second.Drain(Long())) << "no file yet";
    writer_.Append(300);
    {
        Forwarder first(Settings(7));
        first.Start();
        ASSERT_TRUE(first.Drain(Long())) << ForwarderStateText(first.State());
    }
    ASSERT_TRUE(second.Drain(Long())) << ForwarderStateText(second.State());
    EXPECT_EQ(second.State().alreadyThere, 0u) << "it goes on where the other run got to";
    writer_.Append(5);
    ASSERT_TRUE(second.Drain(Long())) << ForwarderStateText(second.State());
    EXPECT_EQ(second.State().sent, 5u);
    EXPECT_EQ(SortedDatabaseIds(), writer_.SortedIds());
}

// A forwarder holds a connection only while it has something to send.
TEST_F(ForwarderDbTest, AnIdleConnectionClosesAndALineOpensOneAgain) {
    const auto stationConnections = [&] {
        PgResult result;
        EXPECT_TRUE(
            Sql("SELECT count(*) FROM pg_stat_activity WHERE usename = 'line_station'", &result)
                .ok());
        return result.rows() == 1 ? std::stoi(result.Value(0, 0)) : -1;
    };
    // The server ends a backend a moment after its client left: asked until it has.
    const auto awaitConnections = [&](int count) {
        while (stationConnections() != count && std::chrono::steady_clock::now() < BUDGET_END)
            std::this_thread::sleep_for(20ms);
        return stationConnections();
    };
    auto settings = Settings(50);
    settings.idleClose = 300ms;
    Forwarder forwarder(settings);
    forwarder.Start();
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        writer_.Append(3);
        forwarder.Nudge();
        const ForwarderState sent = forwarder.AwaitState(
            [&](const ForwarderState& s) { return s.sent == writer_.lines(); }, Long());
        ASSERT_EQ(sent.sent, writer_.lines()) << ForwarderStateText(sent);
        const ForwarderState idle =
            forwarder.AwaitState([](const ForwarderState& s) { return !s.connected; }, Long());
        EXPECT_FALSE(idle.connected) << "closed after its idle time";
        EXPECT_EQ(awaitConnections(0), 0);
        EXPECT_EQ(ForwarderStateText(forwarder.State()), "all sent");
    }
    EXPECT_EQ(SortedDatabaseIds(), writer_.SortedIds());
}

// More stations than the server has connections for: each is turned away, says so in its own
// words and waits; every line arrives once connections come free.
TEST_F(ForwarderDbTest, MoreForwardersThanConnectionsEachGetTheirLinesInTurn) {
    // 3 connections for ordinary roles, besides the 3 kept for the superuser.
    ASSERT_TRUE(Sql("ALTER SYSTEM SET max_connections = 6").ok());
    fewConnections_ = true;
    Server("stop");
    Server("start");
    std::vector<std::unique_ptr<PgConnection>> taken;
    for (int i = 0; i < 3; ++i) {
        taken.push_back(std::make_unique<PgConnection>());
        const Status opened = taken.back()->Open(conninfo_ + " user=line_station", nullptr, 30s);
        ASSERT_TRUE(opened.ok()) << opened.ToString();
    }
    constexpr int STATIONS = 8;
    std::vector<std::unique_ptr<RecordWriter>> writers;
    std::vector<std::unique_ptr<Forwarder>> forwarders;
    for (int i = 0; i < STATIONS; ++i) {
        writers.push_back(std::make_unique<RecordWriter>(
            (dir_.Path() / ("station" + std::to_string(i) + ".jsonl")).string(), i + 1));
        writers.back()->Append(5);
        auto settings = Settings(50);
        settings.recordPath = writers.back()->path();
        settings.idleClose = 200ms;
        settings.firstBackOff = 100ms;
        forwarders.push_back(std::make_unique<Forwarder>(settings));
        forwarders.back()->Start();
    }
    const ForwarderState turnedAway = forwarders.front()->AwaitState(
        [](const ForwarderState& s) { return s.error.kind() == StatusKind::Exhausted; }, Long());
    const std::string text = ForwarderStateText(turnedAway);
    EXPECT_TRUE(Mentions(text, "unsent 5 lines") &&
                Mentions(text, "has no connection free (too many clients); waiting for one"))
        << text;
    taken.clear();
    for (auto& forwarder : forwarders)
        EXPECT_TRUE(forwarder->Drain(Long())) << ForwarderStateText(forwarder->State());
    EXPECT_EQ(DatabaseRows(), STATIONS * 5u);
}

// A backlog far longer than a batch of the old size, with a refused record in its middle: each
// line goes once and the refused one is named by its line.
TEST_F(ForwarderDbTest, ALongBacklogGoesOnceAndARefusedLineInItIsNamed) {
    ASSERT_TRUE(
        Sql("ALTER TABLE records ADD CONSTRAINT refuses_port CHECK (port <> 'REFUSED')").ok());
    writer_.Append(12000);
    writer_.AppendWithPort("REFUSED");
    writer_.Append(8000);
    Forwarder forwarder(Settings(ForwarderSettings{}.batchLines));
    forwarder.Start();
    ASSERT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
    const ForwarderState state = forwarder.State();
    EXPECT_EQ(state.sent, 20000u);
    ASSERT_EQ(state.refusedLines.size(), 1u);
    EXPECT_EQ(state.refusedLines[0].line, 12001u);
    EXPECT_EQ(DatabaseRows(), 20000u);
    // Sent again from its start (the cursor gone): nothing doubled, every line there already.
    forwarder.Stop();
    std::filesystem::remove(CursorPathFor(writer_.path()));
    Forwarder again(Settings(ForwarderSettings{}.batchLines));
    again.Start();
    ASSERT_TRUE(again.Drain(Long())) << ForwarderStateText(again.State());
    EXPECT_EQ(again.State().alreadyThere, 20000u);
    EXPECT_EQ(again.State().sent, 0u);
    EXPECT_EQ(DatabaseRows(), 20000u);
}

}  // namespace
}  // namespace qvlink::records
