#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "conninfo_check.h"
#include "password_file.h"

namespace qvlink::records {

std::string PasswordFilePlace() {
    return "~/.pgpass (or the file PGPASSFILE names)";
}

std::string PasswordFilePath(const std::string& passfile) {
    if (!passfile.empty()) return passfile;
    if (const char* named = std::getenv("PGPASSFILE"); named && *named) return named;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.pgpass";
    return {};
}

Status PasswordFileUsable(const std::string& path) {
    struct stat found {};
    if (path.empty() || ::stat(path.c_str(), &found) != 0) return Status::Ok();
    if (!S_ISREG(found.st_mode))
        return Status::Error(StatusKind::Denied,
                             "the password file " + path + " is not used: it is no regular file");
    // libpq's own rule: no access at all for the group or others.
    if ((found.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(found.st_mode & 0777));
        return Status::Error(
            StatusKind::Denied,
            "the password file " + path + " is not used: others may read it (mode " + mode + ")",
            "make it its owner's alone: chmod 600 " + path);
    }
    return Status::Ok();
}

const char* NoPasswordFile() {
    return "/dev/null/none";  // beneath no folder: libpq's stat fails and it reads nothing
}

}  // namespace qvlink::records
