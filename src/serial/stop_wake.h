// A stop request that wakes a waiting line at once: while raised, a line's WaitForInput returns
// instead of sleeping on. Raise is async-signal-safe, so a signal handler may stop a run. Where
// the platform gives a line nothing to watch it with (Windows), WaitHandle is -1 and waits poll.
#pragma once

namespace qvlink {

class StopWake {
  public:
    StopWake();
    ~StopWake();
    StopWake(const StopWake&) = delete;
    StopWake& operator=(const StopWake&) = delete;

    // Raised until Clear. Only a write to a descriptor: safe in a signal handler.
    void Raise() const;
    void Clear() const;
    // A descriptor that polls readable while raised, or -1.
    int WaitHandle() const { return fd_; }

  private:
    int fd_ = -1;
};

}  // namespace qvlink
