// The Windows serial port under Wine, against ports mapped to running qvlink-sim receivers: the
// environment variable QVLINK_TEST_PORT gives the number of one that announces itself with boot
// chatter and 'C' as soon as the port is opened; QVLINK_TEST_CUT_PORT one that sends 20 bytes of
// chatter and falls silent, and whose sim the test's script kills once the test has printed the
// line "cut the line now".
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "closed_port_checks.h"
#include "port_names.h"
#include "serial_port.h"

namespace qvlink {
namespace {

int PortFromEnvironment(const char* variable) {
    const char* number = std::getenv(variable);
    return number != nullptr ? std::atoi(number) : 0;
}

int TestPort() {
    return PortFromEnvironment("QVLINK_TEST_PORT");
}

TEST(SerialPortWin32, MissingPortFailsAndLeavesThePortClosed) {
    SerialPort port;
    const Status opened = port.OpenDevice(DeviceForName("COM99"), 115200);
    EXPECT_EQ(opened.kind(), StatusKind::NotFound) << opened.ToString();
    EXPECT_NE(opened.cause().find("no such port"), std::string::npos) << opened.ToString();
    EXPECT_EQ(port.Open(99, 115200), 0);
    test::ExpectClosedPortIsInert(port);
}

TEST(SerialPortWin32, DeviceNamesForTheCommandLineOpenEveryComNumber) {
    EXPECT_EQ(DeviceForPortNumber(3), "COM3");
    EXPECT_EQ(DeviceForName("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(DeviceForName("\\\\.\\COM2"), "\\\\.\\COM2");
}

class MappedPort : public ::testing::Test {
  protected:
    void SetUp() override {
        if (TestPort() == 0) GTEST_SKIP() << "QVLINK_TEST_PORT names no port mapped to a receiver";
        ASSERT_EQ(port_.Open(TestPort(), 115200), 1);
        EXPECT_EQ(port_.SetBinaryMode(1), 1);
    }
    SerialPort port_;
};

// Wine lets a second open of the same port through, so exclusive open is tested on Linux only.
TEST_F(MappedPort, ReadTakesOnlyWhatIsQueued) {
    // The sim sends 20 bytes of chatter and 'C'.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (port_.QueuedBytes() < 21 && std::chrono::steady_clock::now() < deadline)
        port_.WaitForInput(40, StopWake{});
    ASSERT_EQ(port_.QueuedBytes(), 21);
    std::vector<std::uint8_t> buffer(1000, 0xEE);
    EXPECT_EQ(port_.Read(buffer.data(), 1000), 21);
    EXPECT_EQ(buffer[20], 'C');
    EXPECT_EQ(buffer[21], 0xEE);
    EXPECT_EQ(port_.Read(buffer.data(), 1000), 0);
    EXPECT_EQ(port_.WaitForInput(40, StopWake{}), LineWait::Quiet);
}

TEST_F(MappedPort, AChunkIsWrittenWhole) {
    const std::vector<std::uint8_t> chunk(4096, 0x5A);
    EXPECT_EQ(port_.Write(chunk.data(), 4096), 4096);
}

// Under Wine a killed receiver hangs up the pseudo-terminal behind the COM port, as a pulled
// adapter hangs up its device: the wait must say Lost, not go on reporting a quiet line.
TEST(SerialPortWin32, AReceiverKilledBehindThePortIsALostLineNotSilence) {
    const int cutPort = PortFromEnvironment("QVLINK_TEST_CUT_PORT");
    if (cutPort == 0) GTEST_SKIP() << "QVLINK_TEST_CUT_PORT names no port whose receiver is cut";
    SerialPort port;
    const Status opened = port.OpenDevice(DeviceForPortNumber(cutPort), 115200);
    ASSERT_TRUE(opened.ok()) << opened.ToString();
    const StopWake wake;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (port.QueuedBytes() < 20 && std::chrono::steady_clock::now() < deadline)
        ASSERT_NE(port.WaitForInput(40, wake), LineWait::Lost);
    std::vector<std::uint8_t> buffer(64, 0xEE);
    ASSERT_EQ(port.Read(buffer.data(), 64), 20) << "the receiver's chatter";
    EXPECT_EQ(port.WaitForInput(40, wake), LineWait::Quiet) << "a silent line is not lost";

    std::printf("cut the line now\n");
    std::fflush(stdout);
    const auto cut = std::chrono::steady_clock::now();
    LineWait wait = LineWait::Quiet;
    while (wait == LineWait::Quiet &&
           std::chrono::steady_clock::now() - cut < std::chrono::seconds(30))
        wait = port.WaitForInput(5000, wake);
    ASSERT_EQ(wait, LineWait::Lost) << "no Lost within 30 s of the cut";
    std::printf("lost %lld ms after the cut was asked for\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - cut)
                                           .count()));
    EXPECT_EQ(port.QueuedBytes(), 0);
    buffer.assign(64, 0xEE);
    EXPECT_EQ(port.Read(buffer.data(), 64), 0);
    EXPECT_EQ(buffer[0], 0xEE) << "nothing was written into the buffer";
    EXPECT_EQ(port.Write(buffer.data(), 4), 0);
    EXPECT_EQ(port.WaitForInput(5000, wake), LineWait::Lost) << "and it stays lost";
}

}  // namespace
}  // namespace qvlink
