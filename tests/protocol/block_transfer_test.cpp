#include "block_transfer.h"

#include <gtest/gtest.h>

#include <string_view>

#include "burn_phase.h"
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

class BlockTransferTest : public ::testing::Test {
  protected:
    BlockTransferTest() : host_(test::StandardPayload(), line_) {}

    int Run() {
        const std::size_t before = host_.AwaitResults(0).size();
        UpgradeWorkerProc(host_.Inputs(), host_);
        const auto results = host_.AwaitResults(before + 1);
        EXPECT_EQ(results.size(), before + 1) << "exactly one result per run";
        return results.back();
    }
    // Transfer percentages reported before the transfer's closing 100.
    std::vector<int> TransferPercentages() {
        std::vector<int> percentages;
        for (const auto& r : host_.Reports())
            if (r.kind == STATUS_TRANSFER) percentages.push_back(r.percentage);
        return percentages;
    }

    ScriptedLine line_;
    test::RecordingHost host_;
};

TEST(CheckCodes, CrcAndSumCheckValues) {
    constexpr std::string_view digits = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(digits.data());
    EXPECT_EQ(Crc16Xmodem(bytes, 9), 0x31C3);
    EXPECT_EQ(Sum8(bytes, 9),
              (0x31 + 0x32 + 0x33 + 0x34 + 0x35 + 0x36 + 0x37 + 0x38 + 0x39) & 0xFF);
    EXPECT_EQ(Sum8(bytes, 0), 0);
}

TEST(BuildBlock, LastBlockHoldsSixteenBytesThenSubPadding) {
    const Bytes payload = test::StandardPayload();
    Bytes block(1029, 0);
    EXPECT_EQ(BuildBlock(payload.data(), 1024 * 1024, 1, block.data(), CheckMode::Crc16), 16);
    EXPECT_EQ(Bytes(block.begin() + 3, block.begin() + 19),
              Bytes(payload.end() - 16, payload.end()));
    EXPECT_EQ(std::count(block.begin() + 19, block.begin() + 1027, SUB), 1008);
    const std::uint16_t crc = Crc16Xmodem(block.data() + 3, 1024);
    EXPECT_EQ(block[1027], crc >> 8);
    EXPECT_EQ(block[1028], crc & 0xFF);
}

TEST(BuildBlock, PositionAtTheEndGivesNoBlock) {
    const Bytes payload = test::StandardPayload();
    Bytes block(1029, 0);
    EXPECT_EQ(BuildBlock(payload.data(), TRANSFER_SIZE, 7, block.data(), CheckMode::Sum8), 0);
}

TEST_F(BlockTransferTest, EveryBlockIsNumberedAcrossTheWrapAndCheckedInItsMode) {
    for (const std::uint8_t start : {START_CRC, NAK}) {
        line_.writes.clear();
        test::PlayBlockReceiver(line_, start, test::FullBurn());
        ASSERT_EQ(Run(), BLOCK_COMPLETED);
        ASSERT_EQ(line_.writes.front(), Bytes{BLOCK_ACCEPT});
        const auto blocks = test::BlocksWritten(line_);
        ASSERT_EQ(blocks.size(), 1025u);
        const Bytes payload = test::StandardPayload();
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const Bytes& block = blocks[i];
            ASSERT_EQ(block.size(), start == START_CRC ? 1029u : 1028u);
            ASSERT_EQ(block[0], STX);
            ASSERT_EQ(block[1], static_cast<std::uint8_t>(i + 1)) << "block " << i + 1;
            ASSERT_EQ(block[2], static_cast<std::uint8_t>(255 - block[1]));
            if (start == NAK) {
                ASSERT_EQ(block[1027], Sum8(block.data() + 3, 1024)) << "block " << i + 1;
            }
        }
        EXPECT_EQ(blocks.back()[1], 1);
        EXPECT_EQ(blocks[255][1], 0);
        EXPECT_EQ(line_.writes.back(), Bytes{EOT});
        EXPECT_EQ(host_.Connections(), start == START_CRC ? 1 : 2);
    }
}

TEST_F(BlockTransferTest, ProgressStartsAtZeroWithTheThirdBlockAndEndsAt100AfterEot) {
    test::PlayBlockReceiver(line_, START_CRC, test::FullBurn());
    host_.writeCounter = [this] { return line_.writes.size(); };
    ASSERT_EQ(Run(), BLOCK_COMPLETED);
    const auto percentages = TransferPercentages();
    ASSERT_GE(percentages.size(), 3u);
    EXPECT_EQ(percentages.front(), 0);
    // writes: BLOCK_ACCEPT, block 1, block 2, block 3: the first report follows the third block.
    EXPECT_EQ(host_.writesAtReport.front(), 4u);
    EXPECT_EQ(percentages[percentages.size() - 2], 99);
    EXPECT_EQ(percentages.back(), 100);
    EXPECT_TRUE(std::is_sorted(percentages.begin(), percentages.end()));
    // Reports come when the next block number is a multiple of 5: 208 of them, two of which
    // are one block apart at each wrap of the 8-bit counter, and the closing 100.
    EXPECT_EQ(percentages.size(), 208u + 1u);
    const auto reports = host_.Reports();
    EXPECT_EQ(reports.back(), (StatusReport{STATUS_BURN, 100, -1, -1}));
}

