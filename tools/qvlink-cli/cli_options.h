// The command line of qvlink-cli.
#pragma once

#include <optional>
#include <string>

namespace qvlink::cli {

struct CliOptions {
    std::string port;  // COM1..COM8 or a device path
    std::string firmwarePath;
    std::string tracePath;
    bool continuous = false;
    int count = 0;  // stop after this many finished receivers; 0: no limit
};

// nullopt on a usage error (with `error` set) or when help was asked for (`helpAsked`).
std::optional<CliOptions> ParseCliOptions(int argc, char** argv, std::string& error,
                                          bool& helpAsked);

extern const char* const CLI_USAGE;

}  // namespace qvlink::cli
