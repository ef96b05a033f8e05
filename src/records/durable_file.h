// Replacing a small file so that a crash or a power cut leaves either the old contents or the
// new, never a mix: written to "PATH.new", flushed to the disk, renamed over PATH.
#pragma once

#include <string>

#include "status.h"

namespace qvlink::records {

Status ReplaceFileDurably(const std::string& path, const std::string& contents);

}  // namespace qvlink::records
