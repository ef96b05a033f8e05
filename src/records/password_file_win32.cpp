#include "conninfo_check.h"

namespace qvlink::records {

std::string PasswordFilePlace() {
    return "%APPDATA%\\postgresql\\pgpass.conf (or the file PGPASSFILE names)";
}

}  // namespace qvlink::records
