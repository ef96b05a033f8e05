// Joins a sender's line to lrzsz's rx running on a pseudo-terminal of its own. rx empties its
// input right after each answer it sends, so a block the sender sends at once may be thrown away
// and cost rx a time-out of seconds (on a loaded machine, often enough to take minutes). The
// relay reads rx's terminal in packet mode, which reports that emptying, and holds the sender's
// bytes back from rx's answer until rx has emptied its input (or half a second has passed).
#pragma once

#include <thread>

namespace qvlink::test {

class AnswerPacedRelay {
  public:
    // Both are master sides: `senderFd` of the sender's terminal, `receiverFd` of rx's, which
    // is switched to packet mode here, before rx starts. Throws when it cannot be.
    AnswerPacedRelay(int senderFd, int receiverFd);
    ~AnswerPacedRelay();
    AnswerPacedRelay(const AnswerPacedRelay&) = delete;
    AnswerPacedRelay& operator=(const AnswerPacedRelay&) = delete;

    void Start();  // once rx has its terminal open
    // Returns once rx has closed its terminal and everything it said was passed on.
    void Join();

  private:
    void Run();

    int senderFd_;
    int receiverFd_;
    std::thread thread_;
};

}  // namespace qvlink::test
