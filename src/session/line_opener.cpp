#include "line_opener.h"

#include "serial_port.h"

namespace qvlink {

std::unique_ptr<SerialLine> OpenSerialPort(const std::string& device, std::string& why) {
    auto port = std::make_unique<SerialPort>();
    if (port->OpenDevice(device, LINK_BAUD) == 0) {
        why = port->LastOpenError();
        return nullptr;
    }
    port->SetBinaryMode(1);
    return port;
}

}  // namespace qvlink
