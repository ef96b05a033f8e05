// What a production line makes of each run's result, decided in one place for every front end:
// whether it was a receiver at all, whether it is recorded, how it is counted (the record's
// counting rule, record_counting.h, which the database counts by too), and what the run of a
// whole station comes to.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "receiver_facts.h"
#include "record_counting.h"
#include "upgrade_types.h"

namespace qvlink::station {

// How a recorded receiver's result counts: completed, failed, a receiver abort or stopped.
using record::Counted;
using record::CountedAs;

struct FollowUp {
    bool record = false;  // a record line is written for it
    Counted counted = Counted::Nothing;
};

// Every receiver that made itself known (an announcement or a cancel) is recorded and counted,
// and only those: a run that ends before that (the operator's stop while waiting, a line lost
// between receivers) was no receiver. A receiver stopped by the operator is recorded as
// "Stopped" and counted apart; a line lost under a receiver is that receiver's failure.
FollowUp FollowUpOf(UpgradeResult result, const ReceiverFacts& facts);

// The operator's word for a result: "Stopped" for the operator's stop, else the result's text.
std::string ResultLabel(UpgradeResult result);

// One port's receivers so far.
struct PortCounts {
    int completed = 0;
    int failed = 0;
    int receiverAborts = 0;
    int stopped = 0;
    std::map<UpgradeResult, int> failures;  // the failed receivers by result
    // Failed and cancelled receivers since the last completed one: a port whose receivers
    // only ever cancel must go out of service too, not wait for ever.
    int consecutiveFailures = 0;

    void Add(Counted counted, UpgradeResult result);
    // The failed receivers as the operator counts them: failures and receiver aborts.
    int Failed() const { return failed + receiverAborts; }
    // Every receiver that has its record line (or should have): stopped ones too.
    int Recorded() const { return completed + Failed() + stopped; }
    // The receivers that finished, for --count: completed and failed; a receiver's cancel is
    // no finish (it starts again), nor is the operator's stop.
    int Finished() const { return completed + failed; }
    void AddUp(const PortCounts& other);  // totals; consecutiveFailures is not summed
};

// "completed 3  failed 2", with "  stopped 1" when any were stopped; `causes` adds the failures
// by result: "failed 2 (Checksum Error 1, Receiver Abort 1)". How receivers read everywhere.
std::string CountsText(const PortCounts& counts, bool causes);

// How a port stopped serving receivers: one reason, decided where it happens. A port that
// could stop for two reasons at once ends for the one that comes first here: a record line
// lost, then out of service, then a start that failed, then a lost line, then the operator's stop.
enum class PortEnd {
    None,          // has not ended: not started yet, or serving
    NotOpened,     // the port could not be opened and never ran
    Finished,      // served what it was asked (one receiver, or --count of them)
    Stopped,       // the operator's stop
    LineLost,      // the line went away ("Port Lost")
    StartFailed,   // a run could not start (no thread, or the run got no buffers)
    RecordLost,    // a record line could not be written; the port stopped there
    OutOfService,  // its receivers failed too often in a row; the port stopped
};

struct PortSummary {
    std::string port;
    std::string device;
    PortCounts counts;
    PortEnd end = PortEnd::None;
    std::string unrecorded;  // the receiver whose record line could not be written, if any
};

// What a station's run comes to, most serious first: a receiver failed (or a port could not
// run one, or went out of service), whatever else happened; a record line could not be written; the
// operator stopped; a port could not be opened or went away with no receiver on it; every receiver
// completed.
enum class Verdict { ReceiverFailed, RecordLost, Stopped, PortTrouble, AllCompleted };
Verdict VerdictOf(const std::vector<PortSummary>& ports);

}  // namespace qvlink::station
