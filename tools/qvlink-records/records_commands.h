// What qvlink-records does, apart from reading its command line: each returns the exit status.
#pragma once

#include <string>
#include <vector>

#include "yield_report.h"

namespace qvlink::records {

inline constexpr int EXIT_LINES_SKIPPED = 1;
inline constexpr int EXIT_NEEDS_A_HAND = 1;
inline constexpr int EXIT_FAILED = 2;

// Sends every line of `files`; progress on stderr, the summary on stdout.
int PushFiles(const std::string& conninfo, const std::vector<std::string>& files);

struct ReportRequest {
    std::string conninfo;  // with `database`: from the database
    bool database = false;
    std::vector<std::string> files;  // else from these
    std::string since, until;        // as given
    std::string station;
    bool csv = false;
    ReportTable table = ReportTable::Default;
};
int Report(const ReportRequest& request);

// Prints the floor from the live state of every station in the database.
int ShowFloor(const std::string& conninfo);

}  // namespace qvlink::records
