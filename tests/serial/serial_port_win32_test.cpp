// The Windows serial port under Wine, against a port mapped to a running qvlink-sim: the
// environment variable QVLINK_TEST_PORT gives its number. The sim announces itself with boot
// chatter and 'C' as soon as the port is opened.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "closed_port_checks.h"
#include "port_names.h"
#include "serial_port.h"

namespace qvlink {
namespace {

int TestPort() {
    const char* number = std::getenv("QVLINK_TEST_PORT");
    return number != nullptr ? std::atoi(number) : 0;
}

TEST(SerialPortWin32, MissingPortFailsAndLeavesThePortClosed) {
    SerialPort port;
    EXPECT_EQ(port.OpenDevice(DeviceForName("COM99"), 115200), 0);
    EXPECT_FALSE(port.LastOpenError().empty());
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
        ASSERT_EQ(port_.Open(TestPort(), 115200), 1) << port_.LastOpenError();
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

}  // namespace
}  // namespace qvlink
