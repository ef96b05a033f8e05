// qvlink: the operator's dialog. The toolkit starts first; then the application, the settings
// and the dialog are made in that order, live for the whole program and end in reverse order.
#include <QApplication>

#include "link_settings.h"
#include "upgrade_app.h"
#include "upgrade_dialog.h"

int main(int argc, char** argv) {
    QApplication toolkit(argc, argv);
    qvlink::UpgradeApp app;
    qvlink::LinkSettings settings;
    qvlink::UpgradeDialog dialog(settings.selectedPort);
    return app.InitInstance(settings, dialog);
}
