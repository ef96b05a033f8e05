// A station's record on its way to the database, for every front end (the flasher, the station
// window): a forwarder started beside the ports, its state in words for a header, and at the end
// a bounded time to send what is left. A build without a PostgreSQL client refuses a database
// setting in words, and the record stays in its file. Any thread; stopping never waits for the
// server.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "live_state.h"
#include "status.h"

namespace qvlink {
class StopWake;
}

namespace qvlink::records {

class Forwarder;

// Whether a database setting may be used: libpq understands it and it holds no password.
Status CheckDatabaseSetting(const std::string& conninfo);

class RecordLink {
  public:
    // Starts sending `recordPath` to the database `conninfo` (checked before).
    RecordLink(const std::string& conninfo, const std::string& recordPath);
    ~RecordLink();
    RecordLink(const RecordLink&) = delete;
    RecordLink& operator=(const RecordLink&) = delete;

    void Nudge();  // the record grew
    // Keeps the station's live state in the database from `source` (empty: stops asking it),
    // called on the forwarder's thread; once this returns, a source given before is not called
    // again. Wire it with the station's change listener:
    //     link.SetLiveSource([&station] { return station.Live(); });
    //     station.SetLiveListener([&link] { link.LiveChanged(); });
    void SetLiveSource(std::function<record::StationLive()> source);
    void LiveChanged();  // the live state changed; from any thread, returns at once
    bool AllSent() const;
    // What changed that the operator should know once (a new record file sent from its
    // beginning, a damaged note of what was sent); empty when nothing did.
    std::string TakeNotice();
    // "all sent", "unsent 3 lines (oldest from 14:05): cannot reach ...".
    std::string StateText() const;
    // Sends what is unsent for at most `wait` or until `cut` is raised (may be null), stops, and
    // says what this run sent and what stays in the file.
    std::string Finish(std::chrono::milliseconds wait, const StopWake* cut);

  private:
    std::string recordPath_;
    std::unique_ptr<Forwarder> forwarder_;
};

}  // namespace qvlink::records
