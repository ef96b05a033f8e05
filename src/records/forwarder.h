// Sends a station's record file to the database, line by line as receivers are recorded: the
// file is the outbox, and a cursor beside it (saved only after the database committed) says how
// far it got, so nothing is lost when the server is away and nothing is doubled when a batch goes
// twice. Runs on its own thread; nothing a port, a stop or a window does ever waits for it. It
// holds a connection only while it has something to send (unsent lines, a live state due) and
// closes it when it has had nothing to send for `idleClose` (FORWARDER_IDLE_CLOSE), so that a
// factory's stations need no more connections than are sending at once. When the server cannot
// be reached, or has no connection free (too many clients), it tries again after about 0.5 s,
// 1 s, 2 s, ... up to 30 s, each wait spread at random over its upper half so that stations
// turned away together come back apart, and at once when a Drain begins. A record the server
// refuses for what is in it is left out alone and named by its line number; every other line
// goes.
// Given a source of the station's live state, it keeps the database's rows of the station's ports
// up to date: it holds no queue of states, only the last one it sent, and asks the source for the
// current one when it sends: when told of a change (no more than once a second), at least once a
// minute unchanged (the rows say when the station was last seen; a connection is made for it),
// and at once on each new connection. Before the record's lines, so a server that was away hears of
// the station as it is now first, then gets the lines that waited. A state the server refuses (its
// station's rows come from another role, a schema without live state) is said in the state and
// tried again with the next change or after a minute; the record's lines go on as before.
//
// Threads: Start, Nudge, SetLiveSource, LiveChanged, State, AwaitState, Drain and Stop may be
// called from any thread; the state is guarded by the forwarder's mutex, the live source by a
// mutex of its own held while the source is called. Stop (and the destructor) returns as soon as
// the thread has dropped its connection, without waiting for the server.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "annotated_mutex.h"
#include "live_state.h"
#include "outbox_reader.h"
#include "pg_connection.h"
#include "status.h"
#include "stop_wake.h"

namespace qvlink::records {

// How long a connection with nothing to send stays open.
inline constexpr std::chrono::seconds FORWARDER_IDLE_CLOSE{10};

struct ForwarderSettings {
    std::string conninfo;    // libpq's connection settings (checked: no password)
    std::string recordPath;  // the station's record file
    std::string cursorPath;  // empty: CursorPathFor(recordPath)
    std::size_t batchLines = 10000;
    // How often the file is looked at when no Nudge says it grew (lines from other programs).
    std::chrono::milliseconds look{2000};
    std::chrono::milliseconds connectLimit{10000};
    // A connection that has sent nothing for this long is closed.
    std::chrono::milliseconds idleClose{FORWARDER_IDLE_CLOSE};
    // The first wait after a failure; it doubles with every failure after it, up to 30 s (or
    // this, when longer); each wait taken is spread over its upper half (SpreadBackOff).
    std::chrono::milliseconds firstBackOff{500};
    // For tests: called after each COMMIT, before the cursor is saved; false ends the thread
    // there, as if the program had been killed at that moment.
    std::function<bool()> afterCommit;
    // The live state is sent at least this often, unchanged, and at most once in `liveSpacing`.
    std::chrono::milliseconds liveRefresh{60000};
    std::chrono::milliseconds liveSpacing{1000};
};

struct ForwarderState {
    bool connected = false;
    std::uint64_t unsent = 0;       // whole lines not yet in the database, counted when asked
    std::uint64_t movedUnsent = 0;  // of them, in a record file moved away from its path
    std::string movedTo;            // where that file is now; empty when it was deleted
    std::string oldestUnsent;       // the first unsent line's start time (UTC, as recorded)
    Status error;                   // the last error; ok once sending works again
    std::string notice;             // the last change of file or cursor, in words
    std::chrono::milliseconds retryIn{0};   // the wait before the next try after a failure
    std::uint64_t sent = 0;                 // lines the database took in this run
    std::uint64_t alreadyThere = 0;         // lines it had already
    std::uint64_t skipped = 0;              // lines that are no record
    std::vector<SkippedLine> skippedLines;  // the first of them
    std::uint64_t refused = 0;              // records the database refused
    std::vector<SkippedLine> refusedLines;  // the first of them, with the server's reason
    std::uint64_t liveSent = 0;             // live states the database took in this run
    Status liveError;                       // why the last live state was refused; ok once taken
};

class Forwarder {
  public:
    explicit Forwarder(ForwarderSettings settings);
    ~Forwarder();
    Forwarder(const Forwarder&) = delete;
    Forwarder& operator=(const Forwarder&) = delete;