TEST_F(BlockTransferTest, NakBringsTheSameBlockAgainAndEarlyCOnlyBeforeTheFirstAck) {
    line_.Queue({START_CRC});
    int blocksSeen = 0;
    line_.onWrite = [&](ScriptedLine& l, const Bytes& written) {
        if (written.size() == 1029) {
            ++blocksSeen;
            if (blocksSeen == 1)
                l.Queue({START_CRC});  // early 'C': block 1 again
            else if (blocksSeen == 5)
                l.Queue({NAK});  // block 4 again
            else if (blocksSeen == 6)
                l.Queue({ACK, START_CRC});  // late 'C' is ignored
            else
                l.Queue({ACK});
        } else if (written == Bytes{EOT}) {
            l.Queue({ACK, BURN_DONE});
        }
    };
    ASSERT_EQ(Run(), BLOCK_COMPLETED);
    const auto blocks = test::BlocksWritten(line_);
    ASSERT_EQ(blocks.size(), 1027u);
    EXPECT_EQ(blocks[0], blocks[1]);
    EXPECT_EQ(blocks[1][1], 1);
    EXPECT_EQ(blocks[4], blocks[5]);
    EXPECT_EQ(blocks[5][1], 4);
    EXPECT_EQ(blocks[6][1], 5);
    EXPECT_EQ(blocks[7][1], 6);
    EXPECT_EQ(host_.Resends(), 2) << "the early 'C' and the NAK each brought a block again";
}

TEST_F(BlockTransferTest, NakOrCInReplyToEotBringsAnotherEot) {
    line_.Queue({NAK});
    int eots = 0;
    line_.onWrite = [&](ScriptedLine& l, const Bytes& written) {
        if (written.size() == 1028) l.Queue({ACK});
        if (written == Bytes{EOT}) l.Queue({++eots == 1 ? NAK : eots == 2 ? START_CRC : ACK});
        if (eots == 3) l.Queue({BURN_FAILED});
    };
    EXPECT_EQ(Run(), BLOCK_BURN_ERROR);
    EXPECT_EQ(eots, 3);
}

struct CancelCase {
    const char* name;
    Bytes answer;  // the receiver's reply to block 10
    int result;
};

class BlockCancel : public BlockTransferTest, public ::testing::WithParamInterface<CancelCase> {};

TEST_P(BlockCancel, TwoCanInARowCancelAndNothingMoreIsSent) {
    line_.Queue({START_CRC});
    int blocks = 0;
    line_.onWrite = [&](ScriptedLine& l, const Bytes& written) {
        if (written.size() == 1029) l.Queue(++blocks == 10 ? GetParam().answer : Bytes{ACK});
        if (written == Bytes{EOT}) l.Queue({ACK, BURN_DONE});
    };
    EXPECT_EQ(Run(), GetParam().result);
    if (GetParam().result == RECEIVER_ABORT) {
        EXPECT_EQ(test::BlocksWritten(line_).size(), 10u);
        EXPECT_EQ(line_.writes.back().size(), 1029u) << "nothing may follow the cancelled block";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BlockCancel,
    ::testing::Values(CancelCase{"CanCan", {CAN, CAN}, RECEIVER_ABORT},
                      CancelCase{"NoiseBetweenCans", {CAN, 0x41, CAN, ACK}, BLOCK_COMPLETED},
                      CancelCase{"CanThenAck", {CAN, ACK}, BLOCK_COMPLETED}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BlockTransferTest, StopWhileABlockIsUnansweredSendsCanCan) {
    line_.Queue({START_CRC});
    line_.onWrite = [](ScriptedLine& l, const Bytes& written) {
        if (written.size() == 1029 && written[1] < 3) l.Queue({ACK});
    };
    line_.onIdle = [this](ScriptedLine&) { host_.flags.RequestStop(); };
    EXPECT_EQ(Run(), USER_ABORT);
    EXPECT_EQ(line_.writes.back(), (Bytes{CAN, CAN})) << "both CAN bytes in one write";
    EXPECT_EQ(test::BlocksWritten(line_).back()[1], 3);
}

TEST_F(BlockTransferTest, StopWhileEotIsUnansweredSendsCanCan) {
    line_.Queue({START_CRC});
    line_.onWrite = [](ScriptedLine& l, const Bytes& written) {
        if (written.size() == 1029) l.Queue({ACK});
    };
    line_.onIdle = [this](ScriptedLine& l) {
        if (l.writes.back() == Bytes{EOT}) host_.flags.RequestStop();
    };
    EXPECT_EQ(Run(), USER_ABORT);
    EXPECT_EQ(line_.writes.back(), (Bytes{CAN, CAN}));
}

TEST_F(BlockTransferTest, StopDuringTheBurnSendsNothing) {
    test::PlayBlockReceiver(line_, NAK, {0x80, 0x85});
    line_.onIdle = [this](ScriptedLine&) { host_.flags.RequestStop(); };
    EXPECT_EQ(Run(), USER_ABORT);
    EXPECT_EQ(line_.writes.back(), Bytes{EOT});
    EXPECT_EQ(host_.Reports().back(), (StatusReport{STATUS_BURN, 37, -1, -1}));
}

TEST_F(BlockTransferTest, BurnIgnoresForeignBytesAndReportsEachStep) {
    test::PlayBlockReceiver(line_, START_CRC,
                            {0x7F, 0x8F, 0x90, 0x9F, 0xA2, CAN, 0x80, 0xFF, BURN_DONE});
    ASSERT_EQ(Run(), BLOCK_COMPLETED);
    std::vector<int> burn;
    for (const auto& r : host_.Reports())
        if (r.kind == STATUS_BURN) burn.push_back(r.percentage);
    EXPECT_EQ(burn, (std::vector<int>{0, 100, 6, 100}));
}

TEST(BurnPercentage, TableOfTheSixteenSteps) {
    const int expected[16] = {6, 12, 18, 25, 31, 37, 43, 50, 56, 62, 68, 75, 81, 87, 93, 100};
    for (int step = 0; step < 16; ++step)
        EXPECT_EQ(BurnPercentage(static_cast<std::uint8_t>(0x80 + step)), expected[step])
            << "step " << step;
}

}  // namespace
}  // namespace qvlink
