// What the virtual receiver is told to do, from its command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "status.h"

namespace qvlink::sim {

enum class Announce { BlockCrc, BlockSum, Bulk, Cancel, Silent };

struct SimOptions {
    std::string firmwarePath;
    std::string devicePath;  // serve here instead of on a new pseudo-terminal
    std::string logPath;
    std::vector<Announce> announcements{Announce::BlockCrc};  // receiver i plays entry (i-1) % size
    int noiseBytes = 0;
    int verdict = 0;  // bulk path: the byte sent after the checksum's acknowledgement
    bool burnFails = false;
    int nakBlock = 0;  // block protocol faults, by block number counted from 1
    int cancelAt = 0;
    bool nakEot = false;
    bool earlyC = false;
    std::optional<int> stallAt;  // go silent instead of answering block/chunk K (see --help)
    bool stallVerdict = false;
    bool stallBurn = false;
    int devices = 1;  // per port; 0: serve until stopped
    int ports = 1;    // pseudo-terminals, each with its own receivers
    int baud = 0;     // 0: as fast as the line goes
    int timeoutSeconds = 30;
};

// Parses argv into `*parsed`. On a usage error the status (Usage) says what is wrong; `--help`
// sets `*helpAsked` (and the status is ok).
Status ParseSimOptions(int argc, char** argv, SimOptions* parsed, bool* helpAsked);

extern const char* const SIM_USAGE;

}  // namespace qvlink::sim
