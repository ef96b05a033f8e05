#include "recording_view.h"

namespace qvlink::test {

void RecordingView::SetTitle(const std::string& text, bool repaintNow) {
    title = text;
    ++titleWrites;
    if (repaintNow) ++titleRepaints;
}

void RecordingView::SetProgressPosition(int position) {
    progress = position;
    ++progressWrites;
}

void RecordingView::StartTimer(TimerId id, int periodMs) {
    runningTimers.insert(id);
    timerStarts.emplace_back(id, periodMs);
}

std::optional<std::string> RecordingView::ChooseFirmwareFile() {
    ++chooserShown;
    return chosenFile;
}

void RecordingView::RunOnWindowThread(std::function<void()> call) {
    std::lock_guard lock(queueMutex_);
    queued_.push_back(std::move(call));
    queuedCall_.notify_one();
}

bool RecordingView::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::function<void()> call;
        {
            std::unique_lock lock(queueMutex_);
            if (!queuedCall_.wait_for(lock, std::chrono::milliseconds(10),
                                      [this] { return !queued_.empty(); }))
                continue;
            call = std::move(queued_.front());
            queued_.pop_front();
        }
        call();
    }
    return true;
}

}  // namespace qvlink::test
