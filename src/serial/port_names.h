// How the operator's port names reach devices. COM1..COM8 are the dialog's port choices; on
// Linux they map to /dev/ttyS0../dev/ttyS7 unless QVLINK_COM<n> names another device.
#pragma once

#include <cstdint>
#include <string>

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

}  // namespace qvlink
