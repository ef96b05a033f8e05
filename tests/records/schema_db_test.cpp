// The database's own counting against the stations': record_outcome(), which yield_by_hour and
// failure_causes count by, gives every result a record can hold the outcome record::CountedAs
// gives it, in the database's words (record::SqlOutcome). The rights on the stations' live state:
// a station's role sends its own station's state and does nothing else with it, a reading role
// reads station_health, which says "silent" of a station not heard from for 3 minutes. Run by
// with_pg_cluster.sh, which makes the server with the schema applied: QVLINK_TEST_DATABASE is its
// superuser's setting.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "live_send.h"
#include "pg_connection.h"
#include "record_counting.h"

namespace qvlink::records {
namespace {

TEST(DatabaseSchema, RecordOutcomeCountsEveryResultAsTheStationsDo) {
    const char* conninfo = std::getenv("QVLINK_TEST_DATABASE");
    ASSERT_NE(conninfo, nullptr) << "run by with_pg_cluster.sh";
    PgConnection connection;
    const Status opened = connection.Open(conninfo, nullptr, std::chrono::seconds(60));
    ASSERT_TRUE(opened.ok()) << opened.ToString();
    // Every result a run ends with or the dialog knows, and numbers no run gives (a record
    // from a newer program).
    const int results[] = {BULK_COMPLETED,
                           DEVICE_CHECKSUM_ERROR,
                           DEVICE_MEMORY_ERROR,
                           DEVICE_SDRAM_ERROR,
                           USER_ABORT,
                           BULK_BURN_ERROR,
                           UNKNOWN_ERROR,
                           BLOCK_COMPLETED,
                           TIME_OUT,
                           RECEIVER_ABORT,
                           TRANSFER_ERROR,
                           BLOCK_BURN_ERROR,
                           UPGRADE_ERROR,
                           PORT_LOST,
                           1,
                           999,
                           1003,
                           -1};
    for (const int result : results) {
        PgResult outcome;
        const Status asked =
            connection.Exec("SELECT record_outcome($1::integer)", {std::to_string(result)}, nullptr,
                            std::chrono::seconds(60), &outcome);
        ASSERT_TRUE(asked.ok()) << asked.ToString();
        ASSERT_EQ(outcome.rows(), 1);
        EXPECT_EQ(outcome.Value(0, 0),
                  record::SqlOutcome(record::CountedAs(static_cast<UpgradeResult>(result))))
            << "result " << result;
    }
}

class LiveRightsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(conninfo_, nullptr) << "run by with_pg_cluster.sh";
        ASSERT_TRUE(Open(admin_, "postgres"));
        for (const auto& [role, in] : {std::pair{"live_a", "qvlink_insert"},
                                       {"live_b", "qvlink_insert"},
                                       {"live_reader", "qvlink_read"}}) {
            const Status made =
                Run(admin_, std::string("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE "
                                        "rolname = '") +
                                role + "') THEN CREATE ROLE " + role + " LOGIN IN ROLE " + in +
                                "; END IF; END $$");
            ASSERT_TRUE(made.ok()) << made.ToString();
        }
        ASSERT_TRUE(Run(admin_, "TRUNCATE station_ports, station_logins").ok());
        ASSERT_TRUE(Open(a_, "live_a") && Open(b_, "live_b") && Open(reader_, "live_reader"));
    }

    bool Open(PgConnection& connection, const std::string& role) {
        const Status opened = connection.Open(std::string(conninfo_) + " user=" + role, nullptr,
                                              std::chrono::seconds(60));
        EXPECT_TRUE(opened.ok()) << opened.ToString();
        return opened.ok();
    }
    static Status Run(PgConnection& connection, const std::string& sql,
                      PgResult* result = nullptr) {
        return connection.Exec(sql, {}, nullptr, std::chrono::seconds(60), result);
    }
    static record::StationLive Live(const std::string& station, const std::string& word) {
        return {station,
                "qvlink-station",
                "1.1",
                "",
                {{"COM1", word, record::PortService::Serving, 3, 1}}};
    }
    // "station port health word" of every row station_health shows the reader.
    std::vector<std::string> Health() {
        PgResult result;
        const Status read = Run(reader_,
                                "SELECT concat_ws(' ', station, port, health, word) FROM "
                                "station_health ORDER BY station, port",
                                &result);
        EXPECT_TRUE(read.ok()) << read.ToString();
        std::vector<std::string> rows;
        for (int i = 0; i < result.rows(); ++i) rows.push_back(result.Value(i, 0));
        return rows;
    }

