// How a session gets the line to a receiver. The product opens the serial port; tests hand in a
// pseudo-terminal or an in-memory line, and the command line may wrap the port in a transcript.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "serial_line.h"
#include "status.h"

namespace qvlink {

// Every receiver talks at this rate.
inline constexpr int LINK_BAUD = 115200;

// Opens `device` and puts the line in `*line`. On failure `*line` is left empty and the status
// says why: its kind (NotFound, InUse, Denied, Foreign...) and in words which device failed and
// how.
using LineOpener =
    std::function<Status(const std::string& device, std::unique_ptr<SerialLine>* line)>;

// The product's opener: the serial port `device`, exclusively, at LINK_BAUD in binary mode; a
// port that refuses binary mode is not opened (Io).
Status OpenSerialPort(const std::string& device, std::unique_ptr<SerialLine>* line);

}  // namespace qvlink
