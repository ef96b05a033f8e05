// A stop request that wakes a waiting line at once: while raised, a line's WaitForInput returns
// instead of sleeping on. Raise is async-signal-safe, so a signal handler may stop a run. On Linux
// it is an eventfd that polls readable while raised; on Windows an event object that is signalled
// while raised (the serial wait there looks at the queue every millisecond instead, while the
// record database's waits sleep on the event).
#pragma once

namespace qvlink {

class StopWake {
  public:
    StopWake();
    ~StopWake();
    StopWake(const StopWake&) = delete;
    StopWake& operator=(const StopWake&) = delete;

    // Raised until Clear. Only a write to a descriptor (Linux) or SetEvent (Windows, whose
    // signal handlers run on a thread of their own): safe in a signal handler.
    void Raise() const;
    void Clear() const;
    // A descriptor that polls readable while raised, or -1 (always -1 on Windows).
    int WaitHandle() const { return fd_; }
#ifdef _WIN32
    // The event's HANDLE, signalled while raised, for WaitForMultipleObjects; owned by this
    // object. Null when none could be made.
    void* EventHandle() const {
        return event_;
    }
#endif

  private:
    int fd_ = -1;
#ifdef _WIN32
    void* event_ = nullptr;
#endif
};

}  // namespace qvlink
