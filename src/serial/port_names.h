// How the operator's port names reach devices. COM1..COM8 are the dialog's port choices; on
// Linux they map to /dev/ttyS0../dev/ttyS7 unless QVLINK_COM<n> names another device.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
// ".../pci-0000:00:14.0-usb-0:1.4:1.0-port0"); any other name as it is. Unique among the
// ports: where two would read the same, both keep more (without the folder only, else whole).
std::vector<std::string> SlotNames(const std::vector<std::string>& ports);

// The device `device` leads to now: through symbolic links (a by-path link to /dev/ttyUSB7);
// as it is where it leads nowhere, and on Windows.
std::string ResolveDevice(const std::string& device);

}  // namespace qvlink
