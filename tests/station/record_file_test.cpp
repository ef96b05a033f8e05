// The record file only ever holds whole lines: a line that cannot be written whole is cut away,
// a file that ends inside a line gets the next line on a line of its own, and files that cannot
// be synced (/dev/null, a pipe) take lines all the same.
#include "record_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <thread>

#include "firmware_fixtures.h"
#include "record_line.h"
#include "write_signals.h"

namespace qvlink::station {
namespace {

std::string FileText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Keeps writes past `bytes` from growing any file of this process while it lives.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }

  private:
    rlimit saved_{};
};

TEST(StationName, CountsCharactersNotBytesAndRefusesSpacesAlone) {
    std::string cjk22;
    for (int i = 0; i < 22; ++i) cjk22 += "线";  // 3 bytes each
    std::string cjk64, cjk65;
    for (int i = 0; i < 64; ++i) cjk64 += "线";
    cjk65 = cjk64 + "x";
    const std::pair<std::string, bool> cases[] = {
        {"line 3", true},
        {"x", true},
        {std::string(64, 's'), true},
        {cjk22, true},
        {cjk64, true},
        {" line 3 ", true},
        {"", false},
        {" ", false},
        {"   ", false},
        {std::string(65, 's'), false},
        {cjk65, false},
        {"line\t3", false},
        {"line\x7f", false},
    };
    for (const auto& [name, good] : cases) EXPECT_EQ(IsStationName(name), good) << name;
}

TEST(RecordFile, ALineThatDoesNotFitIsCutAwayAndTheNextOneIsWhole) {
    test::ScratchDir dir;
    const auto path = dir.Path() / "record.jsonl";
    std::unique_ptr<RecordFile> record;
    ASSERT_TRUE(RecordFile::Open(path.string(), &record).ok());
    ASSERT_TRUE(record->Append(R"({"receiver":1})").ok());
    {
        const FileSizeLimit limit(std::filesystem::file_size(path) + 10);
        const Status torn = record->Append(R"({"receiver":2,"result_text":"Upgrade Completed"})");
        EXPECT_FALSE(torn.ok());
        EXPECT_NE(torn.cause().find("cut away"), std::string::npos) << torn.ToString();
    }
    EXPECT_EQ(FileText(path), "{\"receiver\":1}\n");
    ASSERT_TRUE(record->Append(R"({"receiver":3})").ok());
    EXPECT_EQ(FileText(path), "{\"receiver\":1}\n{\"receiver\":3}\n");
}

TEST(RecordFile, AFileEndingInsideALineGetsTheFirstNewLineOnALineOfItsOwn) {
    test::ScratchDir dir;
    const auto path =
        dir.Write("record.jsonl", {'{', '"', 'a', '"', ':', '1', '}', '\n', '{', '"'});
    std::unique_ptr<RecordFile> record;
    ASSERT_TRUE(RecordFile::Open(path.string(), &record).ok());
    ASSERT_TRUE(record->Append("{}").ok());
    ASSERT_TRUE(record->Append("{}").ok());
    EXPECT_EQ(FileText(path), "{\"a\":1}\n{\"\n{}\n{}\n");
}

TEST(RecordFile, DevNullAndAPipeTakeLines) {
    // Neither is a file that can be moved away: no line takes it for one that was.
    std::string notice;
    std::unique_ptr<RecordFile> record;
    ASSERT_TRUE(RecordFile::Open("/dev/null", &record).ok());
    EXPECT_TRUE(record->Append("{}", &notice).ok()) << "a file that cannot be synced is no failure";
    EXPECT_TRUE(record->Append("{}", &notice).ok());
    EXPECT_EQ(notice, "");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_TRUE(RecordFile::Open("/dev/fd/" + std::to_string(fds[1]), &record).ok());
    for (int line = 0; line < 2; ++line) {
        const Status piped = record->Append("{\"piped\":1}", &notice);
        EXPECT_TRUE(piped.ok()) << piped.ToString();
        EXPECT_EQ(notice, "");
    }
    char got[32] = {};
    EXPECT_EQ(read(fds[0], got, sizeof got), 24);
    EXPECT_STREQ(got, "{\"piped\":1}\n{\"piped\":1}\n");
    record.reset();
    close(fds[0]);
    close(fds[1]);
}

