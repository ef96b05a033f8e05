#include "line_opener.h"

#include "port_names.h"
#include "serial_port.h"

namespace qvlink {

Status OpenSerialPort(const std::string& device, std::unique_ptr<SerialLine>* line) {
    // A slot's location leads to the port plugged in there now.
    std::string target;
    if (Status found = DeviceToOpen(device, &target); !found.ok()) return found;
    auto port = std::make_unique<SerialPort>();
    if (Status opened = port->OpenDevice(target, LINK_BAUD); !opened.ok()) return opened;
    // A port left translating bytes would garble the image: a port that cannot be put in
    // binary mode is one that cannot be used.
    if (port->SetBinaryMode(1) != 1)
        return Status::Error(StatusKind::Io, device, "binary mode: the port refused it");
    *line = std::move(port);
    return Status::Ok();
}

}  // namespace qvlink
