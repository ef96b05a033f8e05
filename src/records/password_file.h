// The password file libpq reads when a setting holds no password: which file that is, and
// whether libpq will use it. On Linux libpq passes over a file that others may read (or that is
// no regular file) and says so itself on stderr, at every attempt to connect: over a terminal's
// board, among a station's messages, while the failure reads only "no password supplied". The
// connection says it in its own failure's words instead (PgConnection::Open).
#pragma once

#include <string>

#include "status.h"

namespace qvlink::records {

// The file libpq reads: `passfile` (the setting's own, may be empty), else the one PGPASSFILE
// names, else the system's place; empty when there is none.
std::string PasswordFilePath(const std::string& passfile);

// Ok when libpq would read the file at `path`, or finds none there. Otherwise Denied, with why
// libpq passes over it and what makes it usable; libpq is then given NoPasswordFile() instead,
// so that it passes over it without a word of its own.
Status PasswordFileUsable(const std::string& path);

// A path at which libpq finds no file, and says nothing.
const char* NoPasswordFile();

}  // namespace qvlink::records
