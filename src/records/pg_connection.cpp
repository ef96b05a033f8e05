#include "pg_connection.h"

#include <libpq-fe.h>

#include <utility>

#include "password_file.h"
#include "socket_wait.h"

namespace qvlink::records {
namespace {

using Clock = std::chrono::steady_clock;

// libpq's message on one line: its lines and tabs joined by single spaces.
std::string Words(const char* text) {
    std::string words;
    for (const char* c = text ? text : ""; *c; ++c) {
        const bool space = *c == ' ' || *c == '\n' || *c == '\t' || *c == '\r';
        if (!space)
            words += *c;
        else if (!words.empty() && words.back() != ' ')
            words += ' ';
    }
    while (!words.empty() && words.back() == ' ') words.pop_back();
    return words.empty() ? "no reason given" : words;
}

std::string WhereOf(PGconn* conn) {
    const char* host = PQhost(conn);
    const char* port = PQport(conn);
    const char* db = PQdb(conn);
    std::string where = host && *host ? host : "localhost";
    // Appended piece by piece: "x" + std::string(...) trips GCC 12's -Wrestrict at -O3.
    if (port && *port) where.append(":").append(port);
    if (db && *db) where.append("/").append(db);
    return where;
}

// The password file the setting names itself ("passfile"); empty when it names none.
std::string PassfileOf(const std::string& conninfo) {
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), nullptr);
    if (!options) return {};
    std::string passfile;
    for (const PQconninfoOption* option = options; option->keyword; ++option)
        if (std::string(option->keyword) == "passfile" && option->val) passfile = option->val;
    PQconninfoFree(options);
    return passfile;
}

// The server turned the connection away because every one it allows is taken (SQLSTATE 53300,
// which libpq keeps no result of at this stage: its words, as the server says them).
bool TooManyClients(const std::string& failure) {
    return failure.find("too many clients") != std::string::npos ||
           failure.find("remaining connection slots are reserved") != std::string::npos;
}

// libpq's words, with what its TLS failures mean to the operator added where they leave it
// unsaid (OpenSSL's words name no file and no remedy).
std::string Explained(std::string failure) {
    static const std::pair<const char*, const char*> meanings[] = {
        {"certificate verify failed",
         "the server's certificate is not signed by the CA in sslrootcert, or is out of date"},
        {"SSL SYSCALL error: EOF detected", "the server ended the connection"},
    };
    for (const auto& [words, meaning] : meanings)
        if (failure.find(words) != std::string::npos)
            return failure.append(" (").append(meaning).append(")");
    return failure;
}

// libpq prints the server's notices on stderr unless told otherwise, from whatever thread runs
// the connection: over a terminal's board, among a station's messages. What matters of them
// comes back as a command's error.
void IgnoreNotice(void*, const char*) {}

}  // namespace

StatusKind KindOfSqlState(const char* state) {
    const std::string code = state ? state : "";
    const std::string group = code.substr(0, 2);
    // The content of what was sent: a value out of range or too long (22), a rule of the table
    // broken (23), a limit such as an index entry's size (54).
    if (group == "22" || group == "23" || group == "54") return StatusKind::Invalid;
    if (group == "08") return StatusKind::Lost;
    if (group == "53") return StatusKind::Exhausted;
    if (code == "42501" || group == "28") return StatusKind::Denied;
    if (group == "42") return StatusKind::Usage;  // a command or object the server does not know
    return StatusKind::Io;
}

int PgResult::rows() const {
    return result_ ? PQntuples(result_.get()) : 0;
}
int PgResult::columns() const {
    return result_ ? PQnfields(result_.get()) : 0;
}
std::string PgResult::Value(int row, int column) const {
    return PQgetvalue(result_.get(), row, column);
}
bool PgResult::IsNull(int row, int column) const {
    return PQgetisnull(result_.get(), row, column) != 0;
}
long long PgResult::AffectedRows() const {
    const char* count = result_ ? PQcmdTuples(result_.get()) : "";
    return *count ? std::stoll(count) : 0;
}

