#include "forwarder.h"

#include <algorithm>
#include <utility>

#include "pg_connection.h"
#include "record_time.h"
#include "row_batch.h"
#include "socket_wait.h"
#include "thread_name.h"

namespace qvlink::records {
namespace {

constexpr std::chrono::milliseconds FIRST_BACK_OFF{500};
constexpr std::chrono::milliseconds LAST_BACK_OFF{30000};

}  // namespace

Forwarder::Forwarder(ForwarderSettings settings) : settings_(std::move(settings)) {}

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

ForwarderState Forwarder::State() const {
    MutexLock lock(mutex_);
    return state_;
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
        if (ended_) drained_.Raise();
    }
    changed_.notify_all();
    WaitForWake(drained_, cut, std::chrono::steady_clock::now() + limit);
    MutexLock lock(mutex_);
    draining_ = false;
    return looksDone_ > drainFrom_ && state_.unsent == 0;
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

bool Forwarder::Rest(std::chrono::milliseconds span, bool wakeOnNudge) {
    MutexLock lock(mutex_);
    changed_.wait_for(lock, span,
                      [&]() QV_REQUIRES(mutex_) { return stopping_ || (wakeOnNudge && nudged_); });
    nudged_ = false;
    return !stopping_;
}

void Forwarder::Run() {
    NameThisThread("qvlink-forward");
    const std::string cursorPath =
        settings_.cursorPath.empty() ? CursorPathFor(settings_.recordPath) : settings_.cursorPath;
    std::string notice;
    OutboxCursor cursor = LoadCursor(cursorPath, notice);
    OutboxReader reader(settings_.recordPath);
    PgConnection connection;
    auto backOff = FIRST_BACK_OFF;
    const auto publish = [&](auto change) {
        {
            MutexLock lock(mutex_);
            change(state_);
        }
        changed_.notify_all();
    };
    for (;;) {
        {
            MutexLock lock(mutex_);
            if (stopping_) break;
            ++looksBegun_;
        }
        const Status followed = reader.Follow(cursor, notice);
        const std::uint64_t backlog = followed.ok() ? reader.Backlog(cursor) : 0;
        std::string oldest;
        if (backlog > 0) {
            const OutboxBatch first = reader.Read(cursor, 8);
            if (!first.rows.empty()) oldest = first.rows.front().start;
        }
        publish([&](ForwarderState& state) QV_REQUIRES(mutex_) {
            state.unsent = backlog;
            state.oldestUnsent = oldest;
            if (!notice.empty()) state.notice = std::move(notice);
            // No file yet is no fault: nothing was recorded.
            if (!followed.ok() && followed.kind() != StatusKind::NotFound)
                state.error = followed.ToString();
            ++looksDone_;
            if (draining_ && looksDone_ > drainFrom_ && backlog == 0) drained_.Raise();
        });
        notice.clear();
        if (backlog == 0) {
            if (!Rest(settings_.look, true)) break;
            continue;
        }
        if (!connection.connected()) {
            const Status opened =
                connection.Open(settings_.conninfo, &wake_, settings_.connectLimit);
            publish([&](ForwarderState& state) QV_REQUIRES(mutex_) {
                state.connected = opened.ok();
                if (!opened.ok()) state.error = opened.ToString();
            });
            if (!opened.ok()) {
                if (!Rest(backOff, false)) break;
                backOff = std::min(backOff * 2, LAST_BACK_OFF);
                continue;
            }
        }
        const OutboxBatch batch = reader.Read(cursor, settings_.batchLines);
        InsertCounts counts;
        const Status inserted = InsertRows(connection, batch.rows, &wake_, counts);
        if (!inserted.ok()) {
            publish([&](ForwarderState& state) QV_REQUIRES(mutex_) {
                state.connected = connection.connected();
                state.error = inserted.ToString();
            });
            if (!Rest(backOff, false)) break;
            backOff = std::min(backOff * 2, LAST_BACK_OFF);
            continue;
        }
        if (settings_.afterCommit && !settings_.afterCommit()) break;
        cursor = batch.next;
        const Status saved = SaveCursor(cursorPath, cursor);
        backOff = FIRST_BACK_OFF;
        publish([&](ForwarderState& state) QV_REQUIRES(mutex_) {
            state.sent += static_cast<std::uint64_t>(counts.added);
            state.alreadyThere += static_cast<std::uint64_t>(counts.alreadyThere);
            state.skipped += batch.skipped.size();
            for (const SkippedLine& skipped : batch.skipped)
                if (state.skippedLines.size() < SKIPPED_NAMED)
                    state.skippedLines.push_back(skipped);
            state.error = saved.ok() ? std::string() : saved.ToString();
        });
    }
    connection.Close();
    MutexLock lock(mutex_);
    ended_ = true;
    state_.connected = false;
    drained_.Raise();
    changed_.notify_all();
}

std::string ForwarderStateText(const ForwarderState& state) {
    std::string text;
    if (state.unsent == 0) {
        text += state.error.empty() ? "all sent" : state.error;
        return text;
    }
    text += "unsent " + std::to_string(state.unsent) + (state.unsent == 1 ? " line" : " lines");
    if (const auto micros = UtcMicros(state.oldestUnsent))
        text += " (oldest from " + LocalHourMinute(*micros) + ")";
    if (!state.error.empty())
        text += ": " + state.error;
    else
        text += state.connected ? ", sending" : ", connecting";
    return text;
}

}  // namespace qvlink::records

namespace qvlink::records {

std::string ForwarderEndText(const ForwarderState& state, const std::string& recordPath) {
    std::string text = "database: " + ForwarderStateText(state);
    text += " (" + std::to_string(state.sent) + " sent in this run";
    if (state.alreadyThere) text += ", " + std::to_string(state.alreadyThere) + " already there";
    text += ")";
    if (state.unsent)
        text += "; the unsent lines stay in " + recordPath + " and go with the next run";
    if (state.skipped) {
        text +=
            "; " + std::to_string(state.skipped) + " lines that are no record were skipped (line";
        for (std::size_t i = 0; i < state.skippedLines.size(); ++i)
            text += (i ? ", " : " ") + std::to_string(state.skippedLines[i].line);
        if (state.skipped > state.skippedLines.size()) text += ", ...";
        text += ")";
    }
    return text;
}

}  // namespace qvlink::records
