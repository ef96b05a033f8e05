// The record's bytes held fixed: the line a station writes for given facts, and stored lines of
// schema 1 and 2 read back field by field and as the database's row. Lines already in record
// files and rows already in databases must keep meaning what they meant.
#include <gtest/gtest.h>

#include <string>

#include "record_json.h"
#include "record_line.h"

namespace qvlink {
namespace {

using namespace std::chrono_literals;
using record::ParseRecordLine;
using record::RecordRow;
using record::RowJson;

const std::string SHA256 = "3f0c5e1b9a7d2c4e8f60b1a2c3d4e5f60718293a4b5c6d7e8f90a1b2c3d4e5f6";
const std::string FIXED_ID = "5f0c2a8e-9b1d-4e57-a3c4-2d6f8e1b7a90";

// The writer's line with its random id replaced by FIXED_ID, after checking it is one.
std::string WithFixedId(std::string line) {
    const std::string before = "{\"schema\":2,\"record_id\":\"";
    EXPECT_EQ(line.substr(0, before.size()), before) << line;
    if (line.size() < before.size() + 36) return line;
    const std::string id = line.substr(before.size(), 36);
    EXPECT_EQ(id[14], '4') << "a random (version 4) id: " << id;
    return line.replace(before.size(), 36, FIXED_ID);
}

TEST(RecordBytes, TheWriterWritesTheseLines) {
    const station::WallTime start =
        std::chrono::sys_days{std::chrono::year{2025} / 3 / 4} + 9h + 12min + 31s + 208ms;
    const station::Moment contact{100s};
    const station::FirmwareFacts firmware{"quorvane.bin", 1048614, 0x699CCCF0, SHA256};
    struct Case {
        const char* name;
        station::RecordSource source;
        station::ReceiverRecord receiver;
        std::string line;
    };
    station::ReceiverRecord completed{"COM3", "/dev/ttyS2", 1, BLOCK_COMPLETED, {}};
    completed.facts = {true,
                       TransferProtocol::BlockCrc,
                       1,
                       start,
                       start + 11889ms,
                       contact,
                       contact + 11662ms,
                       contact + 11670ms,
                       contact + 11680ms,
                       station::Phase::Done};
    station::ReceiverRecord cancelled{"COM12", "/dev/\xFFttyUSB0", 7, RECEIVER_ABORT, {}};
    cancelled.facts.present = true;
    cancelled.facts.start = start;
    cancelled.facts.end = start;
    station::ReceiverRecord stopped{"COM1", "/dev/ttyS0", 2, USER_ABORT, {}};
    stopped.facts = {true,
                     TransferProtocol::Bulk,
                     0,
                     start,
                     start + 2s,
                     contact,
                     std::nullopt,
                     std::nullopt,
                     contact + 1500ms,
                     station::Phase::Transfer};
    const Case cases[] = {
        {"completed",
         {"qvlink-cli", "1.1", "bench-3", "line-3"},
         completed,
         R"({"schema":2,"record_id":"5f0c2a8e-9b1d-4e57-a3c4-2d6f8e1b7a90","station":"line-3",)"
         R"("start":"2025-03-04T09:12:31.208Z","end":"2025-03-04T09:12:43.097Z","port":"COM3",)"
         R"("device":"/dev/ttyS2","protocol":"block-crc","result":1000,)"
         R"("result_text":"Upgrade Completed","transfer_seconds":11.662,"burn_seconds":11.68,)"
         R"("resent":1,"firmware":"quorvane.bin","firmware_size":1048614,)"
         R"("firmware_crc32":"699CCCF0","firmware_sha256":")" +
             SHA256 +
             R"(","receiver":1,"phase":"done","host":"bench-3","program":"qvlink-cli",)"
             R"("version":"1.1"})"},
        {"cancelled, unnamed station, a device name that is no UTF-8",
         {"qvlink-station", "1.1", "bench-4", ""},
         cancelled,
         R"({"schema":2,"record_id":"5f0c2a8e-9b1d-4e57-a3c4-2d6f8e1b7a90","station":"bench-4",)"
         R"("start":"2025-03-04T09:12:31.208Z","end":"2025-03-04T09:12:31.208Z","port":"COM12",)"
         "\"device\":\"/dev/\xEF\xBF\xBDttyUSB0\","
         R"("protocol":null,"result":1002,"result_text":"Receiver Abort","transfer_seconds":null,)"
         R"("burn_seconds":null,"resent":0,"firmware":"quorvane.bin","firmware_size":1048614,)"
         R"("firmware_crc32":"699CCCF0","firmware_sha256":")" +
             SHA256 +
             R"(","receiver":7,"phase":"handshake","host":"bench-4","program":"qvlink-station",)"
             R"("version":"1.1"})"},
        {"stopped in the transfer",
         {"qvlink-cli", "1.1", "bench-3", "line-3"},
         stopped,
         R"({"schema":2,"record_id":"5f0c2a8e-9b1d-4e57-a3c4-2d6f8e1b7a90","station":"line-3",)"
         R"("start":"2025-03-04T09:12:31.208Z","end":"2025-03-04T09:12:33.208Z","port":"COM1",)"
         R"("device":"/dev/ttyS0","protocol":"bulk","result":253,"result_text":"Stopped",)"
         R"("transfer_seconds":null,"burn_seconds":null,"resent":0,"firmware":"quorvane.bin",)"
         R"("firmware_size":1048614,"firmware_crc32":"699CCCF0","firmware_sha256":")" +
             SHA256 +
             R"(","receiver":2,"phase":"transfer","host":"bench-3","program":"qvlink-cli",)"
             R"("version":"1.1"})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WithFixedId(station::RecordLine(c.source, firmware, c.receiver)), c.line);
    }
}

