#include "sim_options.h"

#include <cstdlib>
#include <cstring>
#include <map>

#include "firmware_argument.h"

namespace qvlink::sim {

const char* const SIM_USAGE =
    "Usage: qvlink-sim [options] FILE.bin\n"
    "Plays one receiver, or several in a row, on a new pseudo-terminal and prints the path of the\n"
    "device the flasher should open as the first line of stdout. Each receiver checks every byte\n"
    "it gets against FILE.bin and prints a one-line verdict. Exit status 0 only when every\n"
    "receiver got exactly the right bytes and saw no protocol error; 2 for usage errors.\n"
    "\n"
    "  --ports N           serve N pseudo-terminals at once, each with its own receivers (the\n"
    "                      same options for each); their paths come first, one per line, and\n"
    "                      every later line starts with the path of its port\n"
    "  --device PATH       serve on an existing device instead of a new pseudo-terminal\n"
    "  --protocol P[,P...]\n"
    "                      how each receiver announces itself: block-crc ('C', the default),\n"
    "                      block-sum (NAK), bulk (0x77), cancel (CAN), silent (nothing); with a\n"
    "                      list, receiver i plays entry i, starting again at the end of the list\n"
    "  --noise N           send N bytes of boot chatter before the announcement\n"
    "  --devices N         serve N receivers one after another on each port (0: until stopped;\n"
    "                      default 1)\n"
    "  --baud B            take the time B baud would take for every byte (8N1)\n"
    "  --verdict V         bulk: the verdict byte after the checksum (0 accepts; 3, 4, 5 refuse)\n"
    "  --burn-fail         end the burn with BURN_FAILED instead of BURN_DONE\n"
    "  --nak-block K       NAK block K once and expect the identical block again\n"
    "  --cancel-at K       send CAN CAN instead of acknowledging block K\n"
    "  --nak-eot           NAK the first EOT\n"
    "  --early-c           send a second 'C' before acknowledging block 1; expect block 1 again\n"
    "  --stall-at K        go silent instead of answering block or chunk K (counted from 1); the\n"
    "                      EOT or checksum is K = 1026 or 257; bulk K = 0 never sends BULK_READY\n"
    "  --stall-verdict     bulk: go silent instead of sending the verdict\n"
    "  --stall-burn        go silent instead of reporting the burn\n"
    "  --timeout S         give up when an expected byte does not come for S seconds (default 30)\n"
    "  --log FILE          write a timestamped transcript of every byte each way\n"
    "  --help              show this text\n"
    "  --version           print the program's name and version\n";

namespace {

bool ParseNumber(const char* text, int& out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 100'000'000) return false;
    out = static_cast<int>(value);
    return true;
}

const std::map<std::string, Announce> ANNOUNCEMENTS = {
    {"block-crc", Announce::BlockCrc}, {"block-sum", Announce::BlockSum}, {"bulk", Announce::Bulk},
    {"cancel", Announce::Cancel},      {"silent", Announce::Silent},
};

bool ParseAnnouncements(const std::string& list, std::vector<Announce>& out) {
    out.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        const auto found = ANNOUNCEMENTS.find(list.substr(start, comma - start));
        if (found == ANNOUNCEMENTS.end()) return false;
        out.push_back(found->second);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

}  // namespace

Status ParseSimOptions(int argc, char** argv, SimOptions* parsed, bool* helpAsked) {
    SimOptions options;
    const std::map<std::string, bool*> flags = {
        {"--burn-fail", &options.burnFails},  {"--nak-eot", &options.nakEot},
        {"--early-c", &options.earlyC},       {"--stall-verdict", &options.stallVerdict},
        {"--stall-burn", &options.stallBurn},
    };
    const std::map<std::string, int*> numbers = {
        {"--noise", &options.noiseBytes},   {"--devices", &options.devices},
        {"--ports", &options.ports},        {"--baud", &options.baud},
        {"--verdict", &options.verdict},    {"--nak-block", &options.nakBlock},
        {"--cancel-at", &options.cancelAt}, {"--timeout", &options.timeoutSeconds},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            *helpAsked = true;
            return Status::Ok();
        } else if (auto flag = flags.find(arg); flag != flags.end()) {
            *flag->second = true;
        } else if (auto number = numbers.find(arg); number != numbers.end()) {
            if (!hasValue || !ParseNumber(argv[++i], *number->second))
                return Status::Error(StatusKind::Usage, arg + " needs a whole number");
        } else if (arg == "--stall-at") {
            int value = 0;
            if (!hasValue || !ParseNumber(argv[++i], value))
                return Status::Error(StatusKind::Usage, "--stall-at needs a whole number");
            options.stallAt = value;
        } else if (arg == "--protocol") {
            if (!hasValue || !ParseAnnouncements(argv[++i], options.announcements))
                return Status::Error(
                    StatusKind::Usage,
                    "--protocol takes a list of block-crc, block-sum, bulk, cancel and silent");
        } else if (arg == "--device" || arg == "--log") {
            if (!hasValue) return Status::Error(StatusKind::Usage, arg + " needs a path");
            (arg == "--device" ? options.devicePath : options.logPath) = argv[++i];
        } else if (Status taken = tools::TakeFirmwareArgument(arg, &options.firmwarePath);
                   !taken.ok()) {
            return taken;
        }
    }
    if (options.firmwarePath.empty())
        return Status::Error(StatusKind::Usage, "a firmware file is needed");
    if (options.ports < 1 || options.ports > 64)
        return Status::Error(StatusKind::Usage, "--ports takes 1 to 64");
    if (options.ports > 1 && (!options.devicePath.empty() || !options.logPath.empty()))
        return Status::Error(StatusKind::Usage, "--device and --log take one port");
    *parsed = std::move(options);
    return Status::Ok();
}

}  // namespace qvlink::sim