    const char* conninfo_ = std::getenv("QVLINK_TEST_DATABASE");
    PgConnection admin_, a_, b_, reader_;
};

TEST_F(LiveRightsTest, AStationRoleSendsItsOwnStationsStateAndNothingElse) {
    ASSERT_TRUE(SendStationLive(a_, Live("line-a", "Waiting"), nullptr).ok());
    ASSERT_TRUE(SendStationLive(b_, Live("line-b", "Waiting"), nullptr).ok());
    ASSERT_TRUE(SendStationLive(a_, Live("line-a", "Upgrade Completed"), nullptr).ok());
    // Each refusal by its kind, and the connection still usable after it.
    const std::pair<const char*, std::function<Status()>> refused[] = {
        {"another station's state",
         [&] { return SendStationLive(b_, Live("line-a", "x"), nullptr); }},
        {"SET ROLE does not change who sends",
         [&] {
             const Status set = Run(b_, "SET ROLE qvlink_insert");
             return set.ok() ? SendStationLive(b_, Live("line-a", "x"), nullptr) : set;
         }},
        {"delete", [&] { return Run(b_, "DELETE FROM station_ports"); }},
        {"update", [&] { return Run(b_, "UPDATE station_ports SET word = 'x'"); }},
        {"insert",
         [&] {
             return Run(b_,
                        "INSERT INTO station_ports (station, port, word, state, completed, "
                        "failed, program, version) VALUES ('line-a', 'COM9', '', 'serving', "
                        "0, 0, 'p', '1')");
         }},
        {"its owner changed",
         [&] { return Run(b_, "UPDATE station_logins SET login_role = 'live_b'"); }},
        {"read the live state", [&] { return Run(b_, "SELECT * FROM station_health"); }},
        {"read the records", [&] { return Run(b_, "SELECT * FROM records"); }},
        {"a reader sends", [&] { return SendStationLive(reader_, Live("line-r", "x"), nullptr); }},
    };
    for (const auto& [what, attempt] : refused) {
        const Status status = attempt();
        EXPECT_EQ(status.kind(), StatusKind::Denied) << what << ": " << status.ToString();
        EXPECT_TRUE(Run(b_, "RESET ROLE").ok()) << what;
    }
    EXPECT_EQ(Health(), (std::vector<std::string>{"line-a COM1 serving Upgrade Completed",
                                                  "line-b COM1 serving Waiting"}));
}

TEST_F(LiveRightsTest, AStationNotHeardFromForThreeMinutesIsSilent) {
    ASSERT_TRUE(SendStationLive(a_, Live("line-a", "Waiting"), nullptr).ok());
    ASSERT_TRUE(SendStationLive(b_, Live("line-b", "Waiting"), nullptr).ok());
    ASSERT_TRUE(Run(admin_,
                    "UPDATE station_ports SET last_seen = now() - interval '2 min 50 s' "
                    "WHERE station = 'line-a'")
                    .ok());
    ASSERT_TRUE(Run(admin_,
                    "UPDATE station_ports SET last_seen = now() - interval '3 min 10 s' "
                    "WHERE station = 'line-b'")
                    .ok());
    EXPECT_EQ(Health(), (std::vector<std::string>{"line-a COM1 serving Waiting",
                                                  "line-b COM1 silent Waiting"}));
    ASSERT_TRUE(SendStationLive(b_, Live("line-b", "Waiting"), nullptr).ok());
    EXPECT_EQ(Health().back(), "line-b COM1 serving Waiting") << "heard from again";
}

}  // namespace
}  // namespace qvlink::records
