// libFuzzer target: unpacking and verifying arbitrary bytes as a firmware file must never read
// outside its buffers or crash, whatever the bytes are.
#include <cstdint>
#include <cstring>

#include "firmware_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qvlink::FirmwareImage slot;
    slot.Take(std::make_unique<std::uint8_t[]>(size), size, qvlink::ImageState::RawFile);
    if (size > 0) std::memcpy(slot.bytes.get(), data, size);
    // Whether the bytes are refused does not matter here, only that nothing reads astray.
    static_cast<void>(qvlink::UnpackFirmware(slot, size));
    static_cast<void>(qvlink::VerifyFirmware(data, size));
    return 0;
}
