// A line of a record file that did not reach the database, and why: no record (the reader's
// words), or a record the database refused (the server's).
#pragma once

#include <cstdint>
#include <string>

namespace qvlink::records {

struct SkippedLine {
    std::uint64_t line = 0;  // 1 for the file's first line
    std::string why;
};

}  // namespace qvlink::records
