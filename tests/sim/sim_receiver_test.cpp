// qvlink-sim driven from the host side by a small sender written here, independent of the
// upgrade engine: complete transfers on each path, and the faults the sim must catch.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>

#include "check_codes.h"
#include "firmware_fixtures.h"
#include "firmware_format.h"
#include "firmware_packer.h"
#include "protocol_bytes.h"
#include "serial_port.h"
#include "sim_process.h"

namespace qvlink {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::SimProcess;

// The sim's next byte; nothing when its side is gone or after a bound generous enough for a
// loaded machine (only a fault reaches it).
std::optional<std::uint8_t> ReadByte(SerialPort& port) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (port.QueuedBytes() == 0) {
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        if (port.WaitForInput(1000, StopWake{}) == LineWait::Lost) return std::nullopt;
    }
    std::uint8_t byte = 0;
    port.Read(&byte, 1);
    return byte;
}

// Reads until `wanted` comes; other bytes (boot chatter) are skipped.
bool AwaitByte(SerialPort& port, std::uint8_t wanted) {
    for (auto byte = ReadByte(port); byte; byte = ReadByte(port))
        if (*byte == wanted) return true;
    return false;
}

class SimReceiverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        payload_ = BuildPayload(test::PatternData(STANDARD_DATA_SIZE));
        firmware_ = dir_.Write("fw.bin", ScramblePayload(payload_)).string();
    }

    std::unique_ptr<SimProcess> StartSim(std::vector<std::string> options) {
        options.push_back(firmware_);
        auto sim = std::make_unique<SimProcess>(options);
        const Status opened = port_.OpenDevice(sim->DevicePath(), 115200);
        EXPECT_TRUE(opened.ok()) << opened.ToString();
        return sim;
    }

    // Block k (from 1) as a correct sender builds it.
    Bytes Block(int number, bool crcMode) const {
        Bytes block(crcMode ? 1029 : 1028, SUB);
        block[0] = STX;
        block[1] = static_cast<std::uint8_t>(number);
        block[2] = static_cast<std::uint8_t>(~number);
        const std::size_t start = static_cast<std::size_t>(number - 1) * 1024;
        std::copy_n(payload_.begin() + static_cast<std::ptrdiff_t>(start),
                    std::min<std::size_t>(1024, TRANSFER_SIZE - start), block.begin() + 3);
        if (crcMode) {
            const auto crc = Crc16Xmodem(block.data() + 3, 1024);
            block[1027] = static_cast<std::uint8_t>(crc >> 8);
            block[1028] = static_cast<std::uint8_t>(crc);
        } else {
            block[1027] = Sum8(block.data() + 3, 1024);
        }
        return block;
    }

    // Sends the whole block transfer; `damage` may spoil one block before it goes out.
    void SendBlockTransfer(bool crcMode, const std::function<void(int, Bytes&)>& damage = {}) {
        ASSERT_TRUE(AwaitByte(port_, crcMode ? START_CRC : NAK));
        port_.Write(&BLOCK_ACCEPT, 1);
        for (int number = 1; number <= BLOCK_COUNT; ++number) {
            Bytes block = Block(number, crcMode);
            if (damage) damage(number, block);
            port_.Write(block.data(), static_cast<std::uint32_t>(block.size()));
            const auto answer = ReadByte(port_);
            if (answer != ACK) return;  // the sim has given up on us
        }
        port_.Write(&EOT, 1);
        ASSERT_EQ(ReadByte(port_), ACK);
        ASSERT_TRUE(AwaitByte(port_, BURN_DONE));
    }

    // Closes the flasher's side, which lets the sim end, and returns the sim's exit status.
    int FinishedSim(SimProcess& sim) {
        port_.Close();
        return sim.Wait();
    }

    test::ScratchDir dir_;
    Bytes payload_;
    std::string firmware_;
    SerialPort port_;
};

TEST_F(SimReceiverTest, CompleteBlockTransferInBothCheckModes) {
    for (const bool crcMode : {true, false}) {
        auto sim = StartSim({"--protocol", crcMode ? "block-crc" : "block-sum", "--noise", "40"});
        SendBlockTransfer(crcMode);
        EXPECT_EQ(FinishedSim(*sim), 0) << sim->AllVerdicts();
        EXPECT_NE(sim->AllVerdicts().find("device 1: OK"), std::string::npos) << sim->AllVerdicts();
    }
}

