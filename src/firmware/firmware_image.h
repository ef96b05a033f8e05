// The image slot: the one buffer that holds a firmware file while it is loaded and, once every
// check has passed, the descrambled payload that the transfer protocols send. Its state says
// which of these it holds; only a ValidPayload may ever be sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qvlink {

enum class ImageState { Empty, RawFile, RejectedPayload, ValidPayload };

struct FirmwareImage {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
    ImageState state = ImageState::Empty;

    void Release() {
        bytes.reset();
        size = 0;
        state = ImageState::Empty;
    }
    // Replaces the content with `buffer` of `length` bytes in the given state.
    void Take(std::unique_ptr<std::uint8_t[]> buffer, std::size_t length, ImageState newState) {
        bytes = std::move(buffer);
        size = length;
        state = newState;
    }
};

}  // namespace qvlink
