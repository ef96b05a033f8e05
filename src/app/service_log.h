// Where a station run as a Windows service prints: what --headless writes to stdout and stderr
// (the port events, its notices, the summary) is appended to a log file instead. Text is only
// put in memory by the printing thread; a thread of the log writes it to the file, so a file
// that is slow or fails holds up neither a port nor a stop. What the file has not taken within
// 1 MiB of backlog is dropped, and how much is said in the file once it takes text again. Lines
// end in CR LF in the file. A file that has reached its bound (8 MiB) is renamed with ".1" added,
// replacing the one before, and a new one begun, so a service that runs for months keeps the
// last 8 to 16 MiB of what it said and never fills its disk. Windows only. Threading: Open and
// Close on one thread; Out and Err from any thread between them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

#include "annotated_mutex.h"
#include "screen_printer.h"
#include "status.h"

namespace qvlink {

class ServiceLog final : public cli::PrinterSink {
  public:
    static constexpr std::uint64_t KEEP_BYTES = 8u << 20;

    explicit ServiceLog(std::uint64_t keepBytes = KEEP_BYTES) : keepBytes_(keepBytes) {}
    ~ServiceLog() override;  // Close, when it was not
    ServiceLog(const ServiceLog&) = delete;
    ServiceLog& operator=(const ServiceLog&) = delete;

    // Appends to `file` (made when it is not there). Not ok, with why, when it cannot be opened.
    Status Open(const std::filesystem::path& file);
    // Writes what is left, waiting `seconds` at most for the file. False when the file did not
    // take it in time: its thread still holds this log, which must then live until the process
    // ends.
    bool Close(int seconds = 2);

    // Never block; true while the log is open (a file that fails drops text, said later).
    bool Out(const std::string& text) override;
    void Err(const std::string& text) override;

  private:
    void Write();  // memory to file, on the log's thread
    // Before a write, on the log's thread: a file at its bound becomes the ".1" one.
    void TurnOver();

    const std::uint64_t keepBytes_;
    // Set by Open; then only the log's thread touches them until Close has joined it.
    void* file_ = nullptr;  // the file's HANDLE
    std::filesystem::path path_;
    std::uint64_t size_ = 0;  // the file's length
    std::thread writer_;
    Mutex mutex_;
    std::condition_variable_any changed_;
    std::string pending_ QV_GUARDED_BY(mutex_);
    std::size_t dropped_ QV_GUARDED_BY(mutex_) = 0;  // bytes not written since the last said
    bool open_ QV_GUARDED_BY(mutex_) = false;
    bool closing_ QV_GUARDED_BY(mutex_) = false;  // write what is left, then end
    bool done_ QV_GUARDED_BY(mutex_) = false;     // the log's thread has ended
};

}  // namespace qvlink
