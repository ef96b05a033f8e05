// The command line of qvlink-cli.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qvlink::cli {

// More ports than this in one run is a usage error (the stop signal reaches a fixed table).
inline constexpr std::size_t MAX_PORTS = 128;

struct CliOptions {
    std::vector<std::string> ports;  // COM names or device paths, each once, in the order given
    std::string firmwarePath;
    std::string tracePath;   // only with one port
    std::string recordPath;  // append one line per finished receiver
    bool continuous = false;
    int count = 0;  // per port: stop after this many finished receivers; 0: no limit
};

// nullopt on a usage error (with `error` set) or when help was asked for (`helpAsked`).
std::optional<CliOptions> ParseCliOptions(int argc, char** argv, std::string& error,
                                          bool& helpAsked);

// The text --help prints.
std::string CliUsage();

}  // namespace qvlink::cli
