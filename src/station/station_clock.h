// The clock a station reads the times of each receiver from: wall time for the record, a
// steady clock for durations. Abstract so it can be mocked out for tests (a fake clock makes
// the record's times and the per-hour figures exact); the real implementation is SystemClock.
// Implementations are called from port and worker threads at once and must be thread-safe.
#pragma once

#include <chrono>

namespace qvlink::station {

using WallTime = std::chrono::system_clock::time_point;
using Moment = std::chrono::steady_clock::time_point;

class StationClock {
  public:
    virtual ~StationClock() = default;
    virtual WallTime Now() const = 0;
    virtual Moment Steady() const = 0;
};

class SystemClock final : public StationClock {
  public:
    WallTime Now() const override { return std::chrono::system_clock::now(); }
    Moment Steady() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace qvlink::station
