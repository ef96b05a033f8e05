// One connection to the record database through libpq, owned and closed by this object. Opening
// and every command wait on the connection's socket and on a stop, never longer than their time
// limit: a stop raised while the server is slow or away ends the wait at once (the connection is
// dropped, so an open transaction is rolled back by the server). One thread at a time.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "status.h"

struct pg_conn;
struct pg_result;

namespace qvlink {
class StopWake;
}

namespace qvlink::records {

// A command's result rows, as text.
class PgResult {
  public:
    int rows() const;
    int columns() const;
    std::string Value(int row, int column) const;
    bool IsNull(int row, int column) const;
    long long AffectedRows() const;  // rows an INSERT added

  private:
    friend class PgConnection;
    std::shared_ptr<pg_result> result_;
};

// What a server's refusal means, from its SQLSTATE: Invalid for the content sent (a value out of
// range, a broken rule, a size limit), Denied for a right the role lacks, Lost for the
// connection, Exhausted for the server's resources, Usage for an unknown command or table.
StatusKind KindOfSqlState(const char* state);

class PgConnection {
  public:
    PgConnection();
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects with libpq's settings: `conninfo` is a URI or "key=value ..." string, completed by
    // the PG* environment variables and ~/.pgpass (or PGPASSFILE). An error says where it tried
    // to go and what the server or the network said; a server with every connection taken is
    // Exhausted, "... has no connection free (too many clients) ...". `stop` may be null.
    Status Open(const std::string& conninfo, const StopWake* stop, std::chrono::milliseconds limit);
    bool connected() const { return conn_ != nullptr; }
    void Close();

    // Runs one command with text parameters ($1, $2, ...). On an error that leaves the
    // connection unusable (the server went away, no answer in time, a stop) the connection is
    // closed; a refused command leaves it open, and its kind follows the server's SQLSTATE.
    Status Exec(const std::string& sql, const std::vector<std::string>& params,
                const StopWake* stop, std::chrono::milliseconds limit, PgResult* result = nullptr);

    // Runs a COPY ... FROM STDIN and sends `data` (in COPY's format) as its rows; the result,
    // the limit and the errors as Exec's.
    Status CopyIn(const std::string& sql, std::string_view data, const StopWake* stop,
                  std::chrono::milliseconds limit, PgResult* result = nullptr);

    // "host:port/database" of this connection, or of the last attempt.
    const std::string& where() const { return where_; }

  private:
    using Deadline = std::chrono::steady_clock::time_point;
    Status Lost(std::string what);
    // Waits for the socket; empty when it is ready, else why not.
    std::string Wait(bool forWrite, const StopWake* stop, Deadline deadline,
                     std::chrono::milliseconds limit);
    // Sends what libpq holds, taking in what the server says meanwhile.
    Status Flush(const StopWake* stop, Deadline deadline, std::chrono::milliseconds limit);
    // Takes the command's results up to the end (or, with `stopAtCopyIn`, up to the server's
    // readiness for COPY data): the last one in `result`, the first refusal as the error.
    Status Collect(const StopWake* stop, Deadline deadline, std::chrono::milliseconds limit,
                   PgResult* result, bool stopAtCopyIn);

    pg_conn* conn_ = nullptr;
    std::string where_;
};

}  // namespace qvlink::records
