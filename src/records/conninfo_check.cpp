#include "conninfo_check.h"

#include <libpq-fe.h>

#include <cstdlib>
#include <memory>

namespace qvlink::records {
namespace {

// The sslmode the setting asks for: its own, else PGSSLMODE's; "requiressl=1" is libpq's old
// spelling of "require".
std::string SslModeOf(const PQconninfoOption* options) {
    std::string mode;
    for (const PQconninfoOption* option = options; option->keyword; ++option) {
        if (!option->val || !*option->val) continue;
        const std::string keyword = option->keyword;
        if (keyword == "sslmode") return option->val;
        if (keyword == "requiressl" && std::string(option->val) == "1") mode = "require";
    }
    if (mode.empty())
        if (const char* environment = std::getenv("PGSSLMODE")) mode = environment;
    return mode;
}

}  // namespace

Status CheckConnInfo(const std::string& conninfo) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &error);
    if (!options) {
        std::string cause = error ? error : "out of memory";
        PQfreemem(error);
        while (!cause.empty() && cause.back() == '\n') cause.pop_back();
        return Status::Error(StatusKind::Usage,
                             "the database setting \"" + conninfo + "\" is not understood", cause);
    }
    const std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)> owned(options,
                                                                             PQconninfoFree);
    for (const PQconninfoOption* option = options; option->keyword; ++option) {
        if (std::string(option->keyword) == "password" && option->val && *option->val)
            return Status::Error(
                StatusKind::Usage, "the database setting holds a password, which is not kept there",
                "put it in " + PasswordFilePlace() +
                    ", readable only by its owner, and leave it out of the setting");
    }
    // libpq itself would refuse such a setting only at each attempt to connect.
    const bool withTls = PQsslAttribute(nullptr, "library") != nullptr;
    if (const std::string mode = SslModeOf(options);
        !withTls && (mode == "require" || mode == "verify-ca" || mode == "verify-full"))
        return Status::Error(StatusKind::Usage,
                             "the database setting asks for TLS (sslmode " + mode +
                                 "), which this build cannot speak",
                             "it talks to the database without TLS: use sslmode disable, allow "
                             "or prefer, on a network the station can trust");
    return Status::Ok();
}

}  // namespace qvlink::records
