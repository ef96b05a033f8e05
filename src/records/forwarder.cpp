#include "forwarder.h"

#include <algorithm>
#include <utility>

#include "back_off.h"
#include "live_send.h"
#include "record_time.h"
#include "row_batch.h"
#include "socket_wait.h"
#include "thread_name.h"
#include "utc_time.h"

namespace qvlink::records {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds LAST_BACK_OFF{30000};
// While a Drain waits, the server is tried at least this often.
constexpr std::chrono::milliseconds DRAIN_BACK_OFF{2000};
// Due before any moment that is asked about.
constexpr Clock::time_point AT_ONCE = Clock::time_point::min();
// The first lines read for the oldest unsent line's time.
constexpr std::size_t OLDEST_LOOK = 8;

void Note(std::vector<SkippedLine>& named, const std::vector<SkippedLine>& lines) {
    for (const SkippedLine& line : lines)
        if (named.size() < Forwarder::SKIPPED_NAMED) named.push_back(line);
}

std::string OldestOf(const OutboxBatch& first) {
    return first.rows.empty() ? std::string() : first.rows.front().start;
}

}  // namespace

Forwarder::Forwarder(ForwarderSettings settings)
    : settings_(std::move(settings)),
      cursorPath_(settings_.cursorPath.empty() ? CursorPathFor(settings_.recordPath)
                                               : settings_.cursorPath),
      reader_(settings_.recordPath),
      backOff_(settings_.firstBackOff) {}

Forwarder::~Forwarder() {
    Stop();
}

void Forwarder::Start() {
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
}

void Forwarder::Nudge() {
    {
        MutexLock lock(mutex_);
        nudged_ = true;
    }
    changed_.notify_all();
}

void Forwarder::SetLiveSource(std::function<record::StationLive()> source) {
    const bool set = static_cast<bool>(source);
    {
        MutexLock lock(liveMutex_);
        liveSource_ = std::move(source);
    }
    {
        MutexLock lock(mutex_);
        liveSet_ = set;
        liveChanged_ = set;
    }
    changed_.notify_all();
}

void Forwarder::LiveChanged() {
    {
        MutexLock lock(mutex_);
        liveChanged_ = true;
    }
    changed_.notify_all();
}

ForwarderState Forwarder::State() const {
    ForwarderState state;
    OutboxCursor cursor;
    {
        MutexLock lock(mutex_);
        state = state_;
        cursor = published_;
    }
    // Counted now: the thread may be asleep in a back-off or waiting on the server for a while.
    if (const std::optional<Unsent> unsent = reader_.Count(cursor)) {
        state.unsent = unsent->lines;
        state.movedUnsent = unsent->movedLines;
        state.movedTo = unsent->movedTo;
        if (state.unsent == 0)
            state.oldestUnsent.clear();
        else if (state.oldestUnsent.empty())
            state.oldestUnsent = OldestOf(reader_.Read(cursor, OLDEST_LOOK));
    }
    return state;
}

std::string Forwarder::TakeNotice() {
    MutexLock lock(mutex_);
    return std::exchange(state_.notice, std::string());
}

ForwarderState Forwarder::AwaitState(const std::function<bool(const ForwarderState&)>& done,
                                     std::chrono::milliseconds limit) {
    MutexLock lock(mutex_);
    changed_.wait_for(lock, limit, [&]() QV_REQUIRES(mutex_) { return ended_ || done(state_); });
    return state_;
}

bool Forwarder::Drain(std::chrono::milliseconds limit, const StopWake* cut) {
    {
        MutexLock lock(mutex_);
        drained_.Clear();
        drainFrom_ = looksBegun_;
        draining_ = true;
        nudged_ = true;
        hurried_ = true;
        if (ended_) drained_.Raise();
    }
    changed_.notify_all();
    WaitForWake(drained_, cut, Clock::now() + limit);
    bool looked;
    {
        MutexLock lock(mutex_);
        draining_ = false;
        looked = looksDone_ > drainFrom_;
    }
    return looked && State().unsent == 0;
}

