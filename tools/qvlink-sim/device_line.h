// The receiver's end of the line: the master side of a pseudo-terminal that the sim creates, or
// an existing device. Reads are buffered and bounded by a timeout; with a baud rate set, bytes
// in both directions take the time they would take on a real 8N1 line.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "status.h"
#include "transcript.h"

namespace qvlink::sim {

enum class ReadStatus { Ok, Timeout, Hangup };

class DeviceLine {
  public:
    // A new pseudo-terminal in raw mode, put in `*line`; `*peerPath` receives the device the
    // flasher opens. On failure `*line` is left empty and the status says why.
    static Status CreatePseudoTerminal(std::string* peerPath, std::unique_ptr<DeviceLine>* line);
    // An existing device, put in raw mode at 115200 baud, in `*line`; as above on failure.
    static Status OpenDevice(const std::string& path, std::unique_ptr<DeviceLine>* line);
    ~DeviceLine();
    DeviceLine(const DeviceLine&) = delete;
    DeviceLine& operator=(const DeviceLine&) = delete;

    void SetPacing(int baud) { baud_ = baud; }
    void SetTranscript(tools::Transcript* transcript) { transcript_ = transcript; }

    // Blocks until the flasher has the line open (a pseudo-terminal nobody holds says so).
    void WaitForPeer();
    // Waits until the flasher closes the line or `timeout` passes. Closing a pseudo-terminal
    // discards what the flasher has not read yet, so the sim lingers before it ends.
    void Linger(std::chrono::milliseconds timeout);
    void Send(const std::uint8_t* bytes, std::size_t count);
    void Send(std::uint8_t byte) { Send(&byte, 1); }
    void Send(const std::vector<std::uint8_t>& bytes) { Send(bytes.data(), bytes.size()); }
    // Reads exactly `count` bytes unless no byte comes for `timeout` or the peer closes.
    ReadStatus Read(std::uint8_t* bytes, std::size_t count, std::chrono::milliseconds timeout);
    ReadStatus ReadByte(std::uint8_t& byte, std::chrono::milliseconds timeout) {
        return Read(&byte, 1, timeout);
    }

  private:
    DeviceLine(int fd, bool isPseudoTerminal) : fd_(fd), isPseudoTerminal_(isPseudoTerminal) {}
    bool PeerHasClosed() const;
    ReadStatus Fill(std::chrono::milliseconds timeout);
    std::chrono::nanoseconds WireTime(std::size_t count) const;

    int fd_;
    bool isPseudoTerminal_;
    int baud_ = 0;
    tools::Transcript* transcript_ = nullptr;
    std::vector<std::uint8_t> pending_;
    std::size_t pendingStart_ = 0;
    std::chrono::steady_clock::time_point sendClock_{};
    std::chrono::steady_clock::time_point receiveClock_{};
    std::chrono::steady_clock::time_point lastFill_{};
};

}  // namespace qvlink::sim
