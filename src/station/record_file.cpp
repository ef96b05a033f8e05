#include "record_file.h"

namespace qvlink::station {

Status RecordFile::Append(const std::string& line, std::string* notice) {
    MutexLock lock(mutex_);
    std::string followed;
    const Status followedStatus = FollowLocked(&followed);
    if (notice != nullptr) *notice = followed;
    if (!followedStatus.ok()) return followedStatus;
    return AppendLocked(line + "\n");
}

}  // namespace qvlink::station
