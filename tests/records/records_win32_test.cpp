// The record database's Windows files under Wine: the waits on a socket and on stop wakes end for
// the reason they should (never by running out the clock when a stop or the socket came first),
// the outbox reads a record while the station appends to it and follows it when it is moved, and
// the cursor's file is replaced whole; and all of them live in folders named in any script.
#include <winsock2.h>
// after winsock2.h
#include <gtest/gtest.h>
#include <windows.h>
// windows.h names the mouse's cursor so; ours is the note of what was sent.
#undef LoadCursor

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "durable_file.h"
#include "file_path.h"
#include "outbox_cursor.h"
#include "outbox_file.h"
#include "record_file.h"
#include "socket_wait.h"
#include "stop_wake.h"
#include "wide_text.h"

namespace qvlink::records {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto LONG_WAIT = std::chrono::seconds(60);  // longer than any test takes

// A connected TCP pair on 127.0.0.1.
class SocketPair : public ::testing::Test {
  protected:
    void SetUp() override {
        WSADATA data;
        ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
        const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
        ASSERT_EQ(listen(listener, 1), 0);
        ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
        ours_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        ASSERT_EQ(connect(ours_, reinterpret_cast<sockaddr*>(&address), size), 0);
        theirs_ = accept(listener, nullptr, nullptr);
        closesocket(listener);
        ASSERT_NE(theirs_, INVALID_SOCKET);
        u_long nonBlocking = 1;  // as libpq keeps its socket
        ioctlsocket(ours_, FIONBIO, &nonBlocking);
    }
    void TearDown() override {
        if (ours_ != INVALID_SOCKET) closesocket(ours_);
        if (theirs_ != INVALID_SOCKET) closesocket(theirs_);
        WSACleanup();
    }
    int ours() const { return static_cast<int>(ours_); }

    SOCKET ours_ = INVALID_SOCKET;
    SOCKET theirs_ = INVALID_SOCKET;
};

TEST_F(SocketPair, ASilentSocketWaitsUntilItsDeadline) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(200);
    EXPECT_EQ(WaitForSocket(ours(), false, nullptr, deadline), SocketWait::TimedOut);
    EXPECT_GE(Clock::now(), deadline);
}

TEST_F(SocketPair, WhatIsReadyEndsTheWait) {
    // Writable from the start: the network event for it came before the wait began.
    EXPECT_EQ(WaitForSocket(ours(), true, nullptr, Clock::now() + LONG_WAIT), SocketWait::Ready);
    ASSERT_EQ(send(theirs_, "x", 1, 0), 1);
    EXPECT_EQ(WaitForSocket(ours(), false, nullptr, Clock::now() + LONG_WAIT), SocketWait::Ready);
    char byte = 0;
    ASSERT_EQ(recv(ours_, &byte, 1, 0), 1);
    // Data that comes while it sleeps, then a peer that closes.
    std::thread peer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        send(theirs_, "y", 1, 0);
    });
    EXPECT_EQ(WaitForSocket(ours(), false, nullptr, Clock::now() + LONG_WAIT), SocketWait::Ready);
    peer.join();
    ASSERT_EQ(recv(ours_, &byte, 1, 0), 1);
    closesocket(theirs_);
    theirs_ = INVALID_SOCKET;
    EXPECT_EQ(WaitForSocket(ours(), false, nullptr, Clock::now() + LONG_WAIT), SocketWait::Ready);
}

TEST_F(SocketPair, AStopEndsTheWaitOnASilentSocket) {
    const StopWake stop;
    stop.Raise();
    EXPECT_EQ(WaitForSocket(ours(), false, &stop, Clock::now() + LONG_WAIT), SocketWait::Stopped);
    stop.Clear();
    std::thread raiser([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.Raise();
    });
    EXPECT_EQ(WaitForSocket(ours(), false, &stop, Clock::now() + LONG_WAIT), SocketWait::Stopped);
    raiser.join();
}

TEST(WakeWait, EndsForTheWakeTheStopOrTheDeadline) {
    const StopWake wake, stop;
    EXPECT_FALSE(WaitForWake(wake, &stop, Clock::now() + std::chrono::milliseconds(50)));
    std::thread raiser([&wake] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        wake.Raise();
    });
    EXPECT_TRUE(WaitForWake(wake, &stop, Clock::now() + LONG_WAIT));
    raiser.join();
    EXPECT_TRUE(WaitForWake(wake, nullptr, Clock::now() + LONG_WAIT));
    stop.Raise();
    EXPECT_FALSE(WaitForWake(wake, &stop, Clock::now() + LONG_WAIT));  // the stop wins
    wake.Clear();
    EXPECT_FALSE(WaitForWake(wake, &stop, Clock::now() + LONG_WAIT));
}

std::string ReadAll(const OutboxFile& file) {
    std::string text(static_cast<std::size_t>(file.Size()), '\0');
    const long long got = file.ReadAt(0, text.data(), text.size());
    text.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return text;
}

class RecordFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        folder_ =
            std::string(temp) + "qvlink-records-test-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        path_ = folder_ + "\\r.jsonl";
    }
    void TearDown() override {
        for (const char* name :
             {"\\r.jsonl", "\\moved.jsonl", "\\r.jsonl.sent", "\\r.jsonl.sent.new"})
            DeleteFileA((folder_ + name).c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    std::string folder_, path_;
};

TEST_F(RecordFolder, TheOutboxReadsWhatTheStationAppendsAndFollowsAMove) {
    OutboxFile outbox;
    const Status missing = outbox.Open(path_);
    EXPECT_FALSE(missing.ok());
    // No file yet is no fault.
    EXPECT_EQ(missing.kind(), StatusKind::NotFound) << missing.ToString();

    std::unique_ptr<station::RecordFile> record;
    ASSERT_TRUE(station::RecordFile::Open(path_, &record).ok());
    ASSERT_TRUE(record->Append("{\"n\":1}").ok());
    ASSERT_TRUE(outbox.Open(path_).ok());  // beside the station's handle
    EXPECT_EQ(outbox.identity(), OutboxFile::IdentityAt(path_));
    ASSERT_TRUE(record->Append("{\"n\":2}").ok());  // with the outbox open
    EXPECT_EQ(ReadAll(outbox), "{\"n\":1}\n{\"n\":2}\n");
    char past = 0;
    EXPECT_EQ(outbox.ReadAt(outbox.Size(), &past, 1), 0);

    // Let go by the station, the record is moved away while the outbox reads it; a new one
    // under the path is another file.
    const std::string before = outbox.identity();
    record.reset();
    const std::string moved = folder_ + "\\moved.jsonl";
    ASSERT_TRUE(MoveFileExA(path_.c_str(), moved.c_str(), 0)) << GetLastError();
    EXPECT_EQ(OutboxFile::IdentityAt(path_), "");
    EXPECT_EQ(ReadAll(outbox), "{\"n\":1}\n{\"n\":2}\n");
    ASSERT_TRUE(station::RecordFile::Open(path_, &record).ok());
    ASSERT_TRUE(record->Append("{\"n\":3}").ok());
    EXPECT_NE(OutboxFile::IdentityAt(path_), before);
    EXPECT_EQ(OutboxFile::IdentityAt(moved), before);
}

TEST_F(RecordFolder, ACursorFileIsReplacedWhole) {
    const std::string cursor = path_ + ".sent";
    for (const std::string contents : {"{\"offset\":10}\n", "{\"offset\":20}\n"}) {
        ASSERT_TRUE(ReplaceFileDurably(cursor, contents).ok());
        std::ifstream in(cursor, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_EQ(text.str(), contents);
    }
    EXPECT_EQ(GetFileAttributesA((cursor + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The record, the outbox that reads it and the cursor beside it in folders named in three
// scripts, of which a Western system's ANSI code page holds only the first: each name reaches
// the system as written and comes back from it as written.
TEST(ScriptNames, TheRecordItsReaderAndItsCursorLiveInAnyFolder) {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    std::string ending = "-";  // appended, not prefixed: GCC 12 misreads the latter as overlapping
    ending += std::to_string(GetCurrentProcessId());
    const struct {
        std::string utf8{};
        std::wstring wide{};
    } names[] = {{"Prüfstand", L"Prüfstand"}, {"产线3", L"产线3"}, {"Линия", L"Линия"}};
    for (const auto& name : names) {
        SCOPED_TRACE(name.utf8);
        const std::string folder = Utf8FromWide(temp) + name.utf8 + ending;
        EXPECT_EQ(PathFromUtf8(folder).filename().wstring(), name.wide + WideFromUtf8(ending));
        EXPECT_EQ(Utf8FromPath(PathFromUtf8(folder)), folder);
        ASSERT_TRUE(std::filesystem::create_directory(PathFromUtf8(folder)));
        const std::string path = folder + "\\记录.jsonl";
        {
            std::unique_ptr<station::RecordFile> record;
            ASSERT_TRUE(station::RecordFile::Open(path, &record).ok());
            ASSERT_TRUE(record->Append("{\"n\":1}").ok());
        }
        EXPECT_TRUE(std::filesystem::is_regular_file(PathFromUtf8(folder) / L"记录.jsonl"));
        {
            OutboxFile outbox;
            ASSERT_TRUE(outbox.Open(path).ok());
            EXPECT_EQ(ReadAll(outbox), "{\"n\":1}\n");
            // The record's path as the system gives it back, for the cursor of a moved file.
            EXPECT_TRUE(outbox.CurrentPath().ends_with(name.utf8 + ending + "\\记录.jsonl"))
                << outbox.CurrentPath();
            const OutboxCursor cursor{outbox.identity(), 8, 1, TailPrint("{\"n\":1}\n"), ""};
            ASSERT_TRUE(SaveCursor(CursorPathFor(path), cursor).ok());
            std::string notice;
            EXPECT_EQ(LoadCursor(CursorPathFor(path), &notice), cursor) << notice;
        }
        EXPECT_TRUE(std::filesystem::is_regular_file(PathFromUtf8(folder) / L"记录.jsonl.sent"));
        std::error_code error;
        EXPECT_EQ(std::filesystem::remove_all(PathFromUtf8(folder), error), 3u) << error.message();
    }
}

}  // namespace
}  // namespace qvlink::records
