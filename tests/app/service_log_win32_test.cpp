// The service's log on Windows: what it is given reaches the file with CR LF line ends, and a
// file that has reached its bound is kept as ".1" (the one before replaced) while a new one
// begins, so that a station running for months never fills its disk.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "service_log.h"

namespace qvlink {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes `text` to a log bound to `keep` bytes at `file`, and closes it.
void Log(const fs::path& file, std::uint64_t keep, const std::string& text) {
    ServiceLog log(keep);
    ASSERT_TRUE(log.Open(file).ok());
    EXPECT_TRUE(log.Out(text));
    EXPECT_TRUE(log.Close(30)) << "the file did not take the text";
}

TEST(ServiceLog, AFileAtItsBoundIsKeptAsTheOlderOneAndANewOneBegins) {
    const fs::path dir =
        fs::temp_directory_path() / ("qvlink-log-" + std::to_string(GetCurrentProcessId()));
    std::error_code ignored;
    fs::remove_all(dir, ignored);  // a run that failed may have left it
    fs::create_directories(dir);
    const fs::path file = dir / "station.log", older = dir / "station.log.1";
    const std::string line(99, 'x');

    Log(file, 1000, line + "\n");
    EXPECT_EQ(Contents(file), line + "\r\n") << "under its bound the file is kept";
    EXPECT_FALSE(fs::exists(older));

    Log(file, 100, "second\n");  // the file (101 bytes) is at its bound before this write
    EXPECT_EQ(Contents(older), line + "\r\n");
    EXPECT_EQ(Contents(file), "second\r\n");

    Log(file, 8, "third\n");  // the ".1" before is replaced
    EXPECT_EQ(Contents(older), "second\r\n");
    EXPECT_EQ(Contents(file), "third\r\n");
    fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace qvlink
