// Runs qvlink-sim as a child process for a test: reads the device path it prints, then its
// verdict lines and its exit status.
#pragma once

#include <string>
#include <vector>

namespace qvlink::test {

class SimProcess {
  public:
    // Starts qvlink-sim with `arguments` (options and the firmware path).
    explicit SimProcess(const std::vector<std::string>& arguments);
    ~SimProcess();  // kills the sim if it still runs
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& DevicePath() const { return devicePath_; }
    // Waits for the sim to end; returns its exit status (-1 when it did not end normally).
    int Wait();
    // The lines it printed after the device path (available after Wait).
    const std::vector<std::string>& Verdicts() const { return verdicts_; }
    std::string AllVerdicts() const;

  private:
    std::string ReadLine();

    int pid_ = -1;
    int stdoutFd_ = -1;
    std::string devicePath_;
    std::string buffered_;
    std::vector<std::string> verdicts_;
};

}  // namespace qvlink::test
