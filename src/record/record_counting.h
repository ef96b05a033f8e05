// How a recorded receiver's result counts: the one rule for the station's window, the command
// line's board and summary, the report from record files, and the database's record_outcome()
// (generated from this rule, see record_sql.h).
#pragma once

#include <array>

#include "upgrade_types.h"

namespace qvlink::record {

enum class Counted { Nothing, Completed, Failed, ReceiverAbort, Stopped };

// Completed (the firmware arrived), failed, a receiver abort (the receiver cancelled; it starts
// again), or stopped (the operator's stop). Wherever receivers are counted for the operator, a
// receiver abort is a failed receiver: the first-pass yield is completed of completed and
// failed, aborts among them, and the failures by result name "Receiver Abort". Only the exit
// status of qvlink-cli leaves aborts out, since the receiver starts again by itself. A result
// no program knows (a record from a newer one) counts as failed.
Counted CountedAs(UpgradeResult result);

// Every result a record can hold: those a run ends with and those the dialog knows.
inline constexpr std::array<UpgradeResult, 14> RESULT_CODES{
    BULK_COMPLETED,  DEVICE_CHECKSUM_ERROR, DEVICE_MEMORY_ERROR, DEVICE_SDRAM_ERROR, USER_ABORT,
    BULK_BURN_ERROR, UNKNOWN_ERROR,         BLOCK_COMPLETED,     TIME_OUT,           RECEIVER_ABORT,
    TRANSFER_ERROR,  BLOCK_BURN_ERROR,      UPGRADE_ERROR,       PORT_LOST};

// The database's word for how a result counts: "completed", "failed" (a receiver abort too) or
// "stopped", as record_outcome() returns it and the views count by it.
const char* SqlOutcome(Counted counted);

}  // namespace qvlink::record
