// The record file only ever holds whole lines: a line that cannot be written whole is cut away,
// a file that ends inside a line gets the next line on a line of its own, and files that cannot
// be synced (/dev/null, a pipe) take lines all the same.
#include "record_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>

#include "firmware_fixtures.h"

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
    std::unique_ptr<RecordFile> record;
    ASSERT_TRUE(RecordFile::Open("/dev/null", &record).ok());
    EXPECT_TRUE(record->Append("{}").ok()) << "a file that cannot be synced is no failure";
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_TRUE(RecordFile::Open("/dev/fd/" + std::to_string(fds[1]), &record).ok());
    const Status piped = record->Append("{\"piped\":1}");
    EXPECT_TRUE(piped.ok()) << piped.ToString();
    char got[32] = {};
    EXPECT_EQ(read(fds[0], got, sizeof got), 12);
    EXPECT_STREQ(got, "{\"piped\":1}\n");
    record.reset();
    close(fds[0]);
    close(fds[1]);
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
