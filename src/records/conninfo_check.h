// What a database setting may hold: libpq's connection settings, but never a password, which
// belongs in ~/.pgpass (or the file PGPASSFILE names), readable by its owner only.
#pragma once

#include <string>

#include "status.h"

namespace qvlink::records {

// Ok for a URI or "key=value ..." string libpq understands and that carries no password.
Status CheckConnInfo(const std::string& conninfo);

}  // namespace qvlink::records
