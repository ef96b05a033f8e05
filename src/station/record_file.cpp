#include "record_file.h"

namespace qvlink::station {

Status RecordFile::Append(const std::string& line) {
    std::lock_guard lock(mutex_);
    const Status written = AppendLocked((needsNewline_ ? "\n" : "") + line + "\n");
    if (written.ok()) needsNewline_ = false;
    return written;
}

}  // namespace qvlink::station
