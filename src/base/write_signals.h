// A program that writes a record: a write that cannot be done must fail with an error the
// record can report and cut away, not end the program in the middle of a burn. So a write past
// the file-size limit (SIGXFSZ) and a write to a pipe whose reader has gone (SIGPIPE) are
// errors, not signals. Nothing to do where there are no such signals.
#pragma once

namespace qvlink::station {

// Call once at the start of main, before any thread is made.
void IgnoreWriteSignals();

}  // namespace qvlink::station
