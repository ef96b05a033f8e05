// The platform-independent part of SerialPort; the platform files hold the rest.
#include "serial_port.h"

#include "port_names.h"

namespace qvlink {

SerialPort::~SerialPort() {
    Close();
}

int SerialPort::Open(int portNumber, int baud) {
    return OpenDevice(DeviceForPortNumber(portNumber), baud).ok() ? 1 : 0;
}

}  // namespace qvlink
