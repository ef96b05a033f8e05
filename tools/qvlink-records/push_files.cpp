#include <algorithm>
#include <chrono>
#include <cstdio>

#include "conninfo_check.h"
#include "outbox_reader.h"
#include "pg_connection.h"
#include "records_commands.h"
#include "row_batch.h"
#include "utf8_output.h"

namespace qvlink::records {
namespace {

constexpr std::size_t BATCH_LINES = 10000;
constexpr std::size_t SKIPPED_SHOWN = 10;

struct Tally {
    long long lines = 0, sent = 0, already = 0, skipped = 0;
};

std::string SkippedText(const std::vector<SkippedLine>& skipped, long long count) {
    std::string text;
    for (const SkippedLine& line : skipped)
        text += (text.empty() ? "" : "; ") + std::string("line ") + std::to_string(line.line) +
                ": " + line.why;
    if (count > static_cast<long long>(skipped.size()))
        text += "; and " + std::to_string(count - static_cast<long long>(skipped.size())) + " more";
    return text;
}

}  // namespace

int PushFiles(const std::string& conninfo, const std::vector<std::string>& files) {
    if (Status status = CheckConnInfo(conninfo); !status.ok()) {
        std::fprintf(stderr, "qvlink-records: %s\n", status.ToString().c_str());
        return EXIT_FAILED;
    }
    PgConnection connection;
    if (Status status = connection.Open(conninfo, nullptr, std::chrono::seconds(10));
        !status.ok()) {
        std::fprintf(stderr, "qvlink-records: %s\n", status.ToString().c_str());
        return EXIT_FAILED;
    }
    Tally total;
    bool failed = false;
    for (const std::string& path : files) {
        Tally tally;
        std::vector<SkippedLine> skipped;
        Status sending = Status::Ok();
        auto lastProgress = std::chrono::steady_clock::now();
        const Status read = ReadWholeFile(path, BATCH_LINES, [&](const OutboxBatch& batch) {
            if (!sending.ok()) return;
            InsertCounts counts;
            std::vector<SkippedLine> refused;
            sending = InsertRowsSkippingRefused(connection, batch.rows, batch.rowLines, nullptr,
                                                counts, refused);
            if (!sending.ok()) return;
            tally.lines += static_cast<long long>(batch.rows.size() + batch.skipped.size());
            tally.sent += counts.added;
            tally.already += counts.alreadyThere;
            // In the file's order: lines that are no record and records the database refused.
            std::vector<SkippedLine> left = batch.skipped;
            left.insert(left.end(), refused.begin(), refused.end());
            std::sort(left.begin(), left.end(),
                      [](const SkippedLine& a, const SkippedLine& b) { return a.line < b.line; });
            tally.skipped += static_cast<long long>(left.size());
            for (const SkippedLine& line : left)
                if (skipped.size() < SKIPPED_SHOWN) skipped.push_back(line);
            const auto now = std::chrono::steady_clock::now();
            if (now - lastProgress >= std::chrono::seconds(2)) {
                lastProgress = now;
                WriteUtf8(stderr, path + ": " + std::to_string(tally.lines) +
                                      " lines so far: " + std::to_string(tally.sent) + " sent, " +
                                      std::to_string(tally.already) + " already there, " +
                                      std::to_string(tally.skipped) + " skipped\n");
            }
        });
        const Status& trouble = read.ok() ? sending : read;
        if (!trouble.ok()) {
            failed = true;
            WriteUtf8(stderr, "qvlink-records: " + path + ": " + trouble.ToString() + "\n");
            if (!read.ok()) continue;
            std::fprintf(stderr,
                         "qvlink-records: what was sent before stays; run it again to send the "
                         "rest (nothing is doubled)\n");
            break;
        }
        WriteUtf8(
            stdout,
            path + ": " + std::to_string(tally.lines) + " lines: " + std::to_string(tally.sent) +
                " sent, " + std::to_string(tally.already) + " already there, " +
                std::to_string(tally.skipped) + " skipped" +
                (tally.skipped ? " (" + SkippedText(skipped, tally.skipped) + ")" : std::string()) +
                "\n");
        total.sent += tally.sent;
        total.already += tally.already;
        total.skipped += tally.skipped;
    }
    if (files.size() > 1)
        std::printf("total: %lld sent, %lld already there, %lld skipped\n", total.sent,
                    total.already, total.skipped);
    std::fflush(stdout);
    if (failed) return EXIT_FAILED;
    return total.skipped ? EXIT_LINES_SKIPPED : 0;
}

}  // namespace qvlink::records
