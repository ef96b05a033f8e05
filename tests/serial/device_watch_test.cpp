// The watch that wakes a port whose device went away: a path that appears wakes its waiter, a
// stop wakes it at once, and an adapter unplugged and plugged in again (a pseudo-terminal behind
// a link, removed and made again to a new one) can be opened again once its waiter wakes. Here
// no udev sends events: the watch looks once a second.
#include "device_watch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device_waiting.h"
#include "firmware_fixtures.h"
#include "pty_pair.h"
#include "serial_port.h"

namespace qvlink {
namespace {

namespace fs = std::filesystem;
using Wait = DeviceWatch::Wait;

using Waiting = test::DeviceWaiting;

TEST(DeviceWatch, APathThatAppearsWakesItsWaitersAndAStopWakesItsOwnAtOnce) {
    test::ScratchDir dir;
    DeviceWatch watch;
    const fs::path device = dir.Path() / "ttyUSB7";
    Waiting coming(watch, device);
    Waiting stopped(watch, dir.Path() / "never");
    EXPECT_TRUE(coming.StillWaitsAfter(1500)) << "nothing there: no wake after a look";
    std::ofstream(device).put('x');
    EXPECT_EQ(coming.Outcome(), Wait::Back);
    EXPECT_TRUE(stopped.StillWaitsAfter(0)) << "another path's waiter sleeps on";
    stopped.Stop();
    EXPECT_EQ(stopped.Outcome(), Wait::Stopped);
    EXPECT_FALSE(watch.FollowsEvents()) << "no udev runs here: the looks";

    // A stop raised before the wait: it returns at once.
    Waiting late(watch, dir.Path() / "never");
    late.Stop();
    EXPECT_EQ(late.Outcome(), Wait::Stopped);
}

TEST(DeviceWatch, AnAdapterPluggedInAgainUnderItsLinkCanBeOpenedOnceItsWaiterWakes) {
    test::ScratchDir dir;
    const fs::path slot = dir.Path() / "pci-0000:00:14.0-usb-0:1.4:1.0-port0";
    auto first = std::make_unique<test::PtyPair>();
    fs::create_symlink(first->PeerPath(), slot);
    {
        SerialPort port;
        ASSERT_TRUE(port.OpenDevice(slot.string(), 115200).ok());
    }
    // Unplugged: the link goes, then the device.
    fs::remove(slot);
    first.reset();

    DeviceWatch watch;
    Waiting waiting(watch, slot);
    EXPECT_TRUE(waiting.StillWaitsAfter(1200));
    test::PtyPair second;
    fs::create_symlink(second.PeerPath(), slot);
    ASSERT_EQ(waiting.Outcome(), Wait::Back);
    SerialPort port;
    const Status opened = port.OpenDevice(slot.string(), 115200);
    ASSERT_TRUE(opened.ok()) << opened.ToString();
    const std::uint8_t byte = 0x43;
    EXPECT_EQ(port.Write(&byte, 1), 1);
    EXPECT_EQ(second.Receive(1), std::vector<std::uint8_t>{0x43}) << "the new device, not the old";
}

}  // namespace
}  // namespace qvlink