    void Start();
    // The record grew: look now instead of at the next look.
    void Nudge();
    // Where the station's live state comes from (empty: none is sent). Called on the forwarder's
    // thread, under a mutex: once this returns, the source given before is not called again, so
    // whatever it reads may go.
    void SetLiveSource(std::function<record::StationLive()> source);
    // The live state changed: send it (no sooner than a second after the last one).
    void LiveChanged();
    // The state, with the unsent lines counted now (a short read of the record's new bytes).
    ForwarderState State() const;
    // The notice of the state (a change of file, a damaged cursor) once: empty after.
    std::string TakeNotice();
    // Sleeps until `done` holds for the state, the thread has ended or `limit` has passed, and
    // returns the state then: for whoever shows the state and waits for it to change (a test).
    ForwarderState AwaitState(const std::function<bool(const ForwarderState&)>& done,
                              std::chrono::milliseconds limit);
    // Waits while it sends, until nothing is unsent (nor a live state waiting to go while it is
    // connected), `limit` has passed or `cut` is raised (may be null; a signal handler may raise
    // it). Wakes the thread from a back-off and keeps its
    // tries close together meanwhile. True when all was sent.
    bool Drain(std::chrono::milliseconds limit, const StopWake* cut = nullptr);
    void Stop();

    static constexpr std::size_t SKIPPED_NAMED = 20;

  private:
    // The thread's steps: a look at the file (follow it, count, publish); a connection; one
    // batch read, sent and committed; a rest after a failure. Each false on a stop.
    enum class Sent { Committed, Failed, Ended };
    using Clock = std::chrono::steady_clock;
    void Run();
    std::uint64_t Look(std::string* notice);
    bool Connect();
    Sent SendBatch();
    bool BackOff();
    // Sleeps until `span` has passed or a stop, or a Nudge (`onNudge`) or a Drain (`onDrain`)
    // wakes it; false on a stop.
    bool Rest(std::chrono::milliseconds span, bool onNudge, bool onDrain, bool onLive = false);
    // When the live state is due next (min() for at once), and whether a change is waiting;
    // max() without a source.
    Clock::time_point LiveDue(bool* changed);
    // Sends the live state; false when the connection was lost (the failure is published).
    bool SendLive();
    // Closes the connection that has had nothing to send.
    void CloseIdle();
    // Publishes a failure, unless it is only the stop cutting a try short: then the last real
    // error stays, or with none, a connection tried for `connecting` is one left unanswered.
    void PublishFailure(const Status& status, std::chrono::steady_clock::duration connecting);
    template <typename Change>
    void Publish(Change change);
    void SaveWhereItIs(const OutboxCursor& saved);
    // Another program sending the same record (two runs given one file) saves the cursor too:
    // one it saved further along the same file is taken, so that neither walks the file again
    // behind the other, nor moves the saved cursor back. True when taken.
    bool TakeFurtherSavedCursor();

    const ForwarderSettings settings_;
    const std::string cursorPath_;
    StopWake wake_;     // raised by Stop: ends the thread's waits on the server
    StopWake drained_;  // raised by the thread when a Drain may end
    // Counts for State on any thread; followed and read by the thread.
    mutable OutboxReader reader_;

    // The thread's own.
    OutboxCursor cursor_;  // what the database has (and where the file is)
    PgConnection connection_;
    std::chrono::milliseconds backOff_;
    std::mt19937_64 spread_{std::random_device{}()};  // draws for each back-off's spread
    Clock::time_point lastUse_{};       // when the connection last sent something (or was made)
    std::uint64_t connections_ = 0;     // connections made: a new one hears the live state first
    std::uint64_t liveConnection_ = 0;  // the connection the last live state went on
    Clock::time_point liveSentAt_{};    // when it was last sent (or refused)
    std::optional<record::StationLive> liveSent_;  // what the database has; none after a refusal

    mutable Mutex liveMutex_;
    std::function<record::StationLive()> liveSource_ QV_GUARDED_BY(liveMutex_);

    mutable Mutex mutex_;
    std::condition_variable_any changed_;
    bool stopping_ QV_GUARDED_BY(mutex_) = false;
    bool nudged_ QV_GUARDED_BY(mutex_) = false;
    bool hurried_ QV_GUARDED_BY(mutex_) = false;  // a Drain began: no more sleeping out a back-off
    bool liveSet_ QV_GUARDED_BY(mutex_) = false;  // a live source is set
    bool liveChanged_ QV_GUARDED_BY(mutex_) = false;  // the live state changed since it was sent
    // Looks at the file begun, and finished with the backlog published: Drain waits for one
    // begun after it was called.
    std::uint64_t looksBegun_ QV_GUARDED_BY(mutex_) = 0;
    std::uint64_t looksDone_ QV_GUARDED_BY(mutex_) = 0;
    bool ended_ QV_GUARDED_BY(mutex_) = false;     // the thread has ended
    bool draining_ QV_GUARDED_BY(mutex_) = false;  // a Drain waits for a look after drainFrom_
    std::uint64_t drainFrom_ QV_GUARDED_BY(mutex_) = 0;
    ForwarderState state_ QV_GUARDED_BY(mutex_);
    OutboxCursor published_ QV_GUARDED_BY(mutex_);  // cursor_ as of the last look or commit
    std::thread thread_;
};

// The state in the operator's words: "all sent", "unsent 12 lines (oldest from 14:05): cannot
// reach the database at db1:5432/qvlink: ..." (the time is local).
std::string ForwarderStateText(const ForwarderState& state);
// "database: " and the state at the end of a run, with what this run sent and skipped, and where
// unsent lines stay.
std::string ForwarderEndText(const ForwarderState& state, const std::string& recordPath);

}  // namespace qvlink::records
