// The database's own counting against the stations': record_outcome(), which yield_by_hour and
// failure_causes count by, gives every result a record can hold the outcome record::CountedAs
// gives it, in the database's words (record::SqlOutcome). Run by with_pg_cluster.sh, which makes
// the server with the schema applied: QVLINK_TEST_DATABASE is its superuser's setting.
#include <gtest/gtest.h>

#include <cstdlib>

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

}  // namespace
}  // namespace qvlink::records
