// A pseudo-terminal pair standing in for a serial line: the test holds the master side and
// opens the peer path with SerialPort.
#pragma once

#include <termios.h>

#include <cstdint>
#include <string>
#include <vector>

namespace qvlink::test {

class PtyPair {
  public:
    PtyPair();  // raw mode; throws std::runtime_error when no pseudo-terminal can be had
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& PeerPath() const { return peerPath_; }
    int MasterFd() const { return master_; }
    void Send(const std::vector<std::uint8_t>& bytes) const;
    // Reads until `count` bytes came or `timeoutMs` passed without a byte.
    std::vector<std::uint8_t> Receive(std::size_t count, int timeoutMs = 2000) const;
    // The line settings as the peer side set them.
    termios LineSettings() const;
    void CloseMaster();

  private:
    int master_ = -1;
    std::string peerPath_;
};

}  // namespace qvlink::test
