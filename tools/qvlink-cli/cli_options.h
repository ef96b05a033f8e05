// The command line of qvlink-cli.
#pragma once

#include <string>
#include <vector>

#include "status.h"

namespace qvlink::cli {

struct CliOptions {
    std::vector<std::string> ports;  // COM names or device paths, each once, in the order given
    std::string firmwarePath;
    std::string tracePath;   // only with one port
    std::string recordPath;  // append one line per receiver
    std::string station;     // the station's name in the record; empty: the host's name
    std::string database;    // libpq's connection settings: the record is sent there too
    bool databaseGiven = false;
    int databaseWait = 10;  // seconds to send what is unsent before exiting
    bool continuous = false;
    int count = 0;  // per port: stop after this many finished receivers; 0: no limit
    // Per port: stop after this many receivers in a row failed or cancelled; 0: never.
    int outOfServiceAfter = 3;
};

// Fills `options`; on a usage error the status says what is wrong. `helpAsked` is set (and the
// status ok) when --help was given.
Status ParseCliOptions(int argc, char** argv, CliOptions* options, bool* helpAsked);

// The text --help prints.
std::string CliUsage();

}  // namespace qvlink::cli
