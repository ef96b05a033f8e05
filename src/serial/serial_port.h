// The serial port to the receiver: opened exclusively at the given baud rate with 8 data bits,
// no parity, one stop bit, no flow control and raw binary transfer. One instance is owned by
// the dialog (or the flasher); every operation on a closed port returns 0 and touches nothing.
// Open, SetBinaryMode and Close belong to one thread, the line operations to the worker run.
#pragma once

#include <string>

#include "serial_line.h"
#include "status.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace qvlink {

class SerialPort final : public SerialLine {
  public:
    SerialPort() = default;
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Opens port `portNumber` (1 opens COM1) at `baud`. Closes first if open. 1 on success.
    int Open(int portNumber, int baud);
    // Opens a device by name (a path here, a COM name on Windows), closing first if open. On
    // failure the port is closed and the status's kind says why (NotFound, InUse, Denied,
    // Foreign for a device that is no serial line, Invalid for a baud rate the port cannot
    // take); its message names the device and its cause says which step failed, in words.
    Status OpenDevice(const std::string& device, int baud);
    // Turns binary (untranslated) transfer on or off by the lowest bit of `flag`; 1 if applied.
    int SetBinaryMode(int flag);
    void Close();
    bool IsOpen() const { return isOpen != 0; }

    int QueuedBytes() override;
    int Read(std::uint8_t* buffer, std::uint32_t maxCount) override;
    int Write(const std::uint8_t* bytes, std::uint32_t count) override;
    LineWait WaitForInput(int timeoutMs, const StopWake& wake) override;

  private:
#ifdef _WIN32
    OVERLAPPED readRequest{};
    OVERLAPPED writeRequest{};
    HANDLE handle = nullptr;
#else
    int handle = -1;
#endif
    int isOpen = 0;
    bool lost = false;  // the device reported a hang-up or an error that no retry mends
};

}  // namespace qvlink
