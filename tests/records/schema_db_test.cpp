// The database's own counting against the stations': record_outcome(), which yield_by_hour and
// failure_causes count by, gives every result a record can hold the outcome record::CountedAs
// gives it, in the database's words (record::SqlOutcome). The rights on the stations' live state:
// a station's role sends its own station's state and does nothing else with it, a reading role
// reads station_health, which says "silent" of a station not heard from for 3 minutes. The
// queries bounded in time count as the views over the same rows and read a day through the
// index on start_time, as the report does. Run by
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
#include "yield_report.h"

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

class BoundedQueriesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(conninfo_, nullptr) << "run by with_pg_cluster.sh";
        const Status opened = db_.Open(conninfo_, nullptr, std::chrono::seconds(60));
        ASSERT_TRUE(opened.ok()) << opened.ToString();
        ASSERT_TRUE(Run("TRUNCATE records").ok());
    }
    Status Run(const std::string& sql, const std::vector<std::string>& params = {},
               PgResult* result = nullptr) {
        return db_.Exec(sql, params, nullptr, std::chrono::seconds(120), result);
    }
    // Every row of `sql`'s result, its columns joined by "|".
    std::vector<std::string> Rows(const std::string& sql,
                                  const std::vector<std::string>& params = {}) {
        PgResult result;
        const Status read = Run(sql, params, &result);
        EXPECT_TRUE(read.ok()) << sql << ": " << read.ToString();
        std::vector<std::string> rows;
        for (int i = 0; i < result.rows(); ++i) {
            std::string row;
            for (int j = 0; j < result.columns(); ++j) row += (j ? "|" : "") + result.Value(i, j);
            rows.push_back(row);
        }
        return rows;
    }
    // One record per receiver; the columns a count does not read are the same for all.
    Status Insert(const std::string& station, const std::string& port, const std::string& start,
                  int result, const std::string& text) {
        return Run(
            "INSERT INTO records (record_id, schema, station, start_time, end_time, port, device, "
            "result, result_text, resent, firmware, firmware_size, firmware_crc32, "
            "firmware_sha256, receiver, phase, host, program, version) VALUES "
            "(gen_random_uuid(), 2, $1, $3::timestamptz, $3::timestamptz, $2, '/dev/ttyS0', "
            "$4::integer, $5, 0, 'quorvane.bin', 1048576, '00000000', repeat('a', 64), 1, "
            "'transfer', 'h', 'qvlink-cli', '1.1')",
            {station, port, start, std::to_string(result), text});
    }

    const char* conninfo_ = std::getenv("QVLINK_TEST_DATABASE");
    PgConnection db_;
};

