#include "line_opener.h"

#include "serial_port.h"

namespace qvlink {

Status OpenSerialPort(const std::string& device, std::unique_ptr<SerialLine>* line) {
    auto port = std::make_unique<SerialPort>();
    if (Status opened = port->OpenDevice(device, LINK_BAUD); !opened.ok()) return opened;
    port->SetBinaryMode(1);
    *line = std::move(port);
    return Status::Ok();
}

}  // namespace qvlink
