#include "program_version.h"

#include <cstdio>
#include <string_view>

#include "version_stamp.h"

namespace qvlink {

std::string VersionLine(const std::string& program) {
    std::string line = program + " (Quorvane Link) " + QVLINK_VERSION;
    if (std::string_view(QVLINK_COMMIT).empty()) return line;
    return line + " (commit " + QVLINK_COMMIT + ")";
}

std::string ProgramVersion() {
    if (std::string_view(QVLINK_COMMIT).empty()) return QVLINK_VERSION;
    return std::string(QVLINK_VERSION) + "+" + QVLINK_COMMIT;
}

bool PrintVersionIfAsked(int argc, char** argv, const std::string& program) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) != "--version") continue;
        std::printf("%s\n", VersionLine(program).c_str());
        std::fflush(stdout);
        return true;
    }
    return false;
}

}  // namespace qvlink
