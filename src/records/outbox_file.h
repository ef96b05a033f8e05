// A record file opened for reading by the forwarder, and what is at its path now: the file stays
// readable after it has been moved away or deleted, so that its last lines are sent before the
// forwarder turns to the new file under the path. Owns its descriptor (on Windows its handle,
// opened so that the station keeps appending and the file can still be moved or deleted); one
// thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "status.h"

namespace qvlink::records {

class OutboxFile {
  public:
    OutboxFile() = default;
    ~OutboxFile();
    OutboxFile(const OutboxFile&) = delete;
    OutboxFile& operator=(const OutboxFile&) = delete;

    // A missing file is a NotFound error: no fault, nothing was recorded yet.
    Status Open(const std::string& path);
    bool open() const;
    void Close();
    const std::string& identity() const { return identity_; }
    std::uint64_t Size() const;
    // Reads up to `size` bytes at `offset`; the count read (0 at the end), or -1.
    long long ReadAt(std::uint64_t offset, char* into, std::size_t size) const;

    // Where the open file is now (after a move, its new path); empty when it was deleted or
    // the system cannot say.
    std::string CurrentPath() const;

    // The identity of the file at `path` now; empty if there is none.
    static std::string IdentityAt(const std::string& path);

  private:
#ifdef _WIN32
    void* handle_ = nullptr;  // the file's HANDLE, null when closed
#else
    int fd_ = -1;
#endif
    std::string identity_;
};

}  // namespace qvlink::records