PgConnection::PgConnection() = default;
PgConnection::~PgConnection() {
    Close();
}

void PgConnection::Close() {
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
}

Status PgConnection::Open(const std::string& conninfo, const StopWake* stop,
                          std::chrono::milliseconds limit) {
    Close();
    // A password file libpq would pass over with a warning of its own on stderr is named in
    // this failure's words instead, and libpq is pointed past it (the keys after "dbname" win).
    const Status passwordFile = PasswordFileUsable(PasswordFilePath(PassfileOf(conninfo)));
    const char* keys[] = {"dbname", "fallback_application_name", "passfile", nullptr};
    const char* values[] = {conninfo.c_str(), "qvlink", NoPasswordFile(), nullptr};
    if (passwordFile.ok()) keys[2] = values[2] = nullptr;
    PGconn* conn = PQconnectStartParams(keys, values, 1);
    if (!conn)
        return Status::Error(StatusKind::Exhausted, "cannot reach the database", "out of memory");
    PQsetNoticeProcessor(conn, IgnoreNotice, nullptr);  // from the first word, not the last
    where_ = WhereOf(conn);
    const auto deadline = Clock::now() + limit;
    PostgresPollingStatusType polling = PGRES_POLLING_WRITING;
    std::string failure;
    if (PQstatus(conn) == CONNECTION_BAD) {
        failure = Words(PQerrorMessage(conn));
    } else {
        while (polling != PGRES_POLLING_OK) {
            const SocketWait wait =
                WaitForSocket(PQsocket(conn), polling == PGRES_POLLING_WRITING, stop, deadline);
            if (wait == SocketWait::Stopped) {
                failure = "stopped";
                break;
            }
            if (wait == SocketWait::TimedOut) {
                failure = "no answer within " + std::to_string(limit.count() / 1000) + " s";
                break;
            }
            polling = PQconnectPoll(conn);
            where_ = WhereOf(conn);
            if (polling == PGRES_POLLING_FAILED) {
                failure = Words(PQerrorMessage(conn));
                break;
            }
        }
    }
    if (!failure.empty()) {
        PQfinish(conn);
        if (TooManyClients(failure))
            return Status::Error(StatusKind::Exhausted,
                                 "the database at " + where_ +
                                     " has no connection free (too many clients); waiting for one",
                                 failure);
        if (!passwordFile.ok()) failure += "; " + passwordFile.ToString();
        return Status::Error(StatusKind::Lost, "cannot reach the database at " + where_,
                             Explained(std::move(failure)));
    }
    PQsetnonblocking(conn, 1);
    conn_ = conn;
    return Status::Ok();
}

Status PgConnection::Lost(std::string what) {
    Close();
    return Status::Error(StatusKind::Lost, "lost the database at " + where_,
                         Explained(std::move(what)));
}

std::string PgConnection::Wait(bool forWrite, const StopWake* stop, Deadline deadline,
                               std::chrono::milliseconds limit) {
    switch (WaitForSocket(PQsocket(conn_), forWrite, stop, deadline)) {
        case SocketWait::Ready:
            return {};
        case SocketWait::Stopped:
            return "stopped";
        case SocketWait::TimedOut:
            return "no answer within " + std::to_string(limit.count() / 1000) + " s";
        case SocketWait::Failed:
            break;
    }
    return "cannot wait on the connection";
}

Status PgConnection::Flush(const StopWake* stop, Deadline deadline,
                           std::chrono::milliseconds limit) {
    // Send it all, taking in what the server says meanwhile.
    for (int flushed; (flushed = PQflush(conn_)) != 0;) {
        if (flushed < 0) return Lost(Words(PQerrorMessage(conn_)));
        if (std::string failed = Wait(true, stop, deadline, limit); !failed.empty())
            return Lost(failed);
        if (!PQconsumeInput(conn_)) return Lost(Words(PQerrorMessage(conn_)));
    }
    return Status::Ok();
}

