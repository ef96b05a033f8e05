// The names a station's ports are shown and recorded by: a by-path name or a Windows location
// path made short, unique among the station's ports, and every other name as it is; and which
// port a location name leads to among the system's.
#include "port_names.h"

#include <gtest/gtest.h>

#include "port_locations.h"

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
        SlotCase{"LocationsWithoutTheirControllers",
                 {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(4)",
                  "ACPI(_SB_)#ACPI(PCI0)#ACPI(XHC_)#USBROOT(0)#USB(2)#USBMI(0)",
                  "pciroot(0)#pci(1400)#usbroot(0)#usb(3)", "COM7"},
                 {"USBROOT(0)#USB(1)#USB(4)", "USBROOT(0)#USB(2)#USBMI(0)", "usbroot(0)#usb(3)",
                  "COM7"}},
        // No USB root, or nothing before it, or not a location at all: as they are.
        SlotCase{"LocationsWithNothingToDrop",
                 {"ACPI(_SB_)#ACPI(PCI0)#ACPI(UAR1)", "USBROOT(0)#USB(5)",
                  "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1", "PCI(1400)#XUSBROOT(0)#USB(1)"},
                 {"ACPI(_SB_)#ACPI(PCI0)#ACPI(UAR1)", "USBROOT(0)#USB(5)",
                  "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1", "PCI(1400)#XUSBROOT(0)#USB(1)"}},
        SlotCase{
            "TheSameHubLayoutBehindTwoControllersKeepsThem",
            {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)", "PCIROOT(0)#PCI(0300)#USBROOT(0)#USB(1)",
             "USBROOT(0)#USB(2)", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"},
            {"PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)", "PCIROOT(0)#PCI(0300)#USBROOT(0)#USB(1)",
             "USBROOT(0)#USB(2)", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"}},
        SlotCase{"None", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A rack of two controllers, one multi-port adapter whose ports share its location, and a
// built-in port with no location.
const std::vector<PortLocation> RACK = {
    {"COM7", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(4)", "Port_#0004.Hub_#0001"},
    {"COM8", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(14)", ""},
    {"COM9", "PCIROOT(0)#PCI(0300)#USBROOT(0)#USB(1)#USB(4)", ""},
    {"COM11", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)", ""},
    {"COM12", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)", ""},
    {"COM1", "", "on the board"},
};

struct LocationCase {
    const char* name;
    std::string location;
    StatusKind kind;
    std::string port;  // when found
};

class PortAtLocationTest : public ::testing::TestWithParam<LocationCase> {};

TEST_P(PortAtLocationTest, LeadsToTheOnePortPluggedInThere) {
    std::string port = "untouched";
    const Status found = PortAtLocation(RACK, GetParam().location, &port);
    EXPECT_EQ(found.kind(), GetParam().kind) << found.ToString();
    EXPECT_EQ(port, found.ok() ? GetParam().port : "untouched");
    if (!found.ok()) {
        EXPECT_EQ(found.message(), GetParam().location);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rack, PortAtLocationTest,
    ::testing::Values(
        LocationCase{"WholePath", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(4)", StatusKind::Ok,
                     "COM7"},
        LocationCase{"WithoutCase", "pciroot(0)#pci(1400)#usbroot(0)#usb(1)#usb(14)",
                     StatusKind::Ok, "COM8"},
        LocationCase{"SlotNameOfTheOtherController", "PCI(0300)#USBROOT(0)#USB(1)#USB(4)",
                     StatusKind::Ok, "COM9"},
        // Two controllers have this end: the name must say which.
        LocationCase{"EndOfTwoPaths", "USBROOT(0)#USB(1)#USB(4)", StatusKind::Usage, ""},
        LocationCase{"MultiPortAdapter", "USBROOT(0)#USB(2)", StatusKind::Usage, ""},
        // Only whole parts match: USB(4) is not the end of USB(14), nor B(4) of USB(4).
        LocationCase{"PartOfAPart", "B(1)#USB(4)", StatusKind::NotFound, ""},
        LocationCase{"NothingThere", "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(5)",
                     StatusKind::NotFound, ""},
        LocationCase{"NoLocation", "COM7", StatusKind::NotFound, ""},
        LocationCase{"Malformed", "USBROOT(0)#USB(1)#USB(4", StatusKind::NotFound, ""},
        LocationCase{"EmptyPart", "USBROOT(0)##USB(4)", StatusKind::NotFound, ""},
        LocationCase{"Empty", "", StatusKind::NotFound, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qvlink
