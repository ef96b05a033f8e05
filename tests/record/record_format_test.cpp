// The database's side of the record format: its table's columns and INSERT follow the fields as
// they always were, record_outcome() counts every result as CountedAs does, and a line that is
// no record is refused as Invalid.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "record_counting.h"
#include "record_json.h"
#include "record_sql.h"

namespace qvlink::record {
namespace {

TEST(RecordSql, TheTableAndTheInsertKeepTheirColumns) {
    EXPECT_EQ(RecordColumnsSql(),
              "    record_id uuid PRIMARY KEY,\n"
              "    schema integer NOT NULL,\n"
              "    station text NOT NULL,\n"
              "    start_time timestamptz NOT NULL,\n"
              "    end_time timestamptz NOT NULL,\n"
              "    port text NOT NULL,\n"
              "    device text NOT NULL,\n"
              "    protocol text,\n"
              "    result integer NOT NULL,\n"
              "    result_text text NOT NULL,\n"
              "    transfer_seconds double precision,\n"
              "    burn_seconds double precision,\n"
              "    resent bigint NOT NULL,\n"
              "    firmware text NOT NULL,\n"
              "    firmware_size bigint NOT NULL,\n"
              "    firmware_crc32 text NOT NULL,\n"
              "    firmware_sha256 text NOT NULL,\n"
              "    receiver integer NOT NULL,\n"
              "    phase text NOT NULL,\n"
              "    host text NOT NULL,\n"
              "    program text NOT NULL,\n"
              "    version text NOT NULL,\n");
    EXPECT_EQ(RecordColumnList(),
              "record_id, schema, station, start_time, end_time, port, device, protocol, result, "
              "result_text, transfer_seconds, burn_seconds, resent, firmware, firmware_size, "
              "firmware_crc32, firmware_sha256, receiver, phase, host, program, version");
    EXPECT_EQ(RecordOutcomeCaseSql(),
              "CASE WHEN result IN (0, 1000) THEN 'completed'\n"
              "                WHEN result = 253 THEN 'stopped'\n"
              "                ELSE 'failed' END");
}

// The quoted word after `from` in `sql` ("... THEN 'completed'").
std::string QuotedAfter(const std::string& sql, std::size_t from) {
    const std::size_t open = sql.find('\'', from);
    return sql.substr(open + 1, sql.find('\'', open + 1) - open - 1);
}

// What the CASE expression gives `result`, read as the database would: each arm's numbers
// ("= 253" or "IN (0, 1000)") in order, then the ELSE.
std::string CaseOutcome(const std::string& sql, int result) {
    static const std::string WHEN = "WHEN result ";
    for (std::size_t at = sql.find(WHEN); at != std::string::npos; at = sql.find(WHEN, at + 1)) {
        const std::size_t then = sql.find(" THEN ", at);
        std::string numbers = sql.substr(at + WHEN.size(), then - at - WHEN.size());
        for (char& c : numbers)
            if (c == '=' || c == '(' || c == ')' || c == ',' || c == 'I' || c == 'N') c = ' ';
        std::istringstream list(numbers);
        for (int number; list >> number;)
            if (number == result) return QuotedAfter(sql, then);
    }
    const std::size_t otherwise = sql.find("ELSE ");
    return otherwise == std::string::npos ? "no arm" : QuotedAfter(sql, otherwise);
}

TEST(RecordSql, RecordOutcomeCountsEveryResultAsCountedAs) {
    // Every number up to past the largest result: a result that counts apart from failed but is
    // missing from RESULT_CODES shows here.
    const std::string sql = RecordOutcomeCaseSql();
    for (int result = -2; result <= 1100; ++result)
        ASSERT_EQ(CaseOutcome(sql, result),
                  SqlOutcome(CountedAs(static_cast<UpgradeResult>(result))))
            << "result " << result;
}

TEST(RecordJson, ALineThatIsNoRecordIsInvalidAndSaysWhy) {
    const struct {
        std::string line;
        const char* why;
    } cases[] = {
        {"[1, 2]", "not a JSON object"},
        {R"({"schema":7})", "schema 7 is not known to this program"},
        {R"({"schema":2,"start":"2025-03-04T09:12:31.208Z"})", "no field \"end\""},
        {R"({"schema":"2"})", "field \"schema\" is not a whole number"},
    };
    for (const auto& c : cases) {
        RecordRow row;
        const Status read = ParseRecordLine(c.line, row);
        EXPECT_EQ(read.kind(), StatusKind::Invalid) << c.line;
        EXPECT_EQ(read.message(), c.why) << c.line;
    }
}

}  // namespace
}  // namespace qvlink::record
