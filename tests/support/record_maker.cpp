// record_maker: writes record lines as the stations write them, for the tests and the benchmark
// of the record database. record_maker COUNT [STATION [PORTS]] prints COUNT lines to stdout
// (see made_records.h).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "made_records.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: record_maker COUNT [STATION [PORTS]]\n");
        return 2;
    }
    const long count = std::atol(argv[1]);
    const std::string station = argc > 2 ? argv[2] : "line-1";
    const int ports = argc > 3 ? std::atoi(argv[3]) : 4;
    for (long i = 0; i < count; ++i)
        std::puts(qvlink::test::MadeRecordLine(i, station, ports).c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}
