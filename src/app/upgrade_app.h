// The program's start-up sequence, the same behind every window toolkit: the settings file is
// fixed in the directory current at start and read, the dialog's window runs modally, and
// once it has closed the settings are saved, a failed save reported in a box without owner.
#pragma once

#include <functional>
#include <string>

#include "link_settings.h"
#include "upgrade_dialog.h"

namespace qvlink {

class UpgradeApp {
  public:
    // Shows the dialog's window and returns once it has closed.
    using RunWindow = std::function<void(UpgradeDialog& dialog)>;
    // Shows a modal box without owner window, with one OK button.
    using ShowPlainBox = std::function<void(const std::string& text, const std::string& caption)>;

    UpgradeApp(RunWindow runWindow, ShowPlainBox showPlainBox)
        : runWindow_(std::move(runWindow)), showPlainBox_(std::move(showPlainBox)) {}

    // Runs the program once; returns 0. The toolkit must be ready for `runWindow`.
    int InitInstance(LinkSettings& settings, UpgradeDialog& dialog);

  private:
    RunWindow runWindow_;
    ShowPlainBox showPlainBox_;
};

}  // namespace qvlink
