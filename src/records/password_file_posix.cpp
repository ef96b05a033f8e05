#include "conninfo_check.h"

namespace qvlink::records {

std::string PasswordFilePlace() {
    return "~/.pgpass (or the file PGPASSFILE names)";
}

}  // namespace qvlink::records
