#include "upgrade_app.h"

#include <QMessageBox>

#include "qt_dialog_window.h"

namespace qvlink {

int UpgradeApp::InitInstance(LinkSettings& settings, UpgradeDialog& dialog) {
    // Fixed now: the file chooser may change the current directory later.
    settings.UseDirectory(CurrentDirectory());
    settings.Load();
    {
        QtDialogWindow window(dialog);
        window.exec();
    }
    if (const auto failure = settings.Save()) {
        MakeMessageBox(BoxKind::Plain, QString::fromStdString(failure->text),
                       QString::fromStdString(failure->caption), nullptr)
            ->exec();
    }
    return 0;
}

}  // namespace qvlink
