#include "conninfo_check.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

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

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Where each password in a "key=value ..." setting lies, read as libpq reads it: the value after
// "password =", quoted ('...', with backslash escapes, unterminated up to the end) or up to the
// next space.
std::vector<std::pair<std::size_t, std::size_t>> KeywordPasswords(const std::string& text) {
    std::vector<std::pair<std::size_t, std::size_t>> found;
    const std::string keyword = "password";
    for (std::size_t at = 0; (at = text.find(keyword, at)) != std::string::npos;
         at += keyword.size()) {
        if (at > 0 && !IsSpace(text[at - 1])) continue;
        std::size_t i = at + keyword.size();
        while (i < text.size() && IsSpace(text[i])) ++i;
        if (i == text.size() || text[i] != '=') continue;
        ++i;
        while (i < text.size() && IsSpace(text[i])) ++i;
        std::size_t end = i;
        if (end < text.size() && text[end] == '\'') {
            for (++end; end < text.size() && text[end] != '\''; ++end)
                if (text[end] == '\\' && end + 1 < text.size()) ++end;
            end = std::min(end + 1, text.size());
        } else {
            while (end < text.size() && !IsSpace(text[end])) ++end;
        }
        if (end > i) found.emplace_back(i, end);
    }
    return found;
}

// Where the password of a URI lies: after "user:" before the host's "@", and every
// "password=" parameter after the "?".
std::vector<std::pair<std::size_t, std::size_t>> UriPasswords(const std::string& text) {
    std::vector<std::pair<std::size_t, std::size_t>> found;
    const std::size_t authority = text.find("://") + 3;
    const std::size_t authorityEnd = std::min(text.find_first_of("/?", authority), text.size());
    const std::size_t at = text.rfind('@', authorityEnd);
    if (at != std::string::npos && at >= authority) {
        const std::size_t colon = text.find(':', authority);
        if (colon < at) found.emplace_back(colon + 1, at);
    }
    const std::size_t query = text.find('?', authority);
    for (std::size_t start = query; start < text.size();) {
        const std::size_t end = std::min(text.find('&', start + 1), text.size());
        const std::string parameter = text.substr(start + 1, end - start - 1);
        if (parameter.rfind("password=", 0) == 0) found.emplace_back(start + 10, end);
        start = end;
    }
    return found;
}

bool IsUri(const std::string& text) {
    return text.rfind("postgresql://", 0) == 0 || text.rfind("postgres://", 0) == 0;
}

// The setting as it may be shown: every password in it, and every piece of one that `also`
// (libpq's words about the setting) repeats, replaced by "***".
std::string WithoutPasswords(const std::string& setting, std::string text) {
    const auto places = IsUri(setting) ? UriPasswords(setting) : KeywordPasswords(setting);
    for (const auto& [begin, end] : places) {
        const std::string secret = setting.substr(begin, end - begin);
        for (std::size_t at; !secret.empty() && (at = text.find(secret)) != std::string::npos;)
            text.replace(at, secret.size(), "***");
    }
    return text;
}

}  // namespace

Status CheckConnInfo(const std::string& conninfo) {
    // libpq takes an empty setting as the local server's default database: never what a station
    // that names a database means.
    if (std::all_of(conninfo.begin(), conninfo.end(), IsSpace))
        return Status::Error(StatusKind::Usage, "the database setting is empty",
                             "name the database: a URI (postgresql://host/db) or "
                             "\"host=... dbname=... user=...\"");
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &error);
    if (!options) {
        std::string cause = error ? error : "out of memory";
        PQfreemem(error);
        while (!cause.empty() && cause.back() == '\n') cause.pop_back();
        return Status::Error(StatusKind::Usage,
                             "the database setting \"" + WithoutPasswords(conninfo, conninfo) +
                                 "\" is not understood",
                             WithoutPasswords(conninfo, cause));
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
