// The device classes a serial port belongs to on Windows, as constants of this library's own:
// the system headers define them only in the one file that includes <initguid.h> first, and
// the values are fixed by the system.
#pragma once

#include <windows.h>

namespace qvlink::device_class {

// Devices that offer the COM port interface (every serial port driver that announces itself).
inline constexpr GUID COM_PORT_INTERFACE = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};
// The Ports (COM and LPT) device setup class; also the interface class of the serial
// enumerator's devices.
inline constexpr GUID PORTS = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

}  // namespace qvlink::device_class
