// The names a station's ports are shown and recorded by: a by-path name made short, unique among
// the station's ports, and every other name as it is.
#include "port_names.h"

#include <gtest/gtest.h>

namespace qvlink {
namespace {

struct SlotCase {
    const char* name;
    std::vector<std::string> ports;
    std::vector<std::string> slots;
};

class SlotNamesTest : public ::testing::TestWithParam<SlotCase> {};

TEST_P(SlotNamesTest, AreShortAndUnique) {
    EXPECT_EQ(SlotNames(GetParam().ports), GetParam().slots);
}

const std::string BY_PATH = BY_PATH_FOLDER;

INSTANTIATE_TEST_SUITE_P(
    Names, SlotNamesTest,
    ::testing::Values(
        SlotCase{"OthersAsTheyAre",
                 {"COM3", "/dev/ttyUSB7", "/dev/serial/by-id/usb-Adapter_A1-if00-port0",
                  "/dev/serial/by-path"},
                 {"COM3", "/dev/ttyUSB7", "/dev/serial/by-id/usb-Adapter_A1-if00-port0",
                  "/dev/serial/by-path"}},
        SlotCase{
            "ControllerAndFolderDropped",
            {BY_PATH + "pci-0000:00:14.0-usb-0:1.4.2:1.0-port0",
             BY_PATH + "pci-0000:00:14.0-usbv2-0:1.4.3:1.0-port0",
             BY_PATH + "platform-xhci-hcd.0.auto-usb-0:1.1:1.0-port0", "COM1"},
            {"usb-0:1.4.2:1.0-port0", "usbv2-0:1.4.3:1.0-port0", "usb-0:1.1:1.0-port0", "COM1"}},
        SlotCase{"NoBusPathKeepsTheWholeLeaf",
                 {BY_PATH + "pci-0000:00:16.3", BY_PATH + "acpi-PNP0501:00"},
                 {"pci-0000:00:16.3", "acpi-PNP0501:00"}},
        // The same hub layout behind two controllers: both keep their controllers.
        SlotCase{"TwoControllersKeepTheirNames",
                 {BY_PATH + "pci-0000:00:14.0-usb-0:1.1:1.0-port0",
                  BY_PATH + "pci-0000:03:00.0-usb-0:1.1:1.0-port0",
                  BY_PATH + "pci-0000:00:14.0-usb-0:1.2:1.0-port0"},
                 {"pci-0000:00:14.0-usb-0:1.1:1.0-port0", "pci-0000:03:00.0-usb-0:1.1:1.0-port0",
                  "usb-0:1.2:1.0-port0"}},
        // A short name that another port goes by already: the by-path one says more.
        SlotCase{"ClashWithAPlainName",
                 {"usb-0:1.1:1.0-port0", BY_PATH + "pci-0000:00:14.0-usb-0:1.1:1.0-port0"},
                 {"usb-0:1.1:1.0-port0", "pci-0000:00:14.0-usb-0:1.1:1.0-port0"}},
        SlotCase{"ClashWithAPlainLeafKeepsTheWholePath",
                 {"pci-0000:00:14.0-usb-0:1.1:1.0-port0", "usb-0:1.1:1.0-port0",
                  BY_PATH + "pci-0000:00:14.0-usb-0:1.1:1.0-port0"},
                 {"pci-0000:00:14.0-usb-0:1.1:1.0-port0", "usb-0:1.1:1.0-port0",
                  BY_PATH + "pci-0000:00:14.0-usb-0:1.1:1.0-port0"}},
        SlotCase{"None", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qvlink
