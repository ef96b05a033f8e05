// The program's start-up sequence: settings path and load, the dialog run modally, the
// settings saved once it has closed. The toolkit must be running before it is called.
#pragma once

#include "link_settings.h"
#include "upgrade_dialog.h"

namespace qvlink {

class UpgradeApp {
  public:
    // Runs the program once; returns 0. A failed save is reported in a box without owner.
    int InitInstance(LinkSettings& settings, UpgradeDialog& dialog);
};

}  // namespace qvlink
