#include "upgrade_worker.h"

#include <system_error>

#include "handshake.h"
#include "protocol_bytes.h"

namespace qvlink {

int UpgradeWorkerProc(const RunInputs& inputs, UpgradeHost& host,
                      const BlockBufferSource& obtainBuffer) {
    UpgradeResult result = UPGRADE_ERROR;
    {
        RunContext context(inputs, host, obtainBuffer);
        if (context.HasBuffers() && context.image != nullptr && context.imageSize >= TRANSFER_SIZE)
            result = Handshake(context);
        host.PostResult(result);
        inputs.flags->workerIdle.store(1);
    }
    return 0;
}

Status WorkerThread::Start(const RunInputs& inputs, UpgradeHost& host) {
    Join();
    RunFlags& flags = *inputs.flags;
    flags.abortRequested.store(0);
    flags.stopWake.Clear();
    flags.workerIdle.store(0);
    flags.elapsedSeconds.store(0);
    try {
        thread_ = std::thread([inputs, &host] { UpgradeWorkerProc(inputs, host); });
    } catch (const std::system_error& error) {
        flags.workerIdle.store(1);
        return Status::Error(StatusKind::Exhausted, "cannot start the upgrade thread",
                             error.what());
    }
    return Status::Ok();
}

void WorkerThread::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace qvlink
