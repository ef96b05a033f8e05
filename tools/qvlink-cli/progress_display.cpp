#include "progress_display.h"

#include <cstdio>

#include "status_texts.h"

namespace qvlink::cli {

std::string StatusWithClock(const StatusReport& report, int elapsedSeconds) {
    std::string text = StatusLineText(report);
    if (elapsedSeconds >= 0) text += "   " + ElapsedText(elapsedSeconds);
    return text;
}

namespace {

class TerminalDisplay final : public ProgressDisplay {
  public:
    void Show(const StatusReport& report, int elapsedSeconds) override {
        std::lock_guard lock(mutex_);
        last_ = report;
        Draw(StatusWithClock(report, elapsedSeconds));
    }
    void Tick(int elapsedSeconds) override {
        std::lock_guard lock(mutex_);
        if (elapsedSeconds >= 0) Draw(StatusWithClock(last_, elapsedSeconds));
    }
    void Announce(const std::string& line) override {
        std::lock_guard lock(mutex_);
        Draw(line);
        std::printf("\n");
        std::fflush(stdout);
        drawnLength_ = 0;
    }

  private:
    // Rewrites the line in place; blanks cover what a longer previous text left behind.
    void Draw(const std::string& text) {
        const std::size_t blanks = drawnLength_ > text.size() ? drawnLength_ - text.size() : 0;
        std::printf("\r%s%*s", text.c_str(), static_cast<int>(blanks), "");
        std::fflush(stdout);
        drawnLength_ = text.size();
    }

    std::mutex mutex_;
    std::size_t drawnLength_ = 0;
    StatusReport last_{STATUS_WAITING};
};

class LineDisplay final : public ProgressDisplay {
  public:
    void Show(const StatusReport& report, int) override {
        std::lock_guard lock(mutex_);
        const std::string text = StatusLineText(report);
        if (text == lastText_) return;
        lastText_ = text;
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }
    void Tick(int) override {}
    void Announce(const std::string& line) override {
        std::lock_guard lock(mutex_);
        lastText_.clear();
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }

  private:
    std::mutex mutex_;
    std::string lastText_;
};

}  // namespace

std::unique_ptr<ProgressDisplay> MakeProgressDisplay(bool isTerminal) {
    if (isTerminal) return std::make_unique<TerminalDisplay>();
    return std::make_unique<LineDisplay>();
}

}  // namespace qvlink::cli
