// Replacing a small file (the note of what was sent, the station's settings) so that a crash or
// a power cut leaves either the old contents or the new, never a mix: written to a temporary
// beside PATH, flushed to the disk, renamed over PATH. The temporary is made new under a name of
// its own ("PATH.new." and a unique ending): whatever already lies there, a temporary left by a
// crash or a link planted to another file, is never opened, let alone written through, and never
// stands in the way. On every failure the temporary is removed again and PATH is as it was.
#pragma once

#include <string>

#include "status.h"

namespace qvlink {

Status ReplaceFileDurably(const std::string& path, const std::string& contents);

}  // namespace qvlink
