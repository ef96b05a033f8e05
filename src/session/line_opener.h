// How a session gets the line to a receiver. The product opens the serial port; tests hand in a
// pseudo-terminal or an in-memory line, and the command line may wrap the port in a transcript.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "serial_line.h"

namespace qvlink {

// Every receiver talks at this rate.
inline constexpr int LINK_BAUD = 115200;

// Opens `device` and returns the line, or nullptr with `why` saying in words what went wrong.
using LineOpener =
    std::function<std::unique_ptr<SerialLine>(const std::string& device, std::string& why)>;

// The product's opener: the serial port `device`, exclusively, at LINK_BAUD in binary mode.
std::unique_ptr<SerialLine> OpenSerialPort(const std::string& device, std::string& why);

}  // namespace qvlink