// Every field of `got` against `want`.
void ExpectRow(const RecordRow& got, const RecordRow& want) {
    EXPECT_EQ(got.recordId, want.recordId);
    EXPECT_EQ(got.schema, want.schema);
    EXPECT_EQ(got.station, want.station);
    EXPECT_EQ(got.start, want.start);
    EXPECT_EQ(got.end, want.end);
    EXPECT_EQ(got.port, want.port);
    EXPECT_EQ(got.device, want.device);
    EXPECT_EQ(got.protocol, want.protocol);
    EXPECT_EQ(got.result, want.result);
    EXPECT_EQ(got.resultText, want.resultText);
    EXPECT_EQ(got.transferSeconds, want.transferSeconds);
    EXPECT_EQ(got.burnSeconds, want.burnSeconds);
    EXPECT_EQ(got.resent, want.resent);
    EXPECT_EQ(got.firmware, want.firmware);
    EXPECT_EQ(got.firmwareSize, want.firmwareSize);
    EXPECT_EQ(got.firmwareCrc32, want.firmwareCrc32);
    EXPECT_EQ(got.firmwareSha256, want.firmwareSha256);
    EXPECT_EQ(got.receiver, want.receiver);
    EXPECT_EQ(got.phase, want.phase);
    EXPECT_EQ(got.host, want.host);
    EXPECT_EQ(got.program, want.program);
    EXPECT_EQ(got.version, want.version);
}

