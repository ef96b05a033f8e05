#include "serial_port.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <thread>

#include "closed_port_checks.h"
#include "port_names.h"
#include "pty_pair.h"

namespace qvlink {
namespace {

using test::PtyPair;
using Bytes = std::vector<std::uint8_t>;

TEST(SerialPort, ClosedPortDoesNothingAndReturnsZero) {
    SerialPort port;
    const Status opened = port.OpenDevice("/dev/qvlink-no-such-device", 115200);
    EXPECT_EQ(opened.kind(), StatusKind::NotFound);
    EXPECT_EQ(opened.message(), "/dev/qvlink-no-such-device");
    EXPECT_NE(opened.cause().find("no such device"), std::string::npos) << opened.ToString();
    setenv("QVLINK_COM99", "/dev/qvlink-no-such-device", 1);
    EXPECT_EQ(port.Open(99, 115200), 0);
    unsetenv("QVLINK_COM99");
    test::ExpectClosedPortIsInert(port);
}

TEST(SerialPort, OpensRawEightBitsNoParityAtTheGivenBaud) {
    PtyPair pty;
    SerialPort port;
    const Status opened = port.OpenDevice(pty.PeerPath(), 115200);
    ASSERT_TRUE(opened.ok()) << opened.ToString();
    EXPECT_EQ(port.SetBinaryMode(1), 1);
    const termios line = pty.LineSettings();
    EXPECT_EQ(cfgetospeed(&line), B115200);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
}

TEST(SerialPort, SecondOpenOfTheSameDeviceFailsUntilTheFirstCloses) {
    PtyPair pty;
    SerialPort first, second;
    ASSERT_TRUE(first.OpenDevice(pty.PeerPath(), 115200).ok());
    const Status refused = second.OpenDevice(pty.PeerPath(), 115200);
    EXPECT_EQ(refused.kind(), StatusKind::InUse);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_NE(refused.cause().find("in use"), std::string::npos) << refused.ToString();
    first.Close();
    const Status reopened = second.OpenDevice(pty.PeerPath(), 115200);
    EXPECT_TRUE(reopened.ok()) << reopened.ToString();
}

TEST(SerialPort, AnotherProcessCannotOpenAHeldPort) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(port.OpenDevice(pty.PeerPath(), 115200).ok());
    const pid_t child = fork();
    if (child == 0) {
        SerialPort intruder;
        _exit(intruder.OpenDevice(pty.PeerPath(), 115200).kind() == StatusKind::InUse ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the other process opened the port";
}

TEST(SerialPort, ReopenReleasesTheOldDeviceAndAFailedReopenLeavesItClosed) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(port.OpenDevice(pty.PeerPath(), 115200).ok());
    const Status reopened = port.OpenDevice(pty.PeerPath(), 115200);
    EXPECT_TRUE(reopened.ok()) << reopened.ToString();
    EXPECT_FALSE(port.OpenDevice("/dev/qvlink-no-such-device", 115200).ok());
    EXPECT_FALSE(port.IsOpen());
    SerialPort other;
    EXPECT_TRUE(other.OpenDevice(pty.PeerPath(), 115200).ok())
        << "the failed reopen kept the device";
}

TEST(SerialPort, UnsupportedBaudRateIsRefused) {
    PtyPair pty;
    SerialPort port;
    const Status refused = port.OpenDevice(pty.PeerPath(), 12345);
    EXPECT_EQ(refused.kind(), StatusKind::Invalid);
    EXPECT_NE(refused.cause().find("12345"), std::string::npos) << refused.ToString();
    EXPECT_FALSE(port.IsOpen());
}

// Something that opens but is no terminal: the port says so, and keeps nothing open.
TEST(SerialPort, ADeviceOrFileThatIsNoSerialLineIsForeign) {
    char file[] = "/tmp/qvlink-serial-XXXXXX";
    const int fd = mkstemp(file);
    ASSERT_GE(fd, 0);
    close(fd);
    for (const std::string& device : {std::string("/dev/null"), std::string(file)}) {
        SerialPort port;
        const Status refused = port.OpenDevice(device, 115200);
        EXPECT_EQ(refused.kind(), StatusKind::Foreign) << refused.ToString();
        EXPECT_NE(refused.cause().find("not a serial line"), std::string::npos)
            << refused.ToString();
        EXPECT_FALSE(port.IsOpen());
    }
    unlink(file);
}

// A user the device's owner does not let in is told so, with the usual remedy.
TEST(SerialPort, AUserWithoutAccessIsDeniedAndToldAboutTheGroup) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to become a user without access";
    PtyPair pty;
    ASSERT_EQ(chmod(pty.PeerPath().c_str(), 0600), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
        SerialPort port;
        const Status refused = port.OpenDevice(pty.PeerPath(), 115200);
        const bool told = refused.cause().find("dialout") != std::string::npos;
        _exit(refused.kind() == StatusKind::Denied && told ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
}

TEST(SerialPort, ReadTakesOnlyWhatIsQueuedAndLeavesTheBufferAloneWhenEmpty) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(port.OpenDevice(pty.PeerPath(), 115200).ok());
    Bytes buffer(100, 0xEE);
    EXPECT_EQ(port.Read(buffer.data(), 100), 0);
    EXPECT_EQ(buffer[0], 0xEE);

    pty.Send({1, 2, 3, 4, 5});
    while (port.QueuedBytes() < 5) ASSERT_NE(port.WaitForInput(50, StopWake{}), LineWait::Lost);
    EXPECT_EQ(port.Read(buffer.data(), 100), 5);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 6), (Bytes{1, 2, 3, 4, 5, 0xEE}));
    EXPECT_EQ(port.QueuedBytes(), 0);
}

