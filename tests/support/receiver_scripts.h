// Well-behaved receivers for the in-memory line: each answers the engine's writes as a real
// receiver would, so that a test only has to add the one fault it is about.
#pragma once

#include "scripted_line.h"

namespace qvlink::test {

// Starts with `startByte`, acknowledges every block and the EOT, then burns with `burnBytes`.
void PlayBlockReceiver(ScriptedLine& line, std::uint8_t startByte,
                       const ScriptedLine::Bytes& burnBytes);

// Asks for bulk, acknowledges everything, answers `verdict`, then burns with `burnBytes`.
void PlayBulkReceiver(ScriptedLine& line, std::uint8_t verdict,
                      const ScriptedLine::Bytes& burnBytes);

// Every block the engine wrote (writes of a block's length), in order.
std::vector<ScriptedLine::Bytes> BlocksWritten(const ScriptedLine& line);

// The sixteen progress steps followed by BURN_DONE.
ScriptedLine::Bytes FullBurn();

}  // namespace qvlink::test
