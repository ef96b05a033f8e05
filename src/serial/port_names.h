// How the operator's port names reach devices. COM1..COM8 are the dialog's port choices; on
// Linux they map to /dev/ttyS0../dev/ttyS7 unless QVLINK_COM<n> names another device. A rack
// names its ports by the slot an adapter is plugged into: on Linux a /dev/serial/by-path link,
// on Windows the adapter's location path ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#USB(4)"),
// which leads to the COM port plugged in there at the moment it is opened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "status.h"

namespace qvlink {

// The device that port number n (1 = COM1) opens. Any value is named without overflow; only
// the dialog's eight exist as COM ports.
std::string DeviceForPortNumber(std::int64_t portNumber);

// The device for a name the command line gives: "COM<n>" as above, anything else as it is
// (on Windows, prefixed with \\.\ so that every COM number opens).
std::string DeviceForName(const std::string& name);

// `device` as the operator names it: without the \\.\ prefix that DeviceForName puts before a
// name on Windows ("\\.\COM12" -> "COM12"); elsewhere as it is. Nothing above the serial
// layer needs to know the prefix.
std::string DisplayDevice(const std::string& device);

// n when `name` is "COM<n>" with n from 1 to 99, else 0.
int PortNumberOfName(const std::string& name);

// Where Linux names a serial adapter by the slot it is plugged into: the name stays with the
// slot whatever kernel name the adapter gets.
inline constexpr const char* BY_PATH_FOLDER = "/dev/serial/by-path/";

// The names a station's ports are shown and recorded by, one for each of `ports` (as named):
// a by-path name (in /dev/serial/by-path, or any folder of that name that holds such links)
// without its folder and its controller's part ("usb-0:1.4:1.0-port0" for
// ".../pci-0000:00:14.0-usb-0:1.4:1.0-port0"); a location path without the controller's parts
// before its USB root ("USBROOT(0)#USB(1)#USB(4)" for "PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(1)#
// USB(4)"); any other name as it is. Unique among the
// ports: where two would read the same, both keep more (without the folder only, else whole).
std::vector<std::string> SlotNames(const std::vector<std::string>& ports);

// Whether `name` is written as a Windows location path: parts such as "PCI(1400)" or
// "USBROOT(0)" (letters, digits and _ before brackets holding no bracket or #), joined by #.
// Without regard to case, as Windows compares names; on any system, as it is only text.
bool IsLocationPath(const std::string& name);

// Whether the location `name` (a whole location path, or its end from a part on, such as a
// slot name "USBROOT(0)#USB(1)#USB(4)") names the device at `locationPath`. Without case.
bool LocationMatches(const std::string& name, const std::string& locationPath);

// The device `device` leads to now: through symbolic links (a by-path link to /dev/ttyUSB7); on
// Windows, a location path to the COM port plugged in there (\\.\COM7). As it is where it leads
// nowhere.
std::string ResolveDevice(const std::string& device);

// The device to open for `device` (DeviceForName's result): on Windows a location path leads
// to the one COM port plugged in there now, NotFound when none is and Usage when more than one
// is (the name must say more); every other name as it is, for the system to follow.
[[nodiscard]] Status DeviceToOpen(const std::string& device, std::string* target);

}  // namespace qvlink
