// A station's live state through the forwarder against a real PostgreSQL server: its rows arrive
// and follow each change and the minute's refresh, a server that was away hears only the last
// state and then the record lines, and a station name another role sends is refused while the
// lines still go. Run by with_pg_cluster.sh (see forwarder_db_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "annotated_mutex.h"
#include "firmware_fixtures.h"
#include "forwarder.h"
#include "made_records.h"
#include "pg_connection.h"

namespace qvlink::records {
namespace {

using namespace std::chrono_literals;
using record::PortService;

// Every wait shares one budget that only a fault runs into.
const auto BUDGET_END = std::chrono::steady_clock::now() + 240s;
std::chrono::milliseconds Long() {
    return std::clamp<std::chrono::milliseconds>(
        std::chrono::duration_cast<std::chrono::milliseconds>(BUDGET_END -
                                                              std::chrono::steady_clock::now()),
        0ms, 120s);
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

record::StationLive Live(const std::string& word, std::vector<std::string> ports = {"COM1", "COM2"},
                         PortService service = PortService::Serving) {
    record::StationLive live{"line-9", "qvlink-cli", "1.1", std::string(64, 'a'), {}};
    int completed = 0;
    for (const std::string& port : ports)
        live.ports.push_back({port, word, service, ++completed, 1});
    return live;
}

// The station's state as the test sets it; the forwarder's thread asks for it.
class LiveSource {
  public:
    void Set(record::StationLive live) {
        MutexLock lock(mutex_);
        live_ = std::move(live);
    }
    record::StationLive Get() const {
        MutexLock lock(mutex_);
        return live_;
    }

  private:
    mutable Mutex mutex_;
    record::StationLive live_ QV_GUARDED_BY(mutex_);
};

class LiveDbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(conninfo_.empty() || server_.empty())
            << "run through tests/tools/with_pg_cluster.sh";
        for (const char* role : {"live_station", "live_other"})
            ASSERT_TRUE(Sql(std::string("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE "
                                        "rolname = '") +
                            role + "') THEN CREATE ROLE " + role +
                            " LOGIN IN ROLE qvlink_insert; END IF; END $$")
                            .ok());
        ASSERT_TRUE(Sql("TRUNCATE records, station_ports, station_logins").ok());
    }
    void TearDown() override {
        if (down_) Server("start");
    }

    Status Sql(const std::string& sql, PgResult* result = nullptr) {
        if (!admin_.connected()) {
            if (Status opened = admin_.Open(conninfo_, nullptr, 30s); !opened.ok()) return opened;
        }
        return admin_.Exec(sql, {}, nullptr, Long(), result);
    }
    std::vector<std::string> Column(const std::string& sql) {
        PgResult result;
        const Status asked = Sql(sql, &result);
        EXPECT_TRUE(asked.ok()) << asked.ToString();
        std::vector<std::string> values;
        for (int i = 0; i < result.rows(); ++i) values.push_back(result.Value(i, 0));
        return values;
    }
    // The station's rows as "port word state completed failed".
    std::vector<std::string> Rows() {
        return Column(
            "SELECT concat_ws(' ', port, word, state, completed, failed) FROM station_ports "
            "WHERE station = 'line-9' ORDER BY port");
    }
    static std::vector<std::string> RowsOf(const record::StationLive& live) {
        std::vector<std::string> rows;
        for (const record::PortLive& port : live.ports)
            rows.push_back(port.port + " " + port.word + " " + record::ServiceWord(port.service) +
                           " " + std::to_string(port.completed) + " " +
                           std::to_string(port.failed));
        return rows;
    }
    void Server(const std::string& what) {
        admin_.Close();
        ASSERT_EQ(std::system((server_ + " " + what).c_str()), 0) << what;
        down_ = what == "stop";
    }
    ForwarderSettings Settings(const char* role) const {
        ForwarderSettings settings;
        settings.conninfo = conninfo_ + " user=" + role;
        settings.recordPath = record_;
        settings.look = 100ms;
        settings.firstBackOff = 200ms;
        return settings;
    }
    void AppendRecords(long from, int count) const {
        std::ofstream file(record_, std::ios::binary | std::ios::app);
        for (long i = from; i < from + count; ++i)
            file << test::MadeRecordLine(i, "line-9") << "\n";
    }

