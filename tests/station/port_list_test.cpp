#include "port_list.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "pty_pair.h"

namespace qvlink::station {
namespace {

struct ListCase {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<std::string> ports;  // empty: refused
    const char* error;
};

class PortLists : public ::testing::TestWithParam<ListCase> {};

TEST_P(PortLists, ExpandOrSayWhatIsWrong) {
    unsetenv("QVLINK_COM1");
    std::vector<std::string> ports;
    const Status status = ExpandPortArguments(GetParam().arguments, &ports);
    if (GetParam().ports.empty()) {
        EXPECT_FALSE(status.ok());
        EXPECT_EQ(status.message(), GetParam().error);
    } else {
        EXPECT_TRUE(status.ok()) << status.ToString();
        EXPECT_EQ(ports, GetParam().ports);
    }
}

// "/dev/qv1,/dev/qv2,...": `count` ports by their paths.
std::string DevicePaths(int count) {
    std::string list;
    for (int i = 1; i <= count; ++i) list += (i > 1 ? ",/dev/qv" : "/dev/qv") + std::to_string(i);
    return list;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PortLists,
    ::testing::Values(
        ListCase{"OneRange", {"COM3-COM3"}, {"COM3"}, ""},
        ListCase{"ListsRangesAndRepeats",
                 {"COM2,COM4-COM5", "/dev/pts/9"},
                 {"COM2", "COM4", "COM5", "/dev/pts/9"},
                 ""},
        ListCase{"Backwards", {"COM3-COM1"}, {}, "the range COM3-COM1 runs backwards"},
        ListCase{"Empty", {"COM1,,COM2"}, {}, "an empty port name in the list of ports"},
        ListCase{"SpacesAroundNames",
                 {" COM1 ,\tCOM3-COM4 ", "/dev/pts/9 "},
                 {"COM1", "COM3", "COM4", "/dev/pts/9"},
                 ""},
        ListCase{"OnlySpaces", {"COM1, \t,COM2"}, {}, "an empty port name in the list of ports"},
        ListCase{"Twice", {"COM1", "COM2,COM1"}, {}, "COM1 is named more than once"},
        ListCase{"TwoNamesOfOnePort", {"COM1,COM01"}, {}, "COM1 and COM01 are the same device"},
        ListCase{"InARange", {"COM02", "COM1-COM3"}, {}, "COM02 and COM2 are the same device"},
        ListCase{"TooMany", {"COM1-COM99", DevicePaths(30)}, {}, "at most 128 ports, not 129"}),
    [](const auto& info) { return std::string(info.param.name); });

// Both station windows read their port editor's line with this one rule.
TEST(PortList, AnEditedLineIsSplitAtCommasWithSpacesAndEmptyItemsLeftOut) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {}},
        {" ,\t,, ", {}},
        {"COM1", {"COM1"}},
        {" COM1 , COM3-COM4,,\t/dev/ttyUSB0\t, ", {"COM1", "COM3-COM4", "/dev/ttyUSB0"}},
        {"/dev/serial/by-id/usb-a b", {"/dev/serial/by-id/usb-a b"}},
    };
    for (const auto& [line, names] : cases) EXPECT_EQ(SplitPortList(line), names) << line;
}

TEST(PortList, APortAndTheDeviceItMapsToAreOneDevice) {
    test::PtyPair pty;
    setenv("QVLINK_COM1", pty.PeerPath().c_str(), 1);
    std::vector<std::string> ports;
    const Status status = ExpandPortArguments({"COM1," + pty.PeerPath()}, &ports);
    unsetenv("QVLINK_COM1");
    EXPECT_EQ(status.message(), "COM1 and " + pty.PeerPath() + " are the same device");
}

}  // namespace
}  // namespace qvlink::station
