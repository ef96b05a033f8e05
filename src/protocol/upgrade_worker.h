// One upgrade run on a thread of its own, from the receiver's announcement to one posted
// result. At most one run exists at a time; a new run starts only after the previous thread
// has been joined, so an ending run can never mark a newer run idle or touch its buffers.
#pragma once

#include <thread>

#include "run_context.h"
#include "status.h"
#include "upgrade_host.h"

namespace qvlink {

// The body of a run, on the calling thread: makes the run context, runs the handshake and the
// chosen protocol, posts exactly one result, then sets workerIdle. Returns 0 whatever the result.
// Expects the flags to have been reset for this run (WorkerThread::Start does that).
// Expects `inputs.line` and `inputs.flags` to be set.
int UpgradeWorkerProc(const RunInputs& inputs, UpgradeHost& host,
                      const BlockBufferSource& obtainBuffer = AllocateBlockBuffer);

class WorkerThread {
  public:
    WorkerThread() = default;
    ~WorkerThread() { Join(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Joins the previous run, resets the run's flags for the new one (stop request cleared,
    // then workerIdle 0, then the clock 0) on this thread, and starts it. Because the flags
    // are set before the thread exists, a stop asked right after Start is never wiped out and
    // the host never sees an idle worker that is about to run. When no thread could be started,
    // Exhausted ("cannot start the upgrade thread" and the system's words), with workerIdle back
    // at 1. `inputs` and `host` must stay valid until the run's result has been posted.
    Status Start(const RunInputs& inputs, UpgradeHost& host);
    // Waits for the current run's thread, if any, to end.
    void Join();

  private:
    std::thread thread_;
};

}  // namespace qvlink
