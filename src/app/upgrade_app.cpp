#include "upgrade_app.h"

namespace qvlink {

int UpgradeApp::InitInstance(LinkSettings& settings, UpgradeDialog& dialog) {
    // Fixed now: the file chooser may change the current directory later.
    settings.UseDirectory(CurrentDirectory());
    settings.Load();
    runWindow_(dialog);
    if (const Status saved = settings.Save(); !saved.ok()) {
        const SaveFailure box = SaveFailureBox(saved);
        showPlainBox_(box.text, box.caption);
    }
    return 0;
}

}  // namespace qvlink
