#include "played_receivers.h"

#include "protocol_bytes.h"
#include "receiver_scripts.h"

namespace qvlink::test {

using Bytes = ScriptedLine::Bytes;
using std::chrono::seconds;

PlayedLine::PlayedLine(std::vector<Play> plays, FakeClock& clock, std::function<void()> stop)
    : plays_(std::move(plays)), clock_(clock), stop_(std::move(stop)) {
    line_.onIdle = [this](ScriptedLine&) { Idle(); };
}

int PlayedLine::Read(std::uint8_t* buffer, std::uint32_t maxCount) {
    // The burn's last word comes 5 s after the transfer ended.
    if (!line_.incoming.empty() &&
        (line_.incoming.front() == BURN_DONE || line_.incoming.front() == BURN_FAILED))
        clock_.Advance(seconds(5));
    return line_.Read(buffer, maxCount > 0 ? 1 : 0);
}

void PlayedLine::Idle() {
    if (!finished_) {
        // The receiver in play went silent: it waits for what the test makes of that.
        const Play play = plays_[next_ - 1];
        if (play == Play::LostInTransfer) line_.lost = true;
        if (play == Play::StoppedInBurn) stop_();
        return;
    }
    if (next_ == plays_.size()) {
        stop_();
        return;
    }
    Begin(plays_[next_++]);
}

void PlayedLine::Begin(Play play) {
    finished_ = false;
    switch (play) {
        case Play::BlockCompleted:
        case Play::LostInTransfer:
        case Play::StoppedInBurn: {
            PlayBlockReceiver(line_, START_CRC,
                              play == Play::StoppedInBurn ? Bytes{0x80, 0x81} : FullBurn());
            line_.onWrite = [this, play, script = line_.onWrite, blocks = 0](
                                ScriptedLine& l, const Bytes& written) mutable {
                if (written.size() == BLOCK_SIZE_CRC && ++blocks > 4 &&
                    play == Play::LostInTransfer)
                    return;
                if (written == Bytes{EOT}) {
                    clock_.Advance(seconds(10));
                    finished_ = play != Play::StoppedInBurn;
                }
                script(l, written);
            };
            return;
        }
        case Play::BulkCompleted:
        case Play::BulkChecksumError:
        case Play::BulkBurnFails: {
            const std::uint8_t verdict = play == Play::BulkChecksumError ? 3 : 0;
            PlayBulkReceiver(line_, verdict,
                             play == Play::BulkBurnFails ? Bytes{0x85, BURN_FAILED} : FullBurn());
            line_.onWrite = [this, script = line_.onWrite, chunks = 0](
                                ScriptedLine& l, const Bytes& written) mutable {
                if (written.size() == CHUNK_SIZE) ++chunks;
                if (written.size() == 1 && chunks == CHUNK_COUNT) {
                    clock_.Advance(seconds(10));  // the checksum: the transfer ends
                    finished_ = true;
                }
                script(l, written);
            };
            return;
        }
        case Play::Cancels:
            line_.onWrite = {};
            line_.Queue({CAN});
            finished_ = true;
            return;
        case Play::LostWhileWaiting:
            line_.lost = true;
            return;
    }
}

}  // namespace qvlink::test
