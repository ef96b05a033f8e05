// The serial port on POSIX systems: termios for the line, FIONREAD for the queue, poll() for
// the bounded waits. The descriptor is non-blocking; Write waits for room with poll(). A
// hang-up, or a read or write that fails because the device is gone, marks the line lost for
// good: every later wait says so at once instead of waking on the dead descriptor.
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "os_error.h"
#include "serial_port.h"

namespace qvlink {
namespace {

constexpr int WRITE_TIMEOUT_MS = 5000;
constexpr int UNWATCHED_WAIT_MS = 50;  // the longest wait when there is no stop wake to watch

// Errors after which the device will never answer again: removed, or the other side closed.
bool MeansLineLost(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

speed_t SpeedFor(int baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 921600:
            return B921600;
        default:
            return B0;
    }
}

// One place that turns a failed open's errno into its kind and the operator's words.
Status OpenError(const std::string& device, const char* step, int error) {
    const StatusKind kind = KindOfErrno(error);
    std::string cause = std::string(step) + ": " + ErrnoText(error);
    if (kind == StatusKind::Denied)
        cause += " (the user may need to be in the group that owns the device, often 'dialout')";
    else if (kind == StatusKind::InUse)
        cause += " (the port is in use by another program)";
    else if (kind == StatusKind::NotFound)
        cause += " (no such device; QVLINK_COM<n> can name the device for COM<n>)";
    else if (kind == StatusKind::Foreign)
        cause += " (not a serial line)";
    return Status::Error(kind, device, std::move(cause));
}

// 8 data bits, no parity, one stop bit, no flow control, no translation, echo or signals, at
// `speed` (never B0). False with errno set when the device refuses.
bool ApplyLineSettings(int fd, speed_t speed) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) return false;
    cfmakeraw(&settings);
    settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_iflag |= IGNBRK | IGNPAR;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    return cfsetispeed(&settings, speed) == 0 && cfsetospeed(&settings, speed) == 0 &&
           tcsetattr(fd, TCSANOW, &settings) == 0;
}

// USB adapters hold received bytes back for up to 16 ms unless asked for low latency. Devices
// without the request (pseudo-terminals) simply keep their timing.
void RequestLowLatency(int fd) {
    serial_struct info{};
    if (ioctl(fd, TIOCGSERIAL, &info) != 0) return;
    info.flags |= ASYNC_LOW_LATENCY;
    (void)ioctl(fd, TIOCSSERIAL, &info);
}

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

Status SerialPort::OpenDevice(const std::string& device, int baud) {
    Close();
    const speed_t speed = SpeedFor(baud);
    if (speed == B0) {
        return Status::Error(StatusKind::Invalid, device,
                             "configure: " + std::to_string(baud) + " is not a baud rate it takes");
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return OpenError(device, "open", errno);
    // TIOCEXCL keeps other users out; the advisory lock also keeps out root and this process.
    const char* step = "lock";
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        step = "configure";
        if (ioctl(fd, TIOCEXCL) == 0 && ApplyLineSettings(fd, speed)) {
            RequestLowLatency(fd);
            handle = fd;
            isOpen = 1;
            return Status::Ok();
        }
    }
    const int error = errno;
    ::close(fd);
    return OpenError(device, step, error);
}

int SerialPort::SetBinaryMode(int flag) {
    if (!isOpen || handle < 0) return 0;
    termios settings{};
    if (tcgetattr(handle, &settings) != 0) return 0;
    if (flag & 1) {
        settings.c_iflag &= ~(ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON);
        settings.c_oflag &= ~OPOST;
        settings.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
    } else {
        settings.c_oflag |= OPOST;
    }
    return tcsetattr(handle, TCSANOW, &settings) == 0 ? 1 : 0;
}

void SerialPort::Close() {
    if (isOpen) ::close(handle);
    isOpen = 0;
    handle = -1;
    lost = false;
}

int SerialPort::QueuedBytes() {
    if (!isOpen || handle < 0) return 0;
    int queued = 0;
    return ioctl(handle, FIONREAD, &queued) == 0 ? queued : 0;
}

int SerialPort::Read(std::uint8_t* buffer, std::uint32_t maxCount) {
    if (!isOpen || handle < 0 || maxCount == 0) return 0;
    // The line is raw with no minimum count: read hands back what has arrived, up to maxCount,
    // and 0 (leaving the buffer alone) when nothing has. A hung-up device fails with EIO.
    const ssize_t got = ::read(handle, buffer, maxCount);
    if (got > 0) return static_cast<int>(got);
    if (got < 0 && MeansLineLost(errno)) lost = true;
    return 0;
}

int SerialPort::Write(const std::uint8_t* bytes, std::uint32_t count) {
    if (!isOpen || handle < 0) return 0;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(WRITE_TIMEOUT_MS);
    std::uint32_t written = 0;
    while (written < count) {
        const ssize_t done = ::write(handle, bytes + written, count - written);
        if (done > 0) {
            written += static_cast<std::uint32_t>(done);
            continue;
        }
        if (done < 0 && errno != EAGAIN && errno != EINTR) {
            if (MeansLineLost(errno)) lost = true;
            return 0;
        }
        pollfd room{handle, POLLOUT, 0};
        const int remaining = RemainingMs(deadline);
        if (remaining == 0) return 0;
        const int ready = ::poll(&room, 1, remaining);
        if (ready == 0 || (ready < 0 && errno != EINTR)) return 0;  // a failing poll is not retried
        if (ready > 0 && (room.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            lost = true;
            return 0;
        }
    }
    return static_cast<int>(written);
}

LineWait SerialPort::WaitForInput(int timeoutMs, const StopWake& wake) {
    if (!isOpen || handle < 0 || lost) return LineWait::Lost;
    const int wakeHandle = wake.WaitHandle();
    pollfd watched[2] = {{handle, POLLIN, 0}, {wakeHandle, POLLIN, 0}};
    const nfds_t count = wakeHandle >= 0 ? 2 : 1;
    const int bound = wakeHandle >= 0 ? timeoutMs
                      : timeoutMs < 0 ? UNWATCHED_WAIT_MS
                                      : std::min(timeoutMs, UNWATCHED_WAIT_MS);
    const int ready = ::poll(watched, count, bound);
    if (ready < 0) {
        // A poll that fails for want of resources fails again at once: sleep instead of spinning.
        if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(bound));
        return LineWait::Quiet;
    }
    const short events = watched[0].revents;
    if (events & (POLLHUP | POLLERR | POLLNVAL)) {
        // What arrived before the hang-up is still read first, when the device keeps it.
        if (!(events & POLLNVAL) && QueuedBytes() > 0) return LineWait::Input;
        lost = true;
        return LineWait::Lost;
    }
    return (events & POLLIN) ? LineWait::Input : LineWait::Quiet;
}

}  // namespace qvlink