struct Damage {
    const char* name;
    std::function<void(int, Bytes&)> spoil;
    const char* verdict;
};

class SimCatchesDamage : public SimReceiverTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(SimCatchesDamage, ReportsTheFaultAndFails) {
    auto sim = StartSim({"--protocol", "block-crc", "--timeout", "2"});
    SendBlockTransfer(true, GetParam().spoil);
    EXPECT_EQ(FinishedSim(*sim), 1);
    EXPECT_NE(sim->AllVerdicts().find(GetParam().verdict), std::string::npos) << sim->AllVerdicts();
}

INSTANTIATE_TEST_SUITE_P(Faults, SimCatchesDamage,
                         ::testing::Values(Damage{"CorruptedData",
                                                  [](int n, Bytes& b) {
                                                      if (n == 300) b[500] ^= 0x01;
                                                  },
                                                  "block 300: data differs"},
                                           Damage{"WrongCheckBytes",
                                                  [](int n, Bytes& b) {
                                                      if (n == 2) b[1028] ^= 0xFF;
                                                  },
                                                  "block 2: CRC-16 wrong"},
                                           Damage{"WrongBlockNumber",
                                                  [](int n, Bytes& b) {
                                                      if (n == 5) {
                                                          b[1] = 6;
                                                          b[2] = 249;
                                                      }
                                                  },
                                                  "block 5: wrong block number"},
                                           Damage{"WrongComplement",
                                                  [](int n, Bytes& b) {
                                                      if (n == 7) b[2] = 0;
                                                  },
                                                  "block 7: block number complement"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimReceiverTest, CompleteBulkTransfer) {
    auto sim = StartSim({"--protocol", "bulk"});
    ASSERT_TRUE(AwaitByte(port_, BULK_REQUEST));
    port_.Write(&BULK_ACCEPT, 1);
    ASSERT_EQ(ReadByte(port_), BULK_READY);
    port_.Write(&BULK_GO, 1);
    ASSERT_EQ(ReadByte(port_), CHUNK_ACK);
    std::uint8_t checksum = 0;
    for (int k = 0; k < 256; ++k) {
        const std::uint8_t* chunk = payload_.data() + 12 + k * 4096;
        checksum = static_cast<std::uint8_t>(checksum + chunk[0] + chunk[4095]);
        port_.Write(chunk, 4096);
        ASSERT_EQ(ReadByte(port_), CHUNK_ACK) << "chunk " << k;
    }
    port_.Write(&checksum, 1);
    ASSERT_EQ(ReadByte(port_), CHUNK_ACK);
    ASSERT_EQ(ReadByte(port_), 0) << "verdict";
    ASSERT_TRUE(AwaitByte(port_, BURN_DONE));
    EXPECT_EQ(FinishedSim(*sim), 0) << sim->AllVerdicts();
}

TEST_F(SimReceiverTest, WrongBulkChecksumIsAFailure) {
    auto sim = StartSim({"--protocol", "bulk", "--timeout", "2"});
    ASSERT_TRUE(AwaitByte(port_, BULK_REQUEST));
    port_.Write(&BULK_ACCEPT, 1);
    ASSERT_EQ(ReadByte(port_), BULK_READY);
    port_.Write(&BULK_GO, 1);
    ASSERT_EQ(ReadByte(port_), CHUNK_ACK);
    for (int k = 0; k < 256; ++k) {
        port_.Write(payload_.data() + 12 + k * 4096, 4096);
        ASSERT_EQ(ReadByte(port_), CHUNK_ACK);
    }
    const std::uint8_t wrong = static_cast<std::uint8_t>(BulkChecksum(payload_.data() + 12) + 1);
    port_.Write(&wrong, 1);
    EXPECT_EQ(FinishedSim(*sim), 1);
    EXPECT_NE(sim->AllVerdicts().find("checksum byte"), std::string::npos) << sim->AllVerdicts();
}

}  // namespace
}  // namespace qvlink