void Forwarder::Stop() {
    {
        MutexLock lock(mutex_);
        stopping_ = true;
    }
    wake_.Raise();
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

template <typename Change>
void Forwarder::Publish(Change change) {
    {
        MutexLock lock(mutex_);
        change(state_);
    }
    changed_.notify_all();
}

bool Forwarder::Rest(std::chrono::milliseconds span, bool onNudge, bool onDrain, bool onLive) {
    MutexLock lock(mutex_);
    changed_.wait_for(lock, span, [&]() QV_REQUIRES(mutex_) {
        return stopping_ || (onNudge && nudged_) || (onDrain && hurried_) ||
               (onLive && liveChanged_);
    });
    if (onNudge) nudged_ = false;
    if (onDrain && hurried_) {
        hurried_ = false;
        backOff_ = settings_.firstBackOff;
    }
    return !stopping_;
}

void Forwarder::PublishFailure(const Status& status, Clock::duration connecting) {
    {
        MutexLock lock(mutex_);
        state_.connected = connection_.connected();
        if (!stopping_) {
            state_.error = status;
        } else if (state_.error.ok() && connecting >= std::chrono::seconds(1)) {
            // The stop cut the only try there was: how long the server left it unanswered.
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(connecting).count();
            state_.error = Status::Error(status.kind(), status.message(),
                                         "no answer in " + std::to_string(seconds) + " s");
        }
    }
    changed_.notify_all();
}

void Forwarder::SaveWhereItIs(const OutboxCursor& saved) {
    // The database has no more than before: only where the file went is new.
    if (cursor_.path == saved.path || cursor_.offset != saved.offset) return;
    const Status status = SaveCursor(cursorPath_, cursor_);
    if (!status.ok())
        Publish([&](ForwarderState& state) QV_REQUIRES(mutex_) { state.error = status; });
}

bool Forwarder::TakeFurtherSavedCursor() {
    // A damaged note was said when the thread began; here it only means nothing further.
    std::string ignored;
    const OutboxCursor saved = LoadCursor(cursorPath_, &ignored);
    if (saved.file.empty() || saved == cursor_) return false;
    // Before the first file is open, what is saved is the start, as when the thread began; the
    // look that follows checks it against the file.
    const bool further =
        cursor_.file.empty() ||
        (saved.file == cursor_.file && saved.offset > cursor_.offset && reader_.Holds(saved));
    if (further) cursor_ = saved;
    return further;
}

std::uint64_t Forwarder::Look(std::string* notice) {
    TakeFurtherSavedCursor();
    const OutboxCursor before = cursor_;
    const Status followed = reader_.Follow(cursor_, notice);
    if (followed.ok() && cursor_.file == before.file) SaveWhereItIs(before);
    const std::uint64_t backlog =
        followed.ok() ? reader_.Count(cursor_).value_or(Unsent{}).lines : 0;
    const std::string oldest =
        backlog > 0 ? OldestOf(reader_.Read(cursor_, OLDEST_LOOK)) : std::string();
    Publish([&](ForwarderState& state) QV_REQUIRES(mutex_) {
        published_ = cursor_;
        state.unsent = backlog;
        state.oldestUnsent = oldest;
        if (!notice->empty()) state.notice = std::move(*notice);
        // No file yet is no fault: nothing was recorded.
        if (!followed.ok() && followed.kind() != StatusKind::NotFound) state.error = followed;
        ++looksDone_;
        // A live state waiting to go holds a Drain while there is a connection to send it on,
        // or one to be made (closed for want of use, not for a failure): the last one of a run
        // goes too. A server that is away holds it no longer than before.
        const bool livePending = liveSet_ && liveChanged_ && (state.connected || state.error.ok());
        if (draining_ && looksDone_ > drainFrom_ && backlog == 0 && !livePending) drained_.Raise();
    });
    notice->clear();
    return backlog;
}

bool Forwarder::Connect() {
    if (connection_.connected()) return true;
    const auto began = Clock::now();
    const Status opened = connection_.Open(settings_.conninfo, &wake_, settings_.connectLimit);
    if (opened.ok()) {
        ++connections_;
        lastUse_ = Clock::now();
        Publish([&](ForwarderState& state) QV_REQUIRES(mutex_) { state.connected = true; });
        return true;
    }
    PublishFailure(opened, Clock::now() - began);
    return false;
}

Forwarder::Sent Forwarder::SendBatch() {
    const OutboxBatch batch = reader_.Read(cursor_, settings_.batchLines);
    // Rewritten under the cursor while it was read: the next look begins the file again.
    if (!reader_.Holds(cursor_)) return Sent::Committed;
    InsertCounts counts;
    std::vector<SkippedLine> refused;
    const Status inserted =
        InsertRowsSkippingRefused(connection_, batch.rows, batch.rowLines, &wake_, counts, refused);
    if (!inserted.ok()) {
        // What committed before the failure counts; the batch goes again and finds it there.
        Publish([&](ForwarderState& state) QV_REQUIRES(mutex_) {
            state.sent += static_cast<std::uint64_t>(counts.added);
        });
        PublishFailure(inserted, Clock::duration::zero());
        return Sent::Failed;
    }
    if (settings_.afterCommit && !settings_.afterCommit()) return Sent::Ended;
    cursor_ = batch.next;
    lastUse_ = Clock::now();
    const Status saved = TakeFurtherSavedCursor() ? Status::Ok() : SaveCursor(cursorPath_, cursor_);
    Publish([&](ForwarderState& state) QV_REQUIRES(mutex_) {
        published_ = cursor_;
        state.sent += static_cast<std::uint64_t>(counts.added);
        state.alreadyThere += static_cast<std::uint64_t>(counts.alreadyThere);
        state.skipped += batch.skipped.size();
        Note(state.skippedLines, batch.skipped);
        state.refused += refused.size();
        Note(state.refusedLines, refused);
        state.error = saved;
        state.retryIn = std::chrono::milliseconds(0);
    });
    return Sent::Committed;
}

Clock::time_point Forwarder::LiveDue(bool* changed) {
    {
        MutexLock lock(mutex_);
        *changed = liveChanged_;
        if (!liveSet_) return Clock::time_point::max();
    }
    // A new connection hears the state first; one never sent is due at once.
    if (connection_.connected() && liveConnection_ != connections_) return AT_ONCE;
    if (liveConnection_ == 0) return AT_ONCE;
    return liveSentAt_ + (*changed ? settings_.liveSpacing : settings_.liveRefresh);
}

bool Forwarder::SendLive() {
    // Cleared before the source is asked: a change after that is the next send's.
    {
        MutexLock lock(mutex_);
        liveChanged_ = false;
    }
    record::StationLive live;
    {
        MutexLock lock(liveMutex_);
        if (!liveSource_) return true;
        live = liveSource_();
    }
    // A change and its undoing within the spacing (a receiver's word and back) is nothing new.
    if (liveConnection_ == connections_ && liveSent_ == live &&
        Clock::now() < liveSentAt_ + settings_.liveRefresh)
        return true;
    const Status sent = SendStationLive(connection_, live, &wake_);
    if (!sent.ok() && !connection_.connected()) {
        PublishFailure(sent, Clock::duration::zero());
        return false;
    }
    liveSentAt_ = Clock::now();
    lastUse_ = liveSentAt_;
    liveConnection_ = connections_;
    if (sent.ok())
        liveSent_ = std::move(live);
    else
        liveSent_.reset();
    Publish([&](ForwarderState& state) QV_REQUIRES(mutex_) {
        state.liveError = sent;
        if (sent.ok()) ++state.liveSent;
    });
    return true;
}

void Forwarder::CloseIdle() {
    connection_.Close();
    Publish([&](ForwarderState& state) QV_REQUIRES(mutex_) { state.connected = false; });
}

bool Forwarder::BackOff() {
    bool draining;
    {
        MutexLock lock(mutex_);
        draining = draining_;
    }
    const auto span =
        SpreadBackOff(draining ? std::min(backOff_, DRAIN_BACK_OFF) : backOff_, spread_());
    Publish([&](ForwarderState& state) QV_REQUIRES(mutex_) { state.retryIn = span; });
    backOff_ = std::min(backOff_ * 2, std::max(LAST_BACK_OFF, settings_.firstBackOff));
    return Rest(span, false, true);
}

void Forwarder::Run() {
    NameThisThread("qvlink-forward");
    std::string notice;
    cursor_ = LoadCursor(cursorPath_, &notice);
    for (;;) {
        {
            MutexLock lock(mutex_);
            if (stopping_) break;
            ++looksBegun_;
        }
        const std::uint64_t backlog = Look(&notice);
        bool liveChanged = false;
        const Clock::time_point liveDue = LiveDue(&liveChanged);
        const Clock::time_point now = Clock::now();
        if (backlog == 0 && liveDue > now) {
            // Nothing to send: a connection unused for long enough goes.
            Clock::time_point until = liveDue;
            if (connection_.connected()) {
                const Clock::time_point idleEnd = lastUse_ + settings_.idleClose;
                if (idleEnd <= now) {
                    CloseIdle();
                    continue;
                }
                until = std::min(until, idleEnd);
            }
            // A change already waiting keeps its due time: it does not wake the rest again.
            const auto span =
                until == Clock::time_point::max()
                    ? settings_.look
                    : std::min(settings_.look,
                               std::chrono::ceil<std::chrono::milliseconds>(until - now));
            if (!Rest(span, true, false, !liveChanged)) break;
            continue;
        }
        if (!Connect()) {
            if (!BackOff()) break;
            continue;
        }
        // Asked again: a connection just made hears the live state first.
        if (LiveDue(&liveChanged) <= Clock::now()) {
            if (!SendLive()) {
                if (!BackOff()) break;
                continue;
            }
        }
        if (backlog == 0) {
            backOff_ = settings_.firstBackOff;
            continue;
        }
        const Sent sent = SendBatch();
        if (sent == Sent::Ended) break;
        if (sent == Sent::Failed) {
            if (!BackOff()) break;
            continue;
        }
        backOff_ = settings_.firstBackOff;
    }
    bool stopped;
    {
        MutexLock lock(mutex_);
        stopped = stopping_;
    }
    // A record moved away since the last look: the cursor says where, for the next run.
    if (stopped) {
        const OutboxCursor before = cursor_;
        if (reader_.Follow(cursor_, &notice).ok() && cursor_.file == before.file)
            SaveWhereItIs(before);
    }
    connection_.Close();
    MutexLock lock(mutex_);
    ended_ = true;
    state_.connected = false;
    published_ = cursor_;
    if (!notice.empty()) state_.notice = notice;
    drained_.Raise();
    changed_.notify_all();
}

std::string ForwarderStateText(const ForwarderState& state) {
    std::string text;
    if (state.unsent == 0) {
        text += state.error.ok() ? "all sent" : state.error.ToString();
    } else {
        text += "unsent " + std::to_string(state.unsent) + (state.unsent == 1 ? " line" : " lines");
        if (const auto micros = record::UtcMicros(state.oldestUnsent))
            text += " (oldest from " + LocalHourMinute(*micros) + ")";
        if (!state.error.ok())
            text += ": " + state.error.ToString();
        else
            text += state.connected ? ", sending" : ", connecting";
    }
    if (!state.liveError.ok())
        text += "; the live state is not taken: " + state.liveError.ToString();
    return text;
}

}  // namespace qvlink::records

