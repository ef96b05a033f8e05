#include <cstdlib>

#include "conninfo_check.h"
#include "password_file.h"

namespace qvlink::records {

std::string PasswordFilePlace() {
    return "%APPDATA%\\postgresql\\pgpass.conf (or the file PGPASSFILE names)";
}

std::string PasswordFilePath(const std::string& passfile) {
    if (!passfile.empty()) return passfile;
    if (const char* named = std::getenv("PGPASSFILE"); named && *named) return named;
    if (const char* appData = std::getenv("APPDATA"); appData && *appData)
        return std::string(appData) + "\\postgresql\\pgpass.conf";
    return {};
}

// libpq on Windows reads the file whatever its access rights: the folder is the user's own.
Status PasswordFileUsable(const std::string&) {
    return Status::Ok();
}

const char* NoPasswordFile() {
    return "NUL\\none";
}

}  // namespace qvlink::records
