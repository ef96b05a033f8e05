// Receivers for station tests: a port's line that plays one receiver after another on an
// in-memory line, and a clock that moves only when a receiver says so, so that every time in
// the record is exact. A receiver's transfer takes 10 s on that clock and its burn 5 s.
#pragma once

#include <atomic>
#include <functional>
#include <vector>

#include "scripted_line.h"
#include "station_clock.h"

namespace qvlink::test {

class FakeClock final : public station::StationClock {
  public:
    station::WallTime Now() const override { return wallBase + Offset(); }
    station::Moment Steady() const override { return station::Moment{} + Offset(); }
    void Advance(std::chrono::milliseconds by) { offsetMs_.fetch_add(by.count()); }

    // 2026-01-02T03:04:05.000Z
    const station::WallTime wallBase = station::WallTime{} + std::chrono::seconds(1767323045);

  private:
    std::chrono::milliseconds Offset() const { return std::chrono::milliseconds(offsetMs_.load()); }
    std::atomic<long long> offsetMs_{0};
};

enum class Play {
    BlockCompleted,
    BulkCompleted,
    BulkChecksumError,  // the verdict refuses the data
    BulkBurnFails,
    Cancels,           // a CAN instead of an announcement
    LostInTransfer,    // the line goes away after four blocks
    StoppedInBurn,     // the operator stops while the receiver burns
    LostWhileWaiting,  // the line goes away before any receiver announces itself
};

// Plays `plays` one after another: each receiver announces itself once the run before it has
// ended and the next run waits. When all have played, `whenDone` runs (on the run's thread);
// it is also what an operator's stop in a receiver (StoppedInBurn) calls.
class PlayedLine final : public SerialLine {
  public:
    PlayedLine(std::vector<Play> plays, FakeClock& clock, std::function<void()> stop);

    int QueuedBytes() override { return line_.QueuedBytes(); }
    int Read(std::uint8_t* buffer, std::uint32_t maxCount) override;
    int Write(const std::uint8_t* bytes, std::uint32_t count) override {
        return line_.Write(bytes, count);
    }
    LineWait WaitForInput(int timeoutMs, const StopWake& wake) override {
        return line_.WaitForInput(timeoutMs, wake);
    }

  private:
    void Idle();
    void Begin(Play play);

    ScriptedLine line_;
    std::vector<Play> plays_;
    std::size_t next_ = 0;
    bool finished_ = true;  // the receiver in play has said all it will say
    FakeClock& clock_;
    std::function<void()> stop_;
};

}  // namespace qvlink::test