namespace qvlink::records {
namespace {

std::string LineNumbers(const std::vector<SkippedLine>& named, std::uint64_t count) {
    std::string text = " (line";
    for (std::size_t i = 0; i < named.size(); ++i)
        text += (i ? ", " : " ") + std::to_string(named[i].line);
    if (count > named.size()) text += ", ...";
    return text + ")";
}

// Where the unsent lines stay: the record, or a file moved away from it, or both.
std::string WhereUnsentStay(const ForwarderState& state, const std::string& recordPath) {
    const std::uint64_t here = state.unsent - state.movedUnsent;
    if (state.movedUnsent == 0)
        return "; the unsent lines stay in " + recordPath + " and go with the next run";
    if (state.movedTo.empty()) {
        std::string text = "; " + std::to_string(state.movedUnsent) +
                           " unsent lines were in a record file deleted from " + recordPath +
                           " and are not sent";
        if (here)
            text += "; the other " + std::to_string(here) + " stay in " + recordPath +
                    " and go with the next run";
        return text;
    }
    std::string text = "; the unsent lines stay in " + state.movedTo + " (" +
                       std::to_string(state.movedUnsent) + ", moved away from " + recordPath + ")";
    if (here) text += " and in " + recordPath + " (" + std::to_string(here) + ")";
    return text + " and go with the next run";
}

}  // namespace

std::string ForwarderEndText(const ForwarderState& state, const std::string& recordPath) {
    std::string text = "database: " + ForwarderStateText(state);
    text += " (" + std::to_string(state.sent) + " sent in this run";
    if (state.alreadyThere) text += ", " + std::to_string(state.alreadyThere) + " already there";
    text += ")";
    if (state.unsent) text += WhereUnsentStay(state, recordPath);
    if (state.skipped)
        text += "; " + std::to_string(state.skipped) + " lines that are no record were skipped" +
                LineNumbers(state.skippedLines, state.skipped);
    if (state.refused) {
        text += "; " + std::to_string(state.refused) +
                " records the database refused were skipped" +
                LineNumbers(state.refusedLines, state.refused);
        if (!state.refusedLines.empty()) text += ": " + state.refusedLines.front().why;
    }
    return text;
}

}  // namespace qvlink::records
