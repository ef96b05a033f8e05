// The serial port on Windows: the device opened for overlapped I/O with exclusive sharing,
// reads that hand back only what has arrived, and writes bounded to 5000 ms. A read or write
// that is given up is cancelled and waited for, so nothing touches the caller's buffer after the
// call has returned. The bounded wait for incoming bytes looks at the queue every millisecond,
// asleep in between, for at most 50 ms: an event wait (WaitCommEvent) costs a helper thread that
// polls hard under Wine, where half a core went on an idle wait. A device that has been removed
// makes the queue query fail: the line is then lost for good. What was queued before is gone
// with the device then (Windows drops a removed adapter's queue; under Wine the Linux side
// flushes it when it hangs up), so a wait reports Input only while the query still counts bytes.
// clang-format off
#include <windows.h>
#include <mmsystem.h>  // needs <windows.h> first
// clang-format on

#include <string>

#include "os_error.h"
#include "serial_port.h"
#include "wide_text.h"

namespace qvlink {
namespace {

constexpr DWORD READ_TIMEOUT_MS = 2000;
constexpr DWORD WRITE_TIMEOUT_MS = 5000;
constexpr DWORD QUEUE_SIZE = 10000;
constexpr UINT TIMER_PERIOD_MS = 1;  // while a port is open, Sleep(1) sleeps one millisecond
constexpr ULONGLONG LONGEST_WAIT_MS = 50;

// Errors of a comm call on a handle whose device is gone. A removed USB adapter fails its
// handle's calls with ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND, ERROR_GEN_FAILURE or
// ERROR_DEVICE_REMOVED, depending on its driver. Under Wine a COM port is a Linux device: once
// that hangs up (a pulled adapter, a pseudo-terminal whose other side closed) every comm call
// fails with ERROR_NOT_READY and a read ends with ERROR_BROKEN_PIPE, for good. Not among them:
// ERROR_OPERATION_ABORTED, which a request cancelled here or by a line error also ends with.
bool MeansLineLost(DWORD error) {
    return error == ERROR_DEVICE_REMOVED || error == ERROR_BAD_COMMAND ||
           error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_HANDLE ||
           error == ERROR_GEN_FAILURE || error == ERROR_DEV_NOT_EXIST ||
           error == ERROR_FILE_NOT_FOUND || error == ERROR_NOT_READY || error == ERROR_BROKEN_PIPE;
}

// One place that turns a failed open's Windows error into its kind and the operator's words.
Status OpenError(const std::string& device, const char* step, DWORD error) {
    // A comm device is opened exclusively: one that another program holds refuses the open
    // with ERROR_ACCESS_DENIED.
    const StatusKind kind =
        error == ERROR_ACCESS_DENIED ? StatusKind::InUse : KindOfLastError(error);
    std::string cause = std::string(step) + ": " + LastErrorText(error);
    if (kind == StatusKind::InUse)
        cause += " (the port is in use by another program)";
    else if (kind == StatusKind::NotFound)
        cause += " (no such port)";
    else if (kind == StatusKind::Foreign)
        cause += " (not a serial line)";
    return Status::Error(kind, device, std::move(cause));
}

void CloseIfSet(HANDLE& handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = nullptr;
}

// Finishes an overlapped request: waits up to `timeoutMs` for it, cancels it when it is not
// done by then, and always waits until the system has let go of the buffer. Returns the bytes
// the request moved, also when it failed or was given up (a read has put them in the buffer by
// then); `error` is why it failed, ERROR_SUCCESS when it did not.
DWORD Finish(HANDLE port, OVERLAPPED& request, DWORD timeoutMs, DWORD& error) {
    DWORD moved = 0;
    error = ERROR_SUCCESS;
    if (WaitForSingleObject(request.hEvent, timeoutMs) != WAIT_OBJECT_0) {
        CancelIoEx(port, &request);
        if (!GetOverlappedResult(port, &request, &moved, TRUE)) error = GetLastError();
        return moved;
    }
    if (!GetOverlappedResult(port, &request, &moved, FALSE)) error = GetLastError();
    return moved;
}

}  // namespace

Status SerialPort::OpenDevice(const std::string& device, int baud) {
    if (isOpen) Close();
    HANDLE opened =
        CreateFileW(WideFromUtf8(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return OpenError(device, "open", GetLastError());
    handle = opened;
    readRequest = {};
    writeRequest = {};

    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;  // a read returns at once with what has arrived
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = WRITE_TIMEOUT_MS;
    SetCommTimeouts(handle, &timeouts);

    readRequest.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    writeRequest.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);

    DWORD error = GetLastError();
    const bool eventsMade = readRequest.hEvent != nullptr && writeRequest.hEvent != nullptr;
    DCB line{};
    GetCommState(handle, &line);
    line.DCBlength = sizeof(DCB);
    line.BaudRate = static_cast<DWORD>(baud);
    line.ByteSize = 8;
    bool configured = false;
    if (eventsMade) {
        configured =
            SetCommState(handle, &line) != 0 && SetupComm(handle, QUEUE_SIZE, QUEUE_SIZE) != 0;
        error = GetLastError();
    }
    if (configured) {
        timeBeginPeriod(TIMER_PERIOD_MS);
        isOpen = 1;
        return Status::Ok();
    }
    CloseIfSet(readRequest.hEvent);
    CloseIfSet(writeRequest.hEvent);
    CloseIfSet(handle);
    return OpenError(device, "configure", error);
}

int SerialPort::SetBinaryMode(int flag) {
    if (!isOpen || handle == nullptr) return 0;
    DCB line{};
    line.DCBlength = sizeof(DCB);
    if (!GetCommState(handle, &line)) return 0;
    line.fBinary = flag & 1;
    return SetCommState(handle, &line) ? 1 : 0;
}

void SerialPort::Close() {
    if (isOpen) {
        CloseIfSet(handle);
        timeEndPeriod(TIMER_PERIOD_MS);
    }
    CloseIfSet(readRequest.hEvent);
    CloseIfSet(writeRequest.hEvent);
    isOpen = 0;
    handle = nullptr;
    lost = false;
}

int SerialPort::QueuedBytes() {
    if (!isOpen || handle == nullptr) return 0;
    DWORD errors = 0;
    COMSTAT status{};
    // Also clears overrun, framing, parity and break.
    if (!ClearCommError(handle, &errors, &status)) {
        if (MeansLineLost(GetLastError())) lost = true;
        return 0;
    }
    return static_cast<int>(status.cbInQue);
}

int SerialPort::Read(std::uint8_t* buffer, std::uint32_t maxCount) {
    const int queued = QueuedBytes();
    if (queued <= 0) return 0;
    const DWORD wanted =
        maxCount < static_cast<DWORD>(queued) ? maxCount : static_cast<DWORD>(queued);
    DWORD got = 0;
    if (ReadFile(handle, buffer, wanted, &got, &readRequest)) return static_cast<int>(got);
    DWORD error = GetLastError();
    got = error == ERROR_IO_PENDING ? Finish(handle, readRequest, READ_TIMEOUT_MS, error) : 0;
    if (MeansLineLost(error)) lost = true;
    return static_cast<int>(got);
}

int SerialPort::Write(const std::uint8_t* bytes, std::uint32_t count) {
    if (!isOpen || handle == nullptr) return 0;
    DWORD written = 0;
    if (!WriteFile(handle, bytes, count, &written, &writeRequest)) {
        DWORD error = GetLastError();
        written =
            error == ERROR_IO_PENDING ? Finish(handle, writeRequest, WRITE_TIMEOUT_MS, error) : 0;
        if (MeansLineLost(error)) lost = true;
    }
    // A write that timed out may report fewer bytes than asked for: that is a failure too.
    return written == count ? static_cast<int>(count) : 0;
}

LineWait SerialPort::WaitForInput(int timeoutMs, const StopWake&) {
    if (!isOpen || handle == nullptr) return LineWait::Lost;
    const ULONGLONG bound = static_cast<ULONGLONG>(timeoutMs) < LONGEST_WAIT_MS
                                ? static_cast<ULONGLONG>(timeoutMs)
                                : LONGEST_WAIT_MS;
    const ULONGLONG deadline = GetTickCount64() + bound;
    while (QueuedBytes() == 0) {
        if (lost) return LineWait::Lost;
        if (GetTickCount64() >= deadline) return LineWait::Quiet;
        Sleep(1);
    }
    return LineWait::Input;
}

}  // namespace qvlink
