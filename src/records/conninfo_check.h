// What a database setting may hold: libpq's connection settings, but never a password, which
// belongs in the password file libpq reads (~/.pgpass on Linux, %APPDATA%\postgresql\pgpass.conf
// on Windows, or the file PGPASSFILE names), readable by its owner only. A client built with a
// libpq without TLS refuses a setting that insists on TLS, in words, before it is used; the Linux
// and Windows programs speak TLS, so sslmode require, verify-ca and verify-full pass.
#pragma once

#include <string>

#include "status.h"

namespace qvlink::records {

// Ok for a URI or "key=value ..." string libpq understands, that carries no password, and whose
// sslmode (or PGSSLMODE) this build can honour.
Status CheckConnInfo(const std::string& conninfo);

// Where the password goes on this system, in the operator's words.
std::string PasswordFilePlace();

}  // namespace qvlink::records