TEST_F(BoundedQueriesTest, CountAsTheViewsOverTheRowsOfTheirRange) {
    const std::string since = "2026-03-01T06:00:00Z", until = "2026-03-01T08:00:00Z";
    struct Receiver {
        const char *station, *port, *start;
        int result;
        const char* text;
        bool inRange;
    };
    const Receiver receivers[] = {
        {"line-1", "COM1", "2026-03-01T05:59:59.999Z", PORT_LOST, "Port Lost", false},
        {"line-1", "COM1", "2026-03-01T06:00:00Z", BULK_COMPLETED, "Upgrade Completed", true},
        {"line-1", "COM2", "2026-03-01T06:30:00Z", DEVICE_CHECKSUM_ERROR, "Checksum Error", true},
        {"line-1", "COM2", "2026-03-01T06:31:00Z", BLOCK_COMPLETED, "Upgrade Completed", true},
        {"line-2", "COM1", "2026-03-01T07:15:00Z", RECEIVER_ABORT, "Receiver Abort", true},
        {"line-2", "COM1", "2026-03-01T07:59:59.999Z", USER_ABORT, "Stopped", true},
        {"line-2", "COM1", "2026-03-01T07:59:59.999Z", PORT_LOST, "Port Lost", true},
        {"line-3", "COM4", "2026-03-01T08:00:00Z", DEVICE_CHECKSUM_ERROR, "Checksum Error", false},
        {"line-3", "COM4", "2026-02-28T07:00:00Z", PORT_LOST, "Port Lost", false},
    };
    // The causes of the range's receivers alone, as the view counts them, before the others come.
    for (const Receiver& r : receivers) {
        if (!r.inRange) continue;
        ASSERT_TRUE(Insert(r.station, r.port, r.start, r.result, r.text).ok());
    }
    const std::vector<std::string> causes = Rows("SELECT * FROM failure_causes");
    ASSERT_EQ(causes.size(), 3u);
    for (const Receiver& r : receivers) {
        if (r.inRange) continue;
        ASSERT_TRUE(Insert(r.station, r.port, r.start, r.result, r.text).ok());
    }

    const std::vector<std::string> bounds = {since, until};
    EXPECT_EQ(Rows("SELECT * FROM failure_causes_between($1, $2)", bounds), causes);
    const std::vector<std::string> yields =
        Rows("SELECT * FROM yield_by_hour WHERE hour >= $1 AND hour < $2 ORDER BY 1, 2, 3, 4, 5",
             bounds);
    ASSERT_EQ(yields.size(), 3u);
    EXPECT_EQ(Rows("SELECT * FROM yield_by_hour_between($1, $2) ORDER BY 1, 2, 3, 4, 5", bounds),
              yields);
    // Per hour, the failed receivers of each port: line-1 COM2 at 06:00, line-2 COM1 twice at
    // 07:00; summed over the hours, the causes' counts.
    EXPECT_EQ(
        Rows("SELECT to_char(hour AT TIME ZONE 'UTC', 'HH24'), station, port, result_text, "
             "count FROM failure_causes_by_hour_between($1, $2) ORDER BY 1, 2, 3, 4",
             bounds),
        (std::vector<std::string>{"06|line-1|COM2|Checksum Error|1", "07|line-2|COM1|Port Lost|1",
                                  "07|line-2|COM1|Receiver Abort|1"}));
}

TEST_F(BoundedQueriesTest, ADaysQueryReadsTheIndexOnStartTime) {
    // A year of records, a receiver every half hour or so.
    ASSERT_TRUE(Run("INSERT INTO records (record_id, schema, station, start_time, end_time, port, "
                    "device, result, result_text, resent, firmware, firmware_size, "
                    "firmware_crc32, firmware_sha256, receiver, phase, host, program, version) "
                    "SELECT gen_random_uuid(), 2, 'line-' || i % 5, t, t, 'COM1', '/dev/ttyS0', "
                    "(ARRAY[1000, 1000, 1003])[1 + i % 3], 'r', 0, 'q.bin', 1, '00000000', "
                    "repeat('a', 64), i, 'transfer', 'h', 'qvlink-cli', '1.1' "
                    "FROM generate_series(1, 20000) AS i, "
                    "LATERAL (SELECT now() - interval '365 days' * i / 20000 AS t) AS at")
                    .ok());
    ASSERT_TRUE(Run("ANALYZE records").ok());
    const std::string day = "now() - interval '1 day', now()";
    const std::pair<std::string, std::vector<std::string>> queries[] = {
        {"SELECT * FROM yield_by_hour_between(" + day + ")", {}},
        {"SELECT * FROM failure_causes_between(" + day + ")", {}},
        {"SELECT * FROM failure_causes_by_hour_between(" + day + ")", {}},
        {ReportSql(), {"2026-01-05T00:00:00Z", "2026-01-06T00:00:00Z", ""}},
        {ReportSql(), {"2026-01-05T00:00:00Z", "infinity", "line-1"}},
    };
    for (const auto& [query, params] : queries) {
        // An index scan (on start_time, or on station and start_time) bounded by start_time.
        std::string text;
        bool bounded = false;
        for (const std::string& line : Rows("EXPLAIN " + query, params)) {
            text += line + "\n";
            bounded = bounded || (line.find("Index Cond: ") != std::string::npos &&
                                  line.find("start_time >= ") != std::string::npos);
        }
        EXPECT_TRUE(bounded) << query << "\n" << text;
    }
}

}  // namespace
}  // namespace qvlink::records