    const std::string conninfo_ = Env("QVLINK_TEST_DATABASE");
    const std::string server_ = Env("QVLINK_TEST_PG_SERVER");
    PgConnection admin_;
    bool down_ = false;
    test::ScratchDir dir_;
    const std::string record_ = (dir_.Path() / "upgrades.jsonl").string();
    LiveSource source_;
};

TEST_F(LiveDbTest, TheRowsArriveFollowEachChangeAndAreRefreshedUnchanged) {
    auto settings = Settings("live_station");
    settings.liveRefresh = 1500ms;
    Forwarder forwarder(settings);
    source_.Set(Live("Waiting"));
    forwarder.SetLiveSource([this] { return source_.Get(); });
    forwarder.Start();
    ForwarderState state =
        forwarder.AwaitState([](const ForwarderState& s) { return s.liveSent >= 1; }, Long());
    ASSERT_EQ(state.liveSent, 1u) << ForwarderStateText(state);
    EXPECT_EQ(Rows(), RowsOf(Live("Waiting")));
    EXPECT_EQ(Column("SELECT concat_ws(' ', program, version, firmware_sha256) FROM "
                     "station_ports WHERE port = 'COM1'"),
              std::vector<std::string>{"qvlink-cli 1.1 " + std::string(64, 'a')});

    // A port gone, one come, the others' words and counts changed: a Drain sends the state
    // waiting to go before it ends, as a run's end does.
    const auto changed = Live("Upgrade Completed", {"COM1", "COM3"}, PortService::OutOfService);
    source_.Set(changed);
    forwarder.LiveChanged();
    ASSERT_TRUE(forwarder.Drain(Long())) << ForwarderStateText(forwarder.State());
    EXPECT_EQ(Rows(), RowsOf(changed));
    const auto seen = Column("SELECT last_seen FROM station_ports WHERE port = 'COM1'");

    // Unchanged, it is sent again within the refresh all the same: the station is still there.
    state = forwarder.AwaitState([](const ForwarderState& s) { return s.liveSent >= 3; }, Long());
    ASSERT_GE(state.liveSent, 3u);
    EXPECT_EQ(Rows(), RowsOf(changed));
    EXPECT_NE(Column("SELECT last_seen FROM station_ports WHERE port = 'COM1'"), seen);
    EXPECT_EQ(Column("SELECT count(*) FROM station_ports WHERE state_since = last_seen"),
              std::vector<std::string>{"0"})
        << "a state that did not change keeps the time it began";
}

TEST_F(LiveDbTest, AServerAwayThenBackHearsOnlyTheLastStateThenTheLines) {
    // What reaches the tables, in order: each port row written (its word), each batch of records.
    for (const char* sql :
         {"CREATE TABLE live_log (n serial, what text)",
          "CREATE FUNCTION live_log_port() RETURNS trigger LANGUAGE plpgsql AS "
          "$$ BEGIN INSERT INTO live_log (what) VALUES (NEW.word); RETURN NULL; END $$",
          "CREATE FUNCTION live_log_records() RETURNS trigger LANGUAGE plpgsql SECURITY "
          "DEFINER AS $$ BEGIN INSERT INTO live_log (what) VALUES ('records'); RETURN NULL; "
          "END $$",
          "CREATE TRIGGER live_log AFTER INSERT OR UPDATE ON station_ports FOR EACH ROW "
          "EXECUTE FUNCTION live_log_port()",
          "CREATE TRIGGER live_log AFTER INSERT ON records FOR EACH STATEMENT "
          "EXECUTE FUNCTION live_log_records()"}) {
        const Status made = Sql(sql);
        ASSERT_TRUE(made.ok()) << made.ToString();
    }
    Forwarder forwarder(Settings("live_station"));
    source_.Set(Live("first"));
    forwarder.SetLiveSource([this] { return source_.Get(); });
    forwarder.Start();
    forwarder.AwaitState([](const ForwarderState& s) { return s.liveSent >= 1; }, Long());
    Server("stop");
    for (int i = 1; i <= 5; ++i) {
        source_.Set(Live("away " + std::to_string(i)));
        forwarder.LiveChanged();
        AppendRecords(i * 3, 3);
        forwarder.Nudge();
    }
    const ForwarderState away =
        forwarder.AwaitState([](const ForwarderState& s) { return !s.error.ok(); }, Long());
    EXPECT_FALSE(away.error.ok()) << "it tried while the server was away";
    Server("start");
    const ForwarderState back = forwarder.AwaitState(
        [](const ForwarderState& s) { return s.liveSent >= 2 && s.sent == 15; }, Long());
    ASSERT_EQ(back.sent, 15u) << ForwarderStateText(back);
    EXPECT_EQ(Rows(), RowsOf(Live("away 5")));
    EXPECT_EQ(Column("SELECT what FROM live_log ORDER BY n"),
              (std::vector<std::string>{"first", "first", "away 5", "away 5", "records"}));
    forwarder.Stop();
    for (const char* sql :
         {"DROP TRIGGER live_log ON station_ports", "DROP TRIGGER live_log ON records",
          "DROP TABLE live_log", "DROP FUNCTION live_log_port", "DROP FUNCTION live_log_records"})
        EXPECT_TRUE(Sql(sql).ok()) << sql;
}

TEST_F(LiveDbTest, AStationNameAnotherRoleSendsIsRefusedAndTheLinesStillGo) {
    {
        Forwarder first(Settings("live_station"));
        source_.Set(Live("mine"));
        first.SetLiveSource([this] { return source_.Get(); });
        first.Start();
        first.AwaitState([](const ForwarderState& s) { return s.liveSent >= 1; }, Long());
    }
    AppendRecords(0, 4);
    Forwarder other(Settings("live_other"));
    source_.Set(Live("not mine"));
    other.SetLiveSource([this] { return source_.Get(); });
    other.Start();
    ASSERT_TRUE(other.Drain(Long())) << ForwarderStateText(other.State());
    const ForwarderState state = other.State();
    EXPECT_EQ(state.sent, 4u);
    EXPECT_EQ(state.liveSent, 0u);
    EXPECT_EQ(state.liveError.kind(), StatusKind::Denied) << state.liveError.ToString();
    EXPECT_EQ(ForwarderStateText(state),
              "all sent; the live state is not taken: " + state.liveError.ToString());
    EXPECT_EQ(Rows(), RowsOf(Live("mine")));
}

}  // namespace
}  // namespace qvlink::records