Status PgConnection::Collect(const StopWake* stop, Deadline deadline,
                             std::chrono::milliseconds limit, PgResult* result, bool stopAtCopyIn) {
    std::shared_ptr<pg_result> last;
    std::string refused;
    StatusKind refusal = StatusKind::Denied;
    for (;;) {
        while (PQisBusy(conn_)) {
            if (std::string failed = Wait(false, stop, deadline, limit); !failed.empty())
                return Lost(failed);
            if (!PQconsumeInput(conn_)) return Lost(Words(PQerrorMessage(conn_)));
        }
        PGresult* next = PQgetResult(conn_);
        if (!next) break;
        const ExecStatusType status = PQresultStatus(next);
        if (status == PGRES_COPY_IN && stopAtCopyIn) {
            PQclear(next);
            return Status::Ok();
        }
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && refused.empty()) {
            const char* primary = PQresultErrorField(next, PG_DIAG_MESSAGE_PRIMARY);
            refused = Words(primary ? primary : PQresultErrorMessage(next));
            refusal = KindOfSqlState(PQresultErrorField(next, PG_DIAG_SQLSTATE));
        }
        last.reset(next, PQclear);
    }
    if (PQstatus(conn_) == CONNECTION_BAD)
        return Lost(refused.empty() ? Words(PQerrorMessage(conn_)) : refused);
    if (!refused.empty())
        return Status::Error(refusal, "the database at " + where_ + " refused", refused);
    if (stopAtCopyIn)
        return Status::Error(StatusKind::Io, "the database at " + where_ + " refused",
                             "it did not take the copy");
    if (result) result->result_ = std::move(last);
    return Status::Ok();
}

Status PgConnection::Exec(const std::string& sql, const std::vector<std::string>& params,
                          const StopWake* stop, std::chrono::milliseconds limit, PgResult* result) {
    if (!conn_) return Status::Error(StatusKind::Lost, "not connected to the database");
    std::vector<const char*> values;
    for (const std::string& param : params) values.push_back(param.c_str());
    if (!PQsendQueryParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                           values.data(), nullptr, nullptr, 0))
        return Lost(Words(PQerrorMessage(conn_)));
    const auto deadline = Clock::now() + limit;
    if (Status flushed = Flush(stop, deadline, limit); !flushed.ok()) return flushed;
    return Collect(stop, deadline, limit, result, false);
}

Status PgConnection::CopyIn(const std::string& sql, std::string_view data, const StopWake* stop,
                            std::chrono::milliseconds limit, PgResult* result) {
    if (!conn_) return Status::Error(StatusKind::Lost, "not connected to the database");
    if (!PQsendQuery(conn_, sql.c_str())) return Lost(Words(PQerrorMessage(conn_)));
    const auto deadline = Clock::now() + limit;
    if (Status flushed = Flush(stop, deadline, limit); !flushed.ok()) return flushed;
    // The server says it takes the data, or why not (then that is all it says).
    if (Status taking = Collect(stop, deadline, limit, nullptr, true); !taking.ok()) return taking;
    // Queued a piece at a time; 0 is a full buffer: wait until the socket takes more.
    constexpr std::size_t PIECE = 256 * 1024;
    const auto put = [&](const auto& once) -> Status {
        for (int done; (done = once()) != 1;) {
            if (done < 0) return Lost(Words(PQerrorMessage(conn_)));
            if (std::string failed = Wait(true, stop, deadline, limit); !failed.empty())
                return Lost(failed);
            if (PQflush(conn_) < 0 || !PQconsumeInput(conn_))
                return Lost(Words(PQerrorMessage(conn_)));
        }
        return Status::Ok();
    };
    for (std::size_t at = 0; at < data.size(); at += PIECE) {
        const std::string_view piece = data.substr(at, PIECE);
        const Status queued =
            put([&] { return PQputCopyData(conn_, piece.data(), static_cast<int>(piece.size())); });
        if (!queued.ok()) return queued;
    }
    if (Status ended = put([&] { return PQputCopyEnd(conn_, nullptr); }); !ended.ok()) return ended;
    if (Status flushed = Flush(stop, deadline, limit); !flushed.ok()) return flushed;
    return Collect(stop, deadline, limit, result, false);
}

}  // namespace qvlink::records