TEST(RecordBytes, StoredLinesReadBackFieldByFieldAndAsTheirRow) {
    struct Case {
        const char* name;
        std::string line;
        RecordRow row;
        std::string rowJson;
    };
    const Case cases[] = {
        {"schema 2",
         R"({"schema":2,"record_id":"5F0C2A8E-9b1d-4e57-a3c4-2d6f8e1b7a90","station":"line-3",)"
         R"("start":"2025-03-04T09:12:31.208Z","end":"2025-03-04T09:12:43.097Z","port":"COM3",)"
         R"("device":"/dev/ttyS2","protocol":"block-crc","result":1000,)"
         R"("result_text":"Upgrade Completed","transfer_seconds":11.662,"burn_seconds":11.68,)"
         R"("resent":1,"firmware":"quorvane.bin","firmware_size":1048614,)"
         R"("firmware_crc32":"699CCCF0","firmware_sha256":")" +
             SHA256 +
             R"(","receiver":1,"phase":"done","host":"bench-3","program":"qvlink-cli",)"
             R"("version":"1.1"})",
         {FIXED_ID,
          2,
          "line-3",
          "2025-03-04T09:12:31.208Z",
          "2025-03-04T09:12:43.097Z",
          "COM3",
          "/dev/ttyS2",
          "block-crc",
          1000,
          "Upgrade Completed",
          11.662,
          11.68,
          1,
          "quorvane.bin",
          1048614,
          "699CCCF0",
          SHA256,
          1,
          "done",
          "bench-3",
          "qvlink-cli",
          "1.1"},
         R"({"burn_seconds":11.68,"device":"/dev/ttyS2","end_time":"2025-03-04T09:12:43.097Z",)"
         R"("firmware":"quorvane.bin","firmware_crc32":"699CCCF0","firmware_sha256":")" +
             SHA256 +
             R"(","firmware_size":1048614,"host":"bench-3","phase":"done","port":"COM3",)"
             R"("program":"qvlink-cli","protocol":"block-crc","receiver":1,"record_id":")" +
             FIXED_ID +
             R"(","resent":1,"result":1000,"result_text":"Upgrade Completed","schema":2,)"
             R"("start_time":"2025-03-04T09:12:31.208Z","station":"line-3",)"
             R"("transfer_seconds":11.662,"version":"1.1"})"},
        {"schema 1",
         R"({"schema":1,"start":"2024-11-20T14:00:05.001Z","end":"2024-11-20T14:00:09.500Z",)"
         R"("port":"COM2","device":"/dev/ttyUSB1","protocol":null,"result":3,)"
         R"("result_text":"Checksum Error","transfer_seconds":null,"burn_seconds":null,)"
         R"("resent":4,"firmware":"old.bin","firmware_size":1048614,"firmware_crc32":"0A1B2C3D",)"
         R"("firmware_sha256":")" +
             SHA256 +
             R"(","receiver":12,"phase":"transfer","host":"bench-1","program":"qvlink-cli",)"
             R"("version":"1.0"})",
         {"3d0af865-0108-8d87-bda4-e5767ad56194",
          1,
          "bench-1",
          "2024-11-20T14:00:05.001Z",
          "2024-11-20T14:00:09.500Z",
          "COM2",
          "/dev/ttyUSB1",
          std::nullopt,
          3,
          "Checksum Error",
          std::nullopt,
          std::nullopt,
          4,
          "old.bin",
          1048614,
          "0A1B2C3D",
          SHA256,
          12,
          "transfer",
          "bench-1",
          "qvlink-cli",
          "1.0"},
         R"({"burn_seconds":null,"device":"/dev/ttyUSB1","end_time":"2024-11-20T14:00:09.500Z",)"
         R"("firmware":"old.bin","firmware_crc32":"0A1B2C3D","firmware_sha256":")" +
             SHA256 +
             R"(","firmware_size":1048614,"host":"bench-1","phase":"transfer","port":"COM2",)"
             R"("program":"qvlink-cli","protocol":null,"receiver":12,)"
             R"("record_id":"3d0af865-0108-8d87-bda4-e5767ad56194","resent":4,"result":3,)"
             R"("result_text":"Checksum Error","schema":1,)"
             R"("start_time":"2024-11-20T14:00:05.001Z","station":"bench-1",)"
             R"("transfer_seconds":null,"version":"1.0"})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordRow row;
        const Status read = ParseRecordLine(c.line, row);
        ASSERT_TRUE(read.ok()) << read.ToString();
        ExpectRow(row, c.row);
        EXPECT_EQ(RowJson(row), c.rowJson);
    }
}

}  // namespace
}  // namespace qvlink
