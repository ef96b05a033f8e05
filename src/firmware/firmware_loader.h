// Reading a chosen firmware file into the image slot: open, size check, one read of the whole
// file, unpack and verify, and a final check that the payload is long enough to be sent.
// Shared by the dialog and the command-line programs; it shows nothing itself.
#pragma once

#include <filesystem>

#include "firmware_image.h"
#include "sha256.h"
#include "status.h"

namespace qvlink {

// Loads `path` into `slot`. Anything but a regular file is refused as unopenable, without
// blocking (a FIFO is never opened). A refusal carries the operator's exact text and a kind:
// NotFound (no regular file by that name) or what the system said when opening it, Invalid for
// a wrong size, length or CRC, Foreign for a wrong magic, Exhausted when no buffer could be had,
// Io for a failed read. On refusal the slot is left as follows: untouched when the file cannot
// be opened or is too small; Empty when no buffer could be had; RawFile after a failed read or a
// wrong outer magic; RejectedPayload when the payload fails a check.
// `fileDigest`, when given, receives the SHA-256 of the file's bytes as they were read (set
// whenever the whole file was read, whatever the checks then say).
Status LoadFirmwareFile(const std::filesystem::path& path, FirmwareImage& slot,
                        Sha256Digest* fileDigest = nullptr);

}  // namespace qvlink
