// The firmware a station's ports send: the checked image and the facts its record lines name,
// loaded once and shared read-only. The slot holds the file loaded last; a port takes it from
// there when it begins a receiver, so a new file takes over between receivers and never under
// one. Threading: Current and Replace from any thread; the pointer is guarded by the slot's
// mutex, and what it points to never changes.
#pragma once

#include <memory>

#include "annotated_mutex.h"
#include "firmware_image.h"
#include "record_line.h"

namespace qvlink::station {

struct LoadedFirmware {
    FirmwareImage image;
    FirmwareFacts facts;
};

class FirmwareSlot {
  public:
    // Null before a file was loaded.
    std::shared_ptr<const LoadedFirmware> Current() const {
        MutexLock lock(mutex_);
        return current_;
    }
    void Replace(std::shared_ptr<const LoadedFirmware> firmware) {
        MutexLock lock(mutex_);
        current_ = std::move(firmware);
    }

  private:
    mutable Mutex mutex_;
    std::shared_ptr<const LoadedFirmware> current_ QV_GUARDED_BY(mutex_);
};

}  // namespace qvlink::station