TEST(RecordFile, AFileMovedOrDeletedIsStartedAgainUnderItsPathAndSaidOnce) {
    struct Case {
        const char* name;
        void (*takeAway)(const std::filesystem::path& path);
        std::string oldFileKeeps;
    };
    const std::vector<Case> cases = {
        {"moved", [](const auto& path) { std::filesystem::rename(path, path.string() + ".1"); },
         "{\"receiver\":1}\n"},
        {"deleted", [](const auto& path) { std::filesystem::remove(path); }, ""},
        {"replaced",
         [](const auto& path) {
             std::filesystem::rename(path, path.string() + ".1");
             std::ofstream(path) << "{\"other\":1}\n";
         },
         "{\"receiver\":1}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ScratchDir dir;
        const auto path = dir.Path() / "record.jsonl";
        std::unique_ptr<RecordFile> record;
        ASSERT_TRUE(RecordFile::Open(path.string(), &record).ok());
        ASSERT_TRUE(record->Append(R"({"receiver":1})").ok());
        c.takeAway(path);
        std::string notice;
        ASSERT_TRUE(record->Append(R"({"receiver":2})", &notice).ok());
        EXPECT_NE(notice.find(path.string()), std::string::npos) << notice;
        ASSERT_TRUE(record->Append(R"({"receiver":3})", &notice).ok());
        EXPECT_EQ(notice, "") << "said once";
        const std::string before = std::string(c.name) == "replaced" ? "{\"other\":1}\n" : "";
        EXPECT_EQ(FileText(path), before + "{\"receiver\":2}\n{\"receiver\":3}\n");
        if (!c.oldFileKeeps.empty()) {
            EXPECT_EQ(FileText(path.string() + ".1"), c.oldFileKeeps);
        }
    }
}

TEST(RecordFile, APipeWithNoReaderIsRefusedAndOneWhoseReaderLeftFails) {
    IgnoreWriteSignals();
    test::ScratchDir dir;
    const auto fifo = dir.Path() / "record.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::unique_ptr<RecordFile> record;
    const Status noReader = RecordFile::Open(fifo.string(), &record);
    EXPECT_FALSE(noReader.ok()) << "refused at once, not waited for";
    EXPECT_NE(noReader.cause().find("no program reads"), std::string::npos) << noReader.ToString();

    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(RecordFile::Open(fifo.string(), &record).ok());
    ASSERT_TRUE(record->Append("{}").ok());
    close(reader);
    const Status left = record->Append("{}");
    EXPECT_FALSE(left.ok()) << "the reader left: the line was not recorded";
}

// Whether another open file description waits for a lock on the file with inode `inode`.
bool SomeoneWaitsForALockOn(ino_t inode) {
    std::ifstream locks("/proc/locks");
    const std::string suffix = ":" + std::to_string(inode) + " ";
    for (std::string line; std::getline(locks, line);)
        if (line.find("->") != std::string::npos && line.find(suffix) != std::string::npos)
            return true;
    return false;
}

TEST(RecordFile, AnAppendWaitsWhileAnotherProgramHoldsTheFile) {
    test::ScratchDir dir;
    const auto path = dir.Path() / "record.jsonl";
    std::unique_ptr<RecordFile> record;
    ASSERT_TRUE(RecordFile::Open(path.string(), &record).ok());
    // Another program's append in progress: the file locked and its line half written.
    const int other = open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    ASSERT_EQ(write(other, "{\"other\":", 9), 9);
    std::thread ours([&] { EXPECT_TRUE(record->Append(R"({"ours":1})").ok()); });
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!SomeoneWaitsForALockOn(info.st_ino) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_EQ(write(other, "1}\n", 3), 3);
    flock(other, LOCK_UN);
    ours.join();
    close(other);
    EXPECT_EQ(FileText(path), "{\"other\":1}\n{\"ours\":1}\n") << "neither line cut";
}

TEST(RecordFile, AFolderThatIsNotThereIsRefusedWithTheCause) {
    std::unique_ptr<RecordFile> record;
    const Status opened = RecordFile::Open("/nonexistent-folder/record.jsonl", &record);
    EXPECT_FALSE(opened.ok());
    EXPECT_EQ(opened.message(),
              "cannot append to the record file /nonexistent-folder/record.jsonl");
    EXPECT_FALSE(opened.cause().empty());
    EXPECT_EQ(record, nullptr);
}

}  // namespace
}  // namespace qvlink::station
