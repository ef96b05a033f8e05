// The start of every run: wait for the receiver's announcement and hand over to the protocol it
// asks for. Bytes before the announcement (boot chatter) are discarded one at a time.
#pragma once

#include "run_context.h"

namespace qvlink {

// NAK or 'C' start the block protocol, BULK_REQUEST the bulk protocol, CAN ends the run with
// RECEIVER_ABORT; the stop request ends it with USER_ABORT, a lost line with PORT_LOST.
UpgradeResult Handshake(RunContext& context);

}  // namespace qvlink
