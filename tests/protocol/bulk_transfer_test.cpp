#include "bulk_transfer.h"

#include <gtest/gtest.h>

#include "check_codes.h"
#include "firmware_fixtures.h"
#include "firmware_packer.h"
#include "protocol_bytes.h"
#include "receiver_scripts.h"
#include "recording_host.h"
#include "upgrade_worker.h"

namespace qvlink {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::ScriptedLine;

class BulkTransferTest : public ::testing::Test {
  protected:
    BulkTransferTest() : host_(test::StandardPayload(), line_) {}

    int Run() {
        UpgradeWorkerProc(host_.Inputs(), host_);
        return host_.AwaitResults(1).front();
    }

    ScriptedLine line_;
    test::RecordingHost host_;
};

TEST(BulkChecksum, CountsOnlyTheFirstAndLastByteOfEachChunk) {
    Bytes data(0x100000, 0);
    data[0] = 0x5A;
    EXPECT_EQ(BulkChecksum(data.data()), 0x5A);
    data[1] = 0x77;
    data[4094] = 0x13;
    data[4096 * 9 + 2000] = 0xFF;
    EXPECT_EQ(BulkChecksum(data.data()), 0x5A) << "inner bytes must not count";
    for (int k = 0; k < 256; ++k) {
        data[k * 4096] = 0x01;
        data[k * 4096 + 4095] = 0x02;
    }
    EXPECT_EQ(BulkChecksum(data.data()), 0);
}

TEST(BulkPercentage, LagsTheCountByOneChunk) {
    const std::pair<int, int> countToPercentage[] = {{1, 0},    {2, 0},    {3, 0},    {4, 1},
                                                     {27, 10},  {129, 49}, {130, 50}, {232, 90},
                                                     {255, 99}, {256, 99}};
    for (const auto& [count, percentage] : countToPercentage)
        EXPECT_EQ(BulkPercentage(count - 1), percentage) << "count " << count;
}

TEST_F(BulkTransferTest, SendsTheImageDataInChunksWithChecksumAndFollowsTheBurn) {
    test::PlayBulkReceiver(line_, 0, test::FullBurn());
    ASSERT_EQ(Run(), BULK_COMPLETED);
    const Bytes payload = test::StandardPayload();
    ASSERT_EQ(line_.writes.size(), 2u + 256u + 1u);
    EXPECT_EQ(line_.writes[0], Bytes{BULK_ACCEPT});
    EXPECT_EQ(line_.writes[1], Bytes{BULK_GO});
    for (int k = 0; k < 256; ++k)
        ASSERT_TRUE(std::equal(line_.writes[2 + k].begin(), line_.writes[2 + k].end(),
                               payload.begin() + 12 + k * 4096))
            << "chunk " << k;
    EXPECT_EQ(line_.writes.back(), Bytes{BulkChecksum(payload.data() + 12)});

    const auto reports = host_.Reports();
    EXPECT_EQ(reports[0], (StatusReport{STATUS_TRANSFER, 0, 0, 257}));
    EXPECT_EQ(reports[1], (StatusReport{STATUS_TRANSFER, 0, 1, 257}));
    EXPECT_EQ(reports[256], (StatusReport{STATUS_TRANSFER, 99, 256, 257}));
    EXPECT_EQ(reports[257], (StatusReport{STATUS_TRANSFER, 100, 257, 257}));
    EXPECT_EQ(reports[258], (StatusReport{STATUS_BURN, 0, -1, -1}));
    EXPECT_EQ(reports.back(), (StatusReport{STATUS_BURN, 100, -1, -1}));
    EXPECT_EQ(host_.Connections(), 1);
}

struct VerdictCase {
    std::uint8_t verdict;
    Bytes burn;
    int result;
};

class BulkVerdict : public BulkTransferTest, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(BulkVerdict, EndsWithTheReceiversWord) {
    test::PlayBulkReceiver(line_, GetParam().verdict, GetParam().burn);
    EXPECT_EQ(Run(), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BulkVerdict,
    ::testing::Values(
        VerdictCase{3, {BURN_DONE}, DEVICE_CHECKSUM_ERROR},
        VerdictCase{4, {BURN_DONE}, DEVICE_MEMORY_ERROR},
        VerdictCase{5, {BURN_DONE}, DEVICE_SDRAM_ERROR},
        VerdictCase{6, {BURN_DONE}, BULK_COMPLETED},
        VerdictCase{1, {0x85, BURN_FAILED}, BULK_BURN_ERROR},
        // A BURN_DONE in the verdict's place only accepts the data; the next one ends it.
        VerdictCase{BURN_DONE, {CHUNK_ACK, BURN_FAILED}, BULK_BURN_ERROR},
        VerdictCase{0x80, {BURN_DONE}, BULK_COMPLETED}));

TEST_F(BulkTransferTest, NoiseAndASecondReadyByteAreDiscarded) {
    line_.Queue({'x', BULK_REQUEST});
    line_.onWrite = [chunks = 0](ScriptedLine& l, const Bytes& written) mutable {
        if (written == Bytes{BULK_ACCEPT}) l.Queue({BULK_REQUEST, 0x00, BULK_READY});
        if (written == Bytes{BULK_GO}) l.Queue({BULK_READY, 3, CHUNK_ACK});
        if (written.size() == 4096)
            l.Queue(++chunks == 256 ? Bytes{BULK_READY, CHUNK_ACK} : Bytes{CHUNK_ACK});
        if (written.size() == 1 && chunks == 256) l.Queue({4, CHUNK_ACK, 0, BURN_DONE});
    };
    EXPECT_EQ(Run(), BULK_COMPLETED) << "the 4 before the checksum's 'f' is not the verdict";
}

// Where the receiver falls silent, and what a stop there must look like: nothing sent.
struct StallCase {
    const char* name;
    int chunksAnswered;  // -1: never sends BULK_READY
    bool answerChecksum;
    bool sendVerdict;
};

class BulkStop : public BulkTransferTest, public ::testing::WithParamInterface<StallCase> {
  protected:
    // A receiver that answers as far as the case says and then falls silent.
    void PlayUntilTheStall() {
        line_.Queue({BULK_REQUEST});
        line_.onWrite = [c = GetParam(), chunks = 0](ScriptedLine& l,
                                                     const Bytes& written) mutable {
            if (written == Bytes{BULK_ACCEPT} && c.chunksAnswered >= 0) l.Queue({BULK_READY});
            if (written == Bytes{BULK_GO}) l.Queue({CHUNK_ACK});
            if (written.size() == 4096 && ++chunks <= c.chunksAnswered) l.Queue({CHUNK_ACK});
            if (written.size() == 1 && chunks == 256 && c.answerChecksum) l.Queue({CHUNK_ACK});
            if (written.size() == 1 && chunks == 256 && c.sendVerdict) l.Queue({0, 0x83});
        };
    }
};

TEST_P(BulkStop, EndsTheRunAndSendsNothing) {
    PlayUntilTheStall();
    std::size_t writesAtStop = 0;
    line_.onIdle = [&](ScriptedLine& l) {
        writesAtStop = l.writes.size();
        host_.flags.RequestStop();
    };
    EXPECT_EQ(Run(), USER_ABORT);
    EXPECT_EQ(line_.writes.size(), writesAtStop) << "a bulk stop sends nothing";
}

// The same waits when the line goes away instead: the run says so, not that it was stopped.
TEST_P(BulkStop, ALostLineEndsWithPortLost) {
    PlayUntilTheStall();
    line_.onIdle = [](ScriptedLine& l) { l.lost = true; };
    EXPECT_EQ(Run(), PORT_LOST);
}

INSTANTIATE_TEST_SUITE_P(Waits, BulkStop,
                         ::testing::Values(StallCase{"Sync", -1, false, false},
                                           StallCase{"ChunkAck", 17, false, false},
                                           StallCase{"ChecksumAck", 256, false, false},
                                           StallCase{"Verdict", 256, true, false},
                                           StallCase{"Burn", 256, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qvlink