TEST(SerialPort, ReadsOneByteAtATimeInOrder) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(port.OpenDevice(pty.PeerPath(), 115200).ok());
    pty.Send(
        {0x43, 0x00, 0xFF, 0x0D, 0x0A, 0x11, 0x13, 0x03});  // CR, LF, XON, XOFF, ^C pass untouched
    Bytes got;
    while (got.size() < 8) {
        std::uint8_t byte = 0;
        if (port.QueuedBytes() == 0) {
            ASSERT_NE(port.WaitForInput(50, StopWake{}), LineWait::Lost);
            continue;
        }
        ASSERT_EQ(port.Read(&byte, 1), 1);
        got.push_back(byte);
    }
    EXPECT_EQ(got, (Bytes{0x43, 0x00, 0xFF, 0x0D, 0x0A, 0x11, 0x13, 0x03}));
}

TEST(SerialPort, A4096ByteWriteArrivesWhole) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(port.OpenDevice(pty.PeerPath(), 115200).ok());
    Bytes chunk(4096);
    for (std::size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<std::uint8_t>(i * 7 + 1);
    EXPECT_EQ(port.Write(chunk.data(), 4096), 4096);
    EXPECT_EQ(pty.Receive(4096), chunk);
}

TEST(SerialPort, AWriteThePortTakesInPartsArrivesInOrder) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(port.OpenDevice(pty.PeerPath(), 115200).ok());
    // Far more than a pseudo-terminal buffers: the port takes it in parts as the reader drains.
    Bytes pattern(96 * 1024);
    for (std::size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<std::uint8_t>(i ^ (i >> 8) ^ (i >> 16));
    Bytes got;
    std::thread reader([&] {
        while (got.size() < pattern.size()) {
            const Bytes part = pty.Receive(1024);
            if (part.empty()) return;
            got.insert(got.end(), part.begin(), part.end());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_EQ(port.Write(pattern.data(), static_cast<std::uint32_t>(pattern.size())),
              static_cast<int>(pattern.size()));
    reader.join();
    EXPECT_TRUE(got == pattern) << "received " << got.size() << " bytes, not the pattern";
}

TEST(SerialPort, AClosedOtherSideIsALostLineNotSilence) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(port.OpenDevice(pty.PeerPath(), 115200).ok());
    const StopWake wake;
    EXPECT_EQ(port.WaitForInput(10, wake), LineWait::Quiet) << "a silent line is not lost";
    pty.CloseMaster();
    EXPECT_EQ(port.WaitForInput(30000, wake), LineWait::Lost);
    std::uint8_t byte = 0;
    EXPECT_EQ(port.Read(&byte, 1), 0);
    EXPECT_EQ(port.Write(&byte, 1), 0);
    EXPECT_EQ(port.WaitForInput(30000, wake), LineWait::Lost) << "and it stays lost";
}

TEST(SerialPort, ARaisedStopWakeEndsAWaitOnASilentLine) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(port.OpenDevice(pty.PeerPath(), 115200).ok());
    const StopWake wake;
    const auto start = std::chrono::steady_clock::now();
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        wake.Raise();
    });
    EXPECT_EQ(port.WaitForInput(30000, wake), LineWait::Quiet);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15))
        << "the wait slept its whole bound instead of waking";
    EXPECT_EQ(port.WaitForInput(30000, wake), LineWait::Quiet) << "raised until cleared";
    wake.Clear();
    EXPECT_EQ(port.WaitForInput(10, wake), LineWait::Quiet);
}

TEST(SerialPort, WaitForInputReturnsWhenAByteArrives) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(port.OpenDevice(pty.PeerPath(), 115200).ok());
    EXPECT_EQ(port.WaitForInput(10, StopWake{}), LineWait::Quiet);
    std::thread sender([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        pty.Send({0x15});
    });
    // The byte wakes the wait; the bound is only there so that a fault fails instead of hanging.
    EXPECT_EQ(port.WaitForInput(60000, StopWake{}), LineWait::Input);
    sender.join();
    EXPECT_EQ(port.QueuedBytes(), 1) << "the wait must not consume the byte";
}

TEST(SerialPort, WriteGivesUpWhenNobodyReadsTheOtherEnd) {
    PtyPair pty;
    SerialPort port;
    ASSERT_TRUE(port.OpenDevice(pty.PeerPath(), 115200).ok());
    const Bytes big(1 << 20, 0x55);
    EXPECT_EQ(port.Write(big.data(), static_cast<std::uint32_t>(big.size())), 0);
}

struct PortName {
    const char* name;
    int number;
};

class PortNames : public ::testing::TestWithParam<PortName> {};

TEST_P(PortNames, OnlyComWithADecimalNumberIsAPortNumber) {
    EXPECT_EQ(PortNumberOfName(GetParam().name), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Table, PortNames,
                         ::testing::Values(PortName{"COM1", 1}, PortName{"COM8", 8},
                                           PortName{"COM12", 12}, PortName{"COM", 0},
                                           PortName{"com1", 0}, PortName{"COMx", 0},
                                           PortName{"COM1x", 0}, PortName{"/dev/ttyUSB0", 0},
                                           PortName{"COM123", 0}));

TEST(PortNamesPosix, ComPortsMapToTtySUnlessTheEnvironmentNamesADevice) {
    unsetenv("QVLINK_COM3");
    EXPECT_EQ(DeviceForPortNumber(1), "/dev/ttyS0");
    EXPECT_EQ(DeviceForPortNumber(8), "/dev/ttyS7");
    EXPECT_EQ(DeviceForName("COM3"), "/dev/ttyS2");
    setenv("QVLINK_COM3", "/dev/ttyUSB0", 1);
    EXPECT_EQ(DeviceForName("COM3"), "/dev/ttyUSB0");
    EXPECT_EQ(DeviceForPortNumber(3), "/dev/ttyUSB0");
    unsetenv("QVLINK_COM3");
    EXPECT_EQ(DeviceForName("/dev/pts/7"), "/dev/pts/7");
}

}  // namespace
}  // namespace qvlink
